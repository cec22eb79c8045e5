// Start with Windows: the quoted Run value, governed by CheckAutoRun, in the
// machine's Run key or, where that refuses writes, the current user's.
#include <windows.h>

#include <gtest/gtest.h>
#include <sddl.h>
#include <string>
#include <vector>

#include "common/SettingsStore.h"
#include "frame/ModuleSetAutoRun.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "tests/unit/TestSupport.h"

namespace {

const wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

struct Found {
  bool present = false;
  DWORD type = 0;
  std::wstring text;
};

Found RunValue(HKEY root, const wchar_t* name = L"Quorrel") {
  Found found;
  wchar_t data[1024] = {};
  DWORD size = sizeof data - sizeof(wchar_t);
  HKEY key;
  if (RegOpenKeyExW(root, kRun, 0, KEY_READ, &key) != ERROR_SUCCESS) return found;
  found.present = RegQueryValueExW(key, name, nullptr, &found.type, (BYTE*)data, &size) == ERROR_SUCCESS;
  RegCloseKey(key);
  found.text = data;
  return found;
}

void SetRunValue(HKEY root, const std::wstring& text, const wchar_t* name = L"Quorrel") {
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(root, kRun, &key));
  RegSetValueExW(key, name, 0, REG_SZ, (const BYTE*)text.c_str(), (DWORD)((text.size() + 1) * 2));
  RegCloseKey(key);
}

void DeleteRunValue(HKEY root, const wchar_t* name = L"Quorrel") {
  HKEY key;
  if (RegOpenKeyExW(root, kRun, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueW(key, name);
  RegCloseKey(key);
}

// The machine's Run key with a DACL that lets everybody read it and nobody write
// it, as a user without administrative rights meets it; the old DACL comes back.
class RefusingMachineRunKey {
 public:
  RefusingMachineRunKey() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRun, 0, READ_CONTROL | WRITE_DAC, &key) != ERROR_SUCCESS) return;
    DWORD size = 0;
    RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, nullptr, &size);
    saved_.resize(size);
    if (RegGetKeySecurity(key, DACL_SECURITY_INFORMATION, saved_.data(), &size) != ERROR_SUCCESS) saved_.clear();
    PSECURITY_DESCRIPTOR readOnly = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:P(A;;KR;;;WD)", SDDL_REVISION_1, &readOnly, nullptr);
    applied_ = readOnly && RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, readOnly) == ERROR_SUCCESS;
    LocalFree(readOnly);
    RegCloseKey(key);
  }
  ~RefusingMachineRunKey() {
    HKEY key;
    if (saved_.empty() || RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRun, 0, WRITE_DAC, &key) != ERROR_SUCCESS) return;
    RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, saved_.data());
    RegCloseKey(key);
  }
  bool Applied() const { return applied_; }

 private:
  std::vector<BYTE> saved_;
  bool applied_ = false;
};

class AutoRun : public ::testing::Test {
 protected:
  void SetUp() override {
    if (InCopy()) return;
    testsupport::DeleteTree(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\57302");
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) DeleteRunValue(root);
  }
  void TearDown() override {
    if (InCopy()) return;
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
      DeleteRunValue(root);
      DeleteRunValue(root, L"Other");
    }
    testsupport::DeleteTree(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\57302");
  }
  // The copy started by the test of a folder with spaces leaves the registry as its starter set it.
  static bool InCopy() {
    return std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()).rfind("DISABLED_", 0) == 0;
  }
  static void Option(const wchar_t* value) { SettingsStore::Save(SettingsStore::kCheckAutoRun, value); }
  static std::wstring Ours() { return ModuleSetAutoRun::RunCommand(System::ProgramFolder()); }
};

TEST_F(AutoRun, CommandIsTheFixedProgramNameInQuotes) {
  const wchar_t* const cases[][2] = {
      {L"C:\\Program Files\\Zorvane", L"\"C:\\Program Files\\Zorvane\\Quorrel2006.exe\""},
      {L"C:\\Tools", L"\"C:\\Tools\\Quorrel2006.exe\""},
      {L"C:", L"\"C:\\Quorrel2006.exe\""},  // a program in a drive's root
      {L"D:\\杀毒 工具", L"\"D:\\杀毒 工具\\Quorrel2006.exe\""},
  };
  for (auto& c : cases) EXPECT_EQ(c[1], ModuleSetAutoRun::RunCommand(c[0])) << Text::ToAnsi(c[0]);
}

// This program is not named Quorrel2006.exe: the entry names the fixed name all the same.
TEST_F(AutoRun, OptionOnWritesTheMachineEntry) {
  Option(L"1");
  SetRunValue(HKEY_LOCAL_MACHINE, L"C:\\Old\\Quorrel2006.exe");  // replaced whatever it held
  ModuleSetAutoRun::SetAutoRun();
  Found machine = RunValue(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(machine.present);
  EXPECT_EQ((DWORD)REG_SZ, machine.type);
  EXPECT_EQ(L"\"" + System::ProgramFolder() + L"\\Quorrel2006.exe\"", machine.text);
  EXPECT_EQ(std::wstring::npos, testsupport::TestFolder().find(L"Quorrel2006"));
  EXPECT_FALSE(RunValue(HKEY_CURRENT_USER).present);
}

TEST_F(AutoRun, MachineEntryReplacesOurOwnUserEntry) {
  Option(L"1");
  SetRunValue(HKEY_CURRENT_USER, Ours());
  ModuleSetAutoRun::SetAutoRun();
  EXPECT_EQ(Ours(), RunValue(HKEY_LOCAL_MACHINE).text);
  EXPECT_FALSE(RunValue(HKEY_CURRENT_USER).present);  // Windows would start the program twice
}

TEST_F(AutoRun, OptionOffRemovesOnlyOurOwnEntry) {
  const std::wstring folder = System::ProgramFolder();
  struct Case {
    const char* what;
    std::wstring text;
    bool removed;
  } cases[] = {
      {"quoted", Ours(), true},
      {"unquoted, as older versions wrote it", folder + L"\\Quorrel2006.exe", true},
      {"another letter case", L"\"" + Text::Upper(folder) + L"\\Quorrel2006.exe\"", true},
      {"with spaces around", L"  " + Ours() + L" ", true},
      {"another folder", L"\"C:\\Other Copy\\Quorrel2006.exe\"", false},
      {"a folder below ours", L"\"" + folder + L"\\sub\\Quorrel2006.exe\"", false},
      {"no folder at all", L"Quorrel2006.exe", false},
  };
  Option(L"0");
  for (const Case& c : cases) {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) SetRunValue(root, c.text);
    SetRunValue(HKEY_CURRENT_USER, Ours(), L"Other");  // ours, but not under our name
    ModuleSetAutoRun::SetAutoRun();
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
      Found left = RunValue(root);
      EXPECT_EQ(!c.removed, left.present) << c.what;
      if (!c.removed) {
        EXPECT_EQ(c.text, left.text) << c.what;
      }
    }
    EXPECT_TRUE(RunValue(HKEY_CURRENT_USER, L"Other").present) << c.what;
  }
}

// The seeded default "0" and an option that does not read as 1 both remove.
TEST_F(AutoRun, AnythingButOneReadsAsOff) {
  for (const wchar_t* value : {L"0", L"", L"yes", L"2"}) {
    Option(value);
    SetRunValue(HKEY_LOCAL_MACHINE, Ours());
    ModuleSetAutoRun::SetAutoRun();
    EXPECT_FALSE(RunValue(HKEY_LOCAL_MACHINE).present) << Text::ToAnsi(value);
  }
}

TEST_F(AutoRun, RefusedMachineKeyLeadsToTheUsersKeyAndClearingRemovesIt) {
  Option(L"1");
  {
    RefusingMachineRunKey refusing;
    ASSERT_TRUE(refusing.Applied());
    HKEY key;
    ASSERT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRun, 0, KEY_SET_VALUE, &key));
    ModuleSetAutoRun::SetAutoRun();
    EXPECT_FALSE(RunValue(HKEY_LOCAL_MACHINE).present);
    Found user = RunValue(HKEY_CURRENT_USER);
    EXPECT_TRUE(user.present);
    EXPECT_EQ(Ours(), user.text);
    Option(L"0");
    ModuleSetAutoRun::SetAutoRun();
    EXPECT_FALSE(RunValue(HKEY_CURRENT_USER).present);
  }
  // The machine's key writable again: it takes the entry back.
  Option(L"1");
  ModuleSetAutoRun::SetAutoRun();
  EXPECT_EQ(Ours(), RunValue(HKEY_LOCAL_MACHINE).text);
}

TEST_F(AutoRun, ClearingTheOptionRemovesTheEntryFromBothKeys) {
  for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) SetRunValue(root, Ours());
  Option(L"0");
  ModuleSetAutoRun::SetAutoRun();
  EXPECT_FALSE(RunValue(HKEY_LOCAL_MACHINE).present);
  EXPECT_FALSE(RunValue(HKEY_CURRENT_USER).present);
}

// A copy of this test program, started from a folder with spaces under another
// name, enters itself: the real program folder reaches the Run value in quotes.
TEST_F(AutoRun, ProgramStartedFromAFolderWithSpacesIsEnteredQuoted) {
  const std::wstring folder = L"C:\\Program Files\\Zorvane Copy";
  CreateDirectoryW(L"C:\\Program Files", nullptr);
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring copy = folder + L"\\renamed copy.exe";
  ASSERT_TRUE(CopyFileW((testsupport::TestFolder() + L"\\unit_tests.exe").c_str(), copy.c_str(), FALSE));
  Option(L"1");
  std::wstring command =
      L"\"" + copy + L"\" --gtest_filter=AutoRun.DISABLED_EnterThisProgram --gtest_also_run_disabled_tests";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, folder.c_str(),
                             &startup, &process));
  WaitForSingleObject(process.hProcess, 60000);
  DWORD code = 99;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  EXPECT_EQ(0u, code);
  EXPECT_EQ(L"\"C:\\Program Files\\Zorvane Copy\\Quorrel2006.exe\"", RunValue(HKEY_LOCAL_MACHINE).text);
  DeleteFileW(copy.c_str());
  RemoveDirectoryW(folder.c_str());
}

// Run only by the test above, in the copy it starts.
TEST_F(AutoRun, DISABLED_EnterThisProgram) { ModuleSetAutoRun::SetAutoRun(); }

}  // namespace
