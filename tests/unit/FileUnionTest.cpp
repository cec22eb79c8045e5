// The file-association check against the real HKEY_CLASSES_ROOT, answered through
// the prompt's stand-in.
#include <windows.h>

#include <gtest/gtest.h>
#include <list>
#include <sddl.h>

#include "frame/FormMain.h"
#include "platform/Registry.h"
#include "report/FormReport.h"
#include "syscheck/Detection.h"
#include "syscheck/TrustList.h"
#include "syscheck/checks/ModuleFileUnion.h"
#include "tests/unit/CheckSupport.h"
#include "tests/unit/TestSupport.h"

namespace {

using testsupport::Alive;

const wchar_t kNotepadApp[] = L"Applications\\notepad.exe\\shell\\open\\command";
const wchar_t kExe[] = L"exefile\\shell\\open\\command";
const wchar_t kTxt[] = L"txtfile\\shell\\open\\command";
const wchar_t kChm[] = L"chmfile\\shell\\open\\command";
const wchar_t kPaintApp[] = L"Applications\\mspaint.exe\\shell\\open\\command";
const wchar_t kSandbox[] = L"C:\\sandbox";

// The five standard commands the repair writes, in its order.
const std::pair<const wchar_t*, const wchar_t*> kRepaired[] = {
    {kTxt, L"notepad.exe %1"},        {kExe, L"\"%1\" %*"},           {kChm, L"%1"},
    {kNotepadApp, L"notepad.exe %1"}, {kPaintApp, L"mspaint.exe %1"},
};

const std::wstring kWarning = L"警告(RFU)：发现可疑程序，可能是木马! -> ";
const std::wstring kLine = L"(RFU)：发现可疑程序，可能是木马! -> ";

std::vector<std::wstring> g_answers;
size_t g_next;
std::vector<std::wstring> g_warnings;

std::wstring Answer(const std::wstring& warning) {
  g_warnings.push_back(warning);
  return g_next < g_answers.size() ? g_answers[g_next++] : L"SKIP";
}

void Answering(std::vector<std::wstring> answers) {
  g_answers = std::move(answers);
  g_next = 0;
  g_warnings.clear();
  FormReport::Unload();
}

// The report lines after the header, in order.
auto& Lines = checksupport::ReportLines;

bool Exists(const std::wstring& path) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

void SetCommand(const wchar_t* subKey, const std::wstring& command, DWORD type = REG_SZ) {
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CLASSES_ROOT, subKey, &key));
  RegSetValueExW(key, L"", 0, type, (const BYTE*)command.c_str(), (DWORD)(command.size() + 1) * 2);
  RegCloseKey(key);
}

// The default value's type and bytes exactly as stored; false when there is none.
bool ReadStored(const wchar_t* subKey, DWORD* type, std::string* data) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  DWORD size = 0;
  LONG rc = RegQueryValueExW(key, L"", nullptr, type, nullptr, &size);
  if (rc == ERROR_SUCCESS) {
    data->assign(size, '\0');
    rc = RegQueryValueExW(key, L"", nullptr, type, (BYTE*)&(*data)[0], &size);
  }
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

std::wstring StoredText(const wchar_t* subKey) {
  DWORD type = 0;
  std::string data;
  if (!ReadStored(subKey, &type, &data)) return L"<none>";
  std::wstring text((const wchar_t*)data.data(), data.size() / 2);
  return text.substr(0, text.find(L'\0'));
}

// Each of the five commands holds its standard text, as REG_SZ with the NUL.
void ExpectRepaired() {
  for (const auto& repaired : kRepaired) {
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(ReadStored(repaired.first, &type, &data)) << testing::PrintToString(repaired.first);
    std::wstring text = repaired.second;
    EXPECT_EQ((DWORD)REG_SZ, type);
    EXPECT_EQ(std::string((const char*)text.c_str(), (text.size() + 1) * 2), data)
        << testing::PrintToString(repaired.first);
  }
}

// What a shell open command looked like before the test: the first of its keys
// that was missing, or its default value.
struct Saved {
  const wchar_t* path;
  std::wstring missing;
  bool hadDefault = false;
  DWORD type = 0;
  std::string data;
};

Saved Record(const wchar_t* path) {
  Saved saved;
  saved.path = path;
  std::wstring full = path;
  for (size_t at = 0; at != std::wstring::npos && saved.missing.empty();) {
    at = full.find(L'\\', at + 1);
    std::wstring prefix = full.substr(0, at);
    if (!Exists(prefix)) saved.missing = prefix;
  }
  saved.hadDefault = saved.missing.empty() && ReadStored(path, &saved.type, &saved.data);
  return saved;
}

void Restore(const Saved& saved) {
  if (!saved.missing.empty()) return testsupport::DeleteTree(HKEY_CLASSES_ROOT, saved.missing);
  HKEY key;
  if (RegOpenKeyExW(HKEY_CLASSES_ROOT, saved.path, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  if (saved.hadDefault)
    RegSetValueExW(key, L"", 0, saved.type, (const BYTE*)saved.data.data(), (DWORD)saved.data.size());
  else
    RegDeleteValueW(key, L"");
  RegCloseKey(key);
}

class FileUnion : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto& repaired : kRepaired) saved.push_back(Record(repaired.first));
    DeleteFileW(TrustList::Path().c_str());
    tk::Show(FormMain::Get());
    Detection::Owner = &FormMain::Get();
    Detection::Prompt = Answer;
    Answering({});
  }
  void TearDown() override {
    for (auto& p : processes) testsupport::EndProcess(p);
    Detection::Prompt = Detection::PromptDetection;
    for (const Saved& s : saved) Restore(s);
    DeleteFileW(TrustList::Path().c_str());
    FormMain::Form_Unload();
    testsupport::Pump();
  }
  PROCESS_INFORMATION& Start(const std::wstring& image, const std::wstring& folder = kSandbox) {
    processes.push_back(testsupport::StartSleeper(folder, image));
    EXPECT_TRUE(Alive(processes.back())) << "could not start " << testing::PrintToString(image);
    return processes.back();
  }
  std::vector<Saved> saved;
  std::list<PROCESS_INFORMATION> processes;  // stable references
};

// A finding neither names Notepad nor is as short as the standard executable
// command; its subject is the program path, cut at the first dot plus three.
TEST_F(FileUnion, FindingsAndTheirProgramPaths) {
  const std::wstring longPath = L"C:\\WINDOWS\\" + std::wstring(300, L'l') + L".exe";
  struct Case {
    std::wstring command;
    const wchar_t* path;  // nullptr: no finding
    DWORD type;
  } cases[] = {
      {L"C:\\WINDOWS\\evil.exe \"%1\" %*", L"C:\\WINDOWS\\evil.exe", REG_SZ},
      {L"C:\\Tools\\NotePad.EXE \"%1\" %*", nullptr, REG_SZ},
      {L"c:\\windows\\notepad.exe \"%1\" %*", nullptr, REG_SZ},
      {L"\"%1\" %*", nullptr, REG_SZ},
      {L"C:\\x\\abcdefgh.exe %1", nullptr, REG_SZ},                   // 20 characters
      {L"C:\\x\\abcdefghi.exe %1", L"C:\\x\\abcdefghi.exe", REG_SZ},  // 21
      {L"C:\\病毒病毒病毒\\木马木.exe %1", nullptr, REG_SZ},          // 20 characters, more bytes
      {L"C:\\Documents and Settings\\a.b\\x.exe %1", L"C:\\Documents and Settings\\a.b\\x", REG_SZ},
      {L"\"C:\\WINDOWS\\quoted.exe\" \"%1\"", L"\"C:\\WINDOWS\\quoted.exe", REG_SZ},
      {L"C:\\Program Files\\no dot at all %1", L"C:\\", REG_SZ},
      {L"C:\\WINDOWS\\abcdefghijk.e", L"C:\\WINDOWS\\abcdefghijk.e", REG_SZ},
      {L"%SystemRoot%\\system32\\evil.exe %1", L"%SystemRoot%\\system32\\evil.exe", REG_EXPAND_SZ},
      {longPath + L" \"%1\"", longPath.c_str(), REG_SZ},  // longer than 255 bytes, read whole
      {L"C:\\" + std::wstring(300, L'p') + L"\\notepad.exe %1", nullptr, REG_SZ},
  };
  for (const Case& c : cases) {
    SetCommand(kExe, c.command, c.type);
    Answering({L"SKIP"});
    ModuleFileUnion::CheckFileAssociations();
    std::vector<std::wstring> warnings, lines;
    if (c.path) warnings.push_back(kWarning + c.path);
    if (c.path) lines.push_back(kLine + c.path + L" 跳过,未清除!");
    EXPECT_EQ(warnings, g_warnings) << testing::PrintToString(c.command);
    EXPECT_EQ(lines, Lines()) << testing::PrintToString(c.command);
    EXPECT_EQ(c.command, StoredText(kExe)) << "SKIP changes nothing";
  }
}

TEST_F(FileUnion, MissingExaminedKeyIsCreatedEmptyAndIsNoFinding) {
  testsupport::DeleteTree(HKEY_CLASSES_ROOT, L"Applications\\notepad.exe");
  ModuleFileUnion::CheckFileAssociations();
  EXPECT_TRUE(Exists(kNotepadApp));
  EXPECT_EQ(L"<none>", StoredText(kNotepadApp));
  EXPECT_TRUE(g_warnings.empty());
  EXPECT_FALSE(FormReport::HasFindings());
}

// CLEAN ends the processes of the program path (without its quote, ".exe" when
// it has no extension), writes the five standard commands and reports the file
// name alone.
TEST_F(FileUnion, CleanEndsTheProgramAndWritesTheStandardCommands) {
  struct Case {
    const wchar_t* command;
    const wchar_t* shown;   // in the line after CLEAN
    const wchar_t* folder;  // where the program runs, if it does
    const wchar_t* image;
    const wchar_t* spared;  // a name the old matching by part of a name took for it
  } cases[] = {
      {L"C:\\WINDOWS\\fuevil.exe \"%1\" %*", L"fuevil.exe", L"C:\\WINDOWS", L"fuevil.exe", L"fuevil.exe"},
      {L"\"C:\\WINDOWS\\fuquoted.exe\" \"%1\"", L"fuquoted.exe", L"C:\\WINDOWS", L"FUQUOTED.EXE", L"uoted.exe"},
      {L"C:\\sandbox\\a.b\\q.exe %1", L"q", L"C:\\sandbox\\a.b", L"q.exe", L"fuq.exe"},
      // The path "C:\" has no file name: nothing is ended, and the line keeps the path.
      {L"C:\\Program Files\\no dot at all %1", L"C:\\", nullptr, nullptr, L"no.exe"},
  };
  PROCESS_INFORMATION& bystander = Start(L"fukeep.exe");
  for (const Case& c : cases) {
    PROCESS_INFORMATION* victim = c.image ? &Start(c.image, c.folder) : nullptr;
    PROCESS_INFORMATION& spared = Start(c.spared);
    SetCommand(kExe, c.command);
    Answering({L"CLEAN"});
    ModuleFileUnion::CheckFileAssociations();
    EXPECT_EQ(1u, g_warnings.size());
    EXPECT_EQ(std::vector<std::wstring>{kLine + c.shown + L" 已清除!"}, Lines());
    if (victim) {
      EXPECT_TRUE(testsupport::WaitFor([&] { return !Alive(*victim); })) << testing::PrintToString(c.image);
    }
    EXPECT_TRUE(Alive(spared)) << testing::PrintToString(c.spared);
    testsupport::EndProcess(spared);
    ExpectRepaired();
  }
  EXPECT_TRUE(Alive(bystander));
}

TEST_F(FileUnion, RepairStoresEachCommandWithItsTerminatingNul) {
  for (const auto& repaired : kRepaired) SetCommand(repaired.first, std::wstring(300, L'z'));
  EXPECT_TRUE(ModuleFileUnion::RepairFileAssociations());
  ExpectRepaired();
}

// The keys are read in the order Notepad application, exefile, txtfile, and a
// repair has already rewritten the keys after it.
TEST_F(FileUnion, RepairMadeForOneKeyAnswersTheKeysAfterIt) {
  struct Case {
    std::vector<std::wstring> answers;
    size_t asked;
  } cases[] = {
      {{L"CLEAN"}, 1},
      {{L"SKIP", L"CLEAN"}, 2},
      {{L"SKIP", L"SKIP", L"CLEAN"}, 3},
  };
  const wchar_t* const paths[] = {L"C:\\WINDOWS\\fufirst.exe", L"C:\\WINDOWS\\fusecond.exe",
                                  L"C:\\WINDOWS\\futhird.exe"};
  for (const Case& c : cases) {
    SetCommand(kNotepadApp, std::wstring(paths[0]) + L" %1 %2");
    SetCommand(kExe, std::wstring(paths[1]) + L" \"%1\" %*");
    SetCommand(kTxt, std::wstring(paths[2]) + L" %1");
    Answering(c.answers);
    ModuleFileUnion::CheckFileAssociations();
    ASSERT_EQ(c.asked, g_warnings.size());
    for (size_t i = 0; i < c.asked; i++) EXPECT_EQ(kWarning + paths[i], g_warnings[i]);
    EXPECT_EQ(c.asked, Lines().size());
    ExpectRepaired();
  }
}

TEST_F(FileUnion, TrustedProgramPathIsNotAskedAgain) {
  SetCommand(kExe, L"C:\\WINDOWS\\futrust.exe \"%1\" %*");
  Answering({L"ALLOW"});
  ModuleFileUnion::CheckFileAssociations();
  EXPECT_EQ(std::vector<std::wstring>{kLine + L"C:\\WINDOWS\\futrust.exe 信任,未清除!"}, Lines());
  EXPECT_EQ(std::vector<std::wstring>{L"C:\\WINDOWS\\futrust.exe"}, TrustList::Entries());
  EXPECT_EQ(L"C:\\WINDOWS\\futrust.exe \"%1\" %*", StoredText(kExe));
  // Other arguments, the same program: trusted.
  SetCommand(kExe, L"C:\\WINDOWS\\futrust.exe /other \"%1\"");
  Answering({});
  ModuleFileUnion::CheckFileAssociations();
  EXPECT_TRUE(g_warnings.empty());
  EXPECT_FALSE(FormReport::HasFindings());
  // The trust list matches the letter case exactly.
  SetCommand(kExe, L"C:\\WINDOWS\\FUTRUST.exe \"%1\" %*");
  ModuleFileUnion::CheckFileAssociations();
  EXPECT_EQ(std::vector<std::wstring>{kWarning + L"C:\\WINDOWS\\FUTRUST.exe"}, g_warnings);
}

// Grants only reading on a key for as long as it lives.
class ReadOnlyKey {
 public:
  explicit ReadOnlyKey(const wchar_t* path) {
    RegCreateKeyExW(HKEY_CLASSES_ROOT, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
    DWORD size = 0;
    RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, nullptr, &size);
    original_.resize(size);
    RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, original_.data(), &size);
    PSECURITY_DESCRIPTOR readOnly = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KR;;;WD)", SDDL_REVISION_1, &readOnly, nullptr);
    applied_ = RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, readOnly) == ERROR_SUCCESS;
    LocalFree(readOnly);
  }
  ~ReadOnlyKey() {
    RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, original_.data());
    RegCloseKey(key_);
  }
  bool applied_ = false;

 private:
  HKEY key_ = nullptr;
  std::vector<BYTE> original_;
};

// A command the repair cannot store makes CLEAN fail; the others are still written.
TEST_F(FileUnion, RepairThatCannotWriteIsReportedAsFailed) {
  SetCommand(kExe, L"C:\\WINDOWS\\fulocked.exe \"%1\" %*");
  {
    ReadOnlyKey locked(kChm);
    ASSERT_TRUE(locked.applied_);
    Answering({L"CLEAN"});
    ModuleFileUnion::CheckFileAssociations();
    EXPECT_EQ(std::vector<std::wstring>{kLine + L"fulocked.exe 清除失败!"}, Lines());
    EXPECT_EQ(L"<none>", StoredText(kChm));
  }
  EXPECT_EQ(L"mspaint.exe %1", StoredText(kPaintApp));
  EXPECT_EQ(L"\"%1\" %*", StoredText(kExe));
}

}  // namespace
