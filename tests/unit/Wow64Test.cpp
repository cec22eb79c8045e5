// 64-bit Windows, in the 64-bit prefix only, for either build: the checks examine
// both registry views (a shared key once), clean in the view of the finding and
// mark the 32-bit view; the scan reaches the real System32 and reads its version
// blocks, and walks SysWOW64 once; the memory check ends processes of either width.
#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "common/SettingsStore.h"
#include "filescan/ModuleScanDisk.h"
#include "frame/ModuleSetAutoRun.h"
#include "monitor/ModuleOnTimeScan.h"
#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "syscheck/Detection.h"
#include "syscheck/ModuleBackup.h"
#include "syscheck/TrustList.h"
#include "syscheck/checks/ModuleAutoRun.h"
#include "syscheck/checks/ModuleBHO.h"
#include "syscheck/checks/ModuleInit_DLLs.h"
#include "syscheck/checks/ModuleProcess.h"
#include "syscheck/checks/ModuleValuePlaces.h"
#include "tests/unit/CheckSupport.h"
#include "tests/unit/TestSupport.h"

namespace {

using checksupport::StandInPrompt;

const wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kBho[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Browser Helper Objects";
const wchar_t kWindows[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const wchar_t kMark[] = L" [32位]";
const REGSAM k64 = KEY_WOW64_64KEY, k32 = KEY_WOW64_32KEY;

// Hook libraries and stand-ins of each width: the build's own and those the other
// compiler made beside it.
#ifdef _WIN64
const wchar_t kZh64[] = L"fx_zh", kMs64[] = L"fx_ms", kZh32[] = L"fx32_zh";
const wchar_t kSleeper64[] = L"sleeper.exe", kSleeper32[] = L"sleeper32.exe";
#else
const wchar_t kZh64[] = L"fx64_zh", kMs64[] = L"fx64_ms", kZh32[] = L"fx_zh";
const wchar_t kSleeper64[] = L"sleeper64.exe", kSleeper32[] = L"sleeper.exe";
#endif

void Set(HKEY root, const std::wstring& path, REGSAM view, const std::wstring& name, const std::wstring& text) {
  HKEY key;
  ASSERT_EQ(0, RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr));
  RegSetValueExW(key, name.c_str(), 0, REG_SZ, (const BYTE*)text.c_str(), (DWORD)(text.size() + 1) * 2);
  RegCloseKey(key);
}

// The text stored, or "-" when the value or key is absent.
std::wstring Get(HKEY root, const std::wstring& path, REGSAM view, const std::wstring& name) {
  wchar_t text[512] = {};
  DWORD size = sizeof text - 2;
  HKEY key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key)) return L"-";
  LONG rc = RegQueryValueExW(key, name.c_str(), nullptr, nullptr, (BYTE*)text, &size);
  RegCloseKey(key);
  return rc ? L"-" : text;
}

void Remove(HKEY root, const std::wstring& path, REGSAM view, const std::wstring& name) {
  HKEY key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | view, &key)) return;
  RegDeleteValueW(key, name.c_str());
  RegCloseKey(key);
}

bool KeyExists(HKEY root, const std::wstring& path, REGSAM view) {
  HKEY key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key)) return false;
  RegCloseKey(key);
  return true;
}

size_t Count(const std::vector<std::wstring>& lines, const std::wstring& text) {
  return std::count_if(lines.begin(), lines.end(), [&](const std::wstring& l) { return l.find(text) != l.npos; });
}

class Wow64 : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(System::Is64BitWindows()) << "runs in the 64-bit prefix only";
    ASSERT_EQ(sizeof(void*) == 4, System::IsWow64()) << "only the 32-bit build is redirected";
    DeleteFileW(TrustList::Path().c_str());
    checksupport::ClearReport();
  }
  void TearDown() override {
    Detection::Prompt = Detection::PromptDetection;
    DeleteFileW(TrustList::Path().c_str());
  }
  // One run of a check, answered in turn by the subject shown.
  template <typename Check>
  std::vector<std::wstring> Run(Check check, std::vector<std::wstring> answers) {
    checksupport::ClearReport();
    StandInPrompt prompt(std::move(answers));
    check();
    return prompt.warnings;
  }
};

// Each view's value is asked about once, marked when 32-bit, and cleaned (or kept)
// in its own view only; the user's Run key, shared by the views, is asked about once.
TEST_F(Wow64, RunValuesOfEachViewAskedOnceAndCleanedInTheirView) {
  struct Case {
    HKEY root;
    REGSAM view;
    const wchar_t* name;
    const wchar_t* command;
    const wchar_t* answer;
    bool marked;
    bool remains;
  } cases[] = {
      // Values enumerate by name, and the views in the order 64, 32.
      {HKEY_CURRENT_USER, k64, L"zvcu", L"C:\\WINDOWS\\vcu.exe", L"CLEAN", false, false},
      {HKEY_LOCAL_MACHINE, k64, L"zv", L"C:\\WINDOWS\\v64.exe", L"SKIP", false, true},
      {HKEY_LOCAL_MACHINE, k32, L"zv", L"C:\\WINDOWS\\v32.exe", L"CLEAN", true, false},
  };
  std::vector<std::wstring> answers;
  for (const Case& c : cases) {
    Set(c.root, kRun, c.view, c.name, c.command);
    answers.push_back(c.answer);
  }
  std::vector<std::wstring> warnings = Run(ModuleAutoRun::CheckRunKeys, answers);
  std::vector<std::wstring> lines = checksupport::ReportLines();
  ASSERT_EQ(3u, warnings.size());
  for (size_t i = 0; i < 3; i++) {
    const Case& c = cases[i];
    std::wstring shown = std::wstring(c.command) + (c.marked ? kMark : L"");
    EXPECT_EQ(1u, Count(warnings, shown)) << c.command;
    EXPECT_TRUE(warnings[i].size() >= shown.size() &&
                warnings[i].compare(warnings[i].size() - shown.size(), shown.size(), shown) == 0)
        << c.command;
    EXPECT_EQ(1u, Count(lines, shown + L" ")) << c.command;
    EXPECT_EQ(c.remains ? c.command : L"-", Get(c.root, kRun, c.view, c.name)) << c.command;
  }
  Remove(HKEY_LOCAL_MACHINE, kRun, k64, L"zv");
}

// The trust list holds the subject without the mark, and spares it in either view.
TEST_F(Wow64, TrustListKeepsTheSubjectWithoutTheMark) {
  Set(HKEY_LOCAL_MACHINE, kRun, k32, L"zvt", L"C:\\WINDOWS\\t32.exe");
  Run(ModuleAutoRun::CheckRunKeys, {L"ALLOW"});
  EXPECT_TRUE(TrustList::IsTrusted(L"C:\\WINDOWS\\t32.exe"));
  EXPECT_FALSE(TrustList::IsTrusted(std::wstring(L"C:\\WINDOWS\\t32.exe") + kMark));
  Set(HKEY_LOCAL_MACHINE, kRun, k64, L"zvt", L"C:\\WINDOWS\\t32.exe");
  EXPECT_TRUE(Run(ModuleAutoRun::CheckRunKeys, {}).empty());
  Remove(HKEY_LOCAL_MACHINE, kRun, k64, L"zvt");
  Remove(HKEY_LOCAL_MACHINE, kRun, k32, L"zvt");
}

// A backup records the view of the value cleaned and is restored into that view only.
TEST_F(Wow64, BackupRestoresIntoTheViewOfTheFinding) {
  unsigned long error = 0;
  for (const ModuleBackup::Backup& b : ModuleBackup::List()) ModuleBackup::Delete(b, &error);
  struct Case {
    REGSAM view;
    const char* line;
  } cases[] = {{k64, "view 64"}, {k32, "view 32"}};
  for (const Case& c : cases) {
    Set(HKEY_LOCAL_MACHINE, kRun, c.view, L"zvb", L"C:\\WINDOWS\\b.exe");
    Run(ModuleAutoRun::CheckRunKeys, {L"CLEAN"});
    std::vector<ModuleBackup::Backup> backups = ModuleBackup::List();
    ASSERT_EQ(1u, backups.size()) << c.line;
    EXPECT_NE(std::string::npos, ModuleBackup::Format(backups[0]).find(c.line));
    EXPECT_EQ(L"-", Get(HKEY_LOCAL_MACHINE, kRun, c.view, L"zvb"));
    ASSERT_TRUE(ModuleBackup::Restore(backups[0], &error)) << error;
    EXPECT_EQ(L"C:\\WINDOWS\\b.exe", Get(HKEY_LOCAL_MACHINE, kRun, c.view, L"zvb"));
    EXPECT_EQ(L"-", Get(HKEY_LOCAL_MACHINE, kRun, c.view == k64 ? k32 : k64, L"zvb"));
    Remove(HKEY_LOCAL_MACHINE, kRun, c.view, L"zvb");
  }
}

// Hex of a text as UTF-16LE, upper-case, as backups hold names and data.
std::string Utf16Hex(const std::wstring& text, bool withNul) {
  std::string hex;
  char byte[3];
  for (size_t i = 0; i < text.size() + (withNul ? 1 : 0); i++) {
    wchar_t c = i < text.size() ? text[i] : L'\0';
    for (int b : {c & 0xFF, (c >> 8) & 0xFF}) {
      std::snprintf(byte, sizeof byte, "%02X", b);
      hex += byte;
    }
  }
  return hex;
}

// A backup file is the same whichever build wrote it: one written word for word as
// the other build writes it (a cleaned Run value of each view) restores into its view.
TEST_F(Wow64, BackupOfEitherBuildRestoresIntoItsView) {
  unsigned long error = 0;
  for (const ModuleBackup::Backup& b : ModuleBackup::List()) ModuleBackup::Delete(b, &error);
  struct Case {
    const char* view;
    REGSAM written, other;
  } cases[] = {{"32", k32, k64}, {"64", k64, k32}};
  for (const Case& c : cases) {
    const std::wstring command = L"C:\\WINDOWS\\x.exe";
    std::string text =
        "Zorvane registry backup 1\r\ntime 2026-12-10 14:03:22\r\ntag " + Utf16Hex(L"RAR", false) + "\r\nsubject " +
        Utf16Hex(command, false) + "\r\nchanges 1\r\nplace value\r\nroot 80000002\r\nview " + c.view + "\r\npath " +
        Utf16Hex(kRun, false) + "\r\nname " + Utf16Hex(L"zvx", false) + "\r\nbefore present\r\ntype 1\r\ndata " +
        Utf16Hex(command, true) + "\r\nafter absent\r\nend\r\n";
    CreateDirectoryW(ModuleBackup::Folder().c_str(), nullptr);
    testsupport::WriteFileBytes(ModuleBackup::Folder() + L"\\other-build.bak", text);
    std::vector<ModuleBackup::Backup> backups = ModuleBackup::List();
    ASSERT_EQ(1u, backups.size()) << c.view;
    ASSERT_FALSE(backups[0].damaged) << c.view;
    EXPECT_EQ(std::wstring(L"HKLM\\") + kRun + L" : zvx" + (c.written == k32 ? kMark : L""),
              ModuleBackup::Describe(backups[0].changes.at(0).place));
    ASSERT_TRUE(ModuleBackup::Restore(backups[0], &error)) << error;
    EXPECT_EQ(command, Get(HKEY_LOCAL_MACHINE, kRun, c.written, L"zvx")) << c.view;
    EXPECT_EQ(L"-", Get(HKEY_LOCAL_MACHINE, kRun, c.other, L"zvx")) << c.view;
    Remove(HKEY_LOCAL_MACHINE, kRun, c.written, L"zvx");
  }
}

// A shell folder's class registration has a key in each view: a verb of each is
// asked about, the 32-bit one marked, and CLEAN removes the verb of its own view only.
TEST_F(Wow64, ShellVerbOfEachViewRemovedInItsView) {
  const std::wstring shell = L"Software\\Classes\\CLSID\\{645FF040-5081-101B-9F08-00AA002F954E}\\shell";
  for (REGSAM view : {k64, k32}) Set(HKEY_LOCAL_MACHINE, shell + L"\\zvverb\\command", view, L"", L"zvverb.exe");
  std::vector<std::wstring> warnings = Run(ModuleValuePlaces::CheckShellVerbs, {L"SKIP", L"CLEAN"});
  ASSERT_EQ(2u, warnings.size());
  EXPECT_EQ(0u, Count({warnings[0]}, kMark));
  EXPECT_EQ(1u, Count({warnings[1]}, kMark));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, shell + L"\\zvverb", k64));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, shell + L"\\zvverb", k32));
  for (Reg::View view : {Reg::Bits64, Reg::Bits32}) Reg::DeleteTree(Reg::LocalMachine, shell + L"\\zvverb", view);
}

int Alarms;
void CountAlarm(const std::wstring&) { Alarms++; }

// The monitor sounds for a value of either view.
TEST_F(Wow64, MonitorWalksBothViews) {
  SettingsStore::Save(SettingsStore::kCheckSoundAlart, L"1");
  System::SetSoundPlayer(CountAlarm);
  for (REGSAM view : {k64, k32}) {
    Alarms = 0;
    Set(HKEY_LOCAL_MACHINE, kRun, view, L"zvm", L"C:\\WINDOWS\\m.exe");
    ModuleOnTimeScan::MonitorRunKeys();
    EXPECT_EQ(1, Alarms) << (view == k64 ? "64" : "32");
    Remove(HKEY_LOCAL_MACHINE, kRun, view, L"zvm");
  }
  System::SetSoundPlayer(nullptr);
}

// Start with Windows, on or off: the machine's values naming this copy go from
// both views (an earlier 32-bit version wrote in the 32-bit one), nothing is
// written there, and another installation's values stay.
TEST_F(Wow64, StartWithWindowsRemovesTheMachineValuesOfBothViews) {
  const std::wstring ours = ModuleSetAutoRun::RunCommand(System::ProgramFolder());
  const std::wstring other = ModuleSetAutoRun::RunCommand(L"C:\\Other");
  for (const wchar_t* option : {L"1", L"0"}) {
    for (REGSAM view : {k64, k32}) {
      Set(HKEY_LOCAL_MACHINE, kRun, view, ModuleSetAutoRun::kValueName, ours);
      Set(HKEY_LOCAL_MACHINE, kRun, view, L"Other", other);
    }
    SettingsStore::Save(SettingsStore::kCheckAutoRun, option);
    ModuleSetAutoRun::SetAutoRun();
    for (REGSAM view : {k64, k32}) {
      const char* where = view == k64 ? "64" : "32";
      EXPECT_EQ(L"-", Get(HKEY_LOCAL_MACHINE, kRun, view, ModuleSetAutoRun::kValueName)) << where;
      EXPECT_EQ(other, Get(HKEY_LOCAL_MACHINE, kRun, view, L"Other")) << where;
      Remove(HKEY_LOCAL_MACHINE, kRun, view, L"Other");
    }
  }
  SettingsStore::Save(SettingsStore::kCheckAutoRun, L"0");
  ModuleSetAutoRun::SetAutoRun();  // the user's task goes again
}

// An object registered in the 64-bit view shows the server its class names in
// that view, not the 32-bit class of the same identifier, and goes from that view.
TEST_F(Wow64, BrowserHelperOfTheNativeViewShowsItsOwnClass) {
  const std::wstring id = L"{7A0E0001-0000-0000-0000-00000000B064}";
  const std::wstring server = L"CLSID\\" + id + L"\\InprocServer32";
  Set(HKEY_LOCAL_MACHINE, std::wstring(kBho) + L"\\" + id, k64, L"", L"");
  Set(HKEY_CLASSES_ROOT, server, k64, L"", L"C:\\x\\bho64.dll");
  Set(HKEY_CLASSES_ROOT, server, k32, L"", L"C:\\x\\other32.dll");
  std::vector<std::wstring> warnings = Run(ModuleBHO::CheckBrowserHelperObjects, {L"CLEAN"});
  ASSERT_EQ(1u, warnings.size());
  EXPECT_EQ(L"警告(RBHO)：发现可疑程序，可能是木马! -> C:\\x\\bho64.dll", warnings[0]);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, std::wstring(kBho) + L"\\" + id, k64));
  EXPECT_EQ(1u, Count(checksupport::ReportLines(), L"C:\\x\\bho64.dll 已清除!"));
  testsupport::DeleteTree(HKEY_CLASSES_ROOT, L"CLSID\\" + id);
  HKEY classes;
  if (!RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID", 0, KEY_ALL_ACCESS | k64, &classes)) {
    RegDeleteKeyExW(classes, (id + L"\\InprocServer32").c_str(), k64, 0);
    RegDeleteKeyExW(classes, id.c_str(), k64, 0);
    RegCloseKey(classes);
  }
}

// An object's key with a subkey, in the 32-bit view, goes and comes back whole in that view.
TEST_F(Wow64, BrowserHelperTreeOfThe32BitViewRestoredInItsView) {
  const std::wstring object = std::wstring(kBho) + L"\\{7A0E0002-0000-0000-0000-00000000B032}";
  unsigned long error = 0;
  for (const ModuleBackup::Backup& b : ModuleBackup::List()) ModuleBackup::Delete(b, &error);
  Set(HKEY_LOCAL_MACHINE, object + L"\\Settings", k32, L"Option", L"1");
  std::vector<std::wstring> warnings = Run(ModuleBHO::CheckBrowserHelperObjects, {L"CLEAN"});
  ASSERT_EQ(1u, warnings.size()) << testing::PrintToString(warnings);
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, object, k32));
  std::vector<ModuleBackup::Backup> backups = ModuleBackup::List();
  ASSERT_EQ(1u, backups.size());
  ASSERT_TRUE(ModuleBackup::Restore(backups[0], &error)) << error;
  EXPECT_EQ(L"1", Get(HKEY_LOCAL_MACHINE, object + L"\\Settings", k32, L"Option"));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, object, k64));
  Reg::DeleteTree(Reg::LocalMachine, object, Reg::Bits32);
}

// Each view's list is its own finding, emptied in its own view.
TEST_F(Wow64, AppInitListOfEachViewEmptiedInItsView) {
  struct Case {
    REGSAM view;
    const wchar_t* list;
    const wchar_t* shown;
  } cases[] = {
      {k64, L"C:\\x\\a64.dll", L"C:\\x\\a64.dll"},
      {k32, L"C:\\x\\a32.dll", L"C:\\x\\a32.dll [32位]"},
  };
  for (const Case& c : cases) Set(HKEY_LOCAL_MACHINE, kWindows, c.view, L"AppInit_DLLs", c.list);
  std::vector<std::wstring> warnings = Run(ModuleInit_DLLs::CheckAppInitDlls, {L"CLEAN", L"CLEAN"});
  ASSERT_EQ(2u, warnings.size());
  for (size_t i = 0; i < 2; i++) {
    EXPECT_EQ(std::wstring(L"警告(RID)：发现可疑程序，可能是木马! -> ") + cases[i].shown, warnings[i]);
    EXPECT_EQ(L"", Get(HKEY_LOCAL_MACHINE, kWindows, cases[i].view, L"AppInit_DLLs"));
  }
}

// Processes of either width named in the list are found by the memory check and
// ended, and EndProgram ends them as well. A host that runs no 32-bit
// program leaves the 32-bit case out, and says so.
TEST_F(Wow64, ProcessesOfEitherWidthFoundAndEnded) {
  struct Case {
    const wchar_t* program;
    const wchar_t* found;
    const wchar_t* killed;
    BOOL wow;
  } cases[] = {
      {kSleeper64, L"zvtroj64.exe", L"zvkill64.exe", FALSE},
      {kSleeper32, L"zvtroj32.exe", L"zvkill32.exe", TRUE},
  };
  for (const Case& c : cases) {
    std::string list = "\"" + Text::ToAnsi(Text::Upper(c.found)) + "\"\r\n";
    testsupport::WriteFileBytes(testsupport::TestFolder() + L"\\blkt.dat", list);
    PROCESS_INFORMATION found = testsupport::StartSleeper(L"C:\\sandbox", c.found, c.program);
    PROCESS_INFORMATION killed = testsupport::StartSleeper(L"C:\\sandbox", c.killed, c.program);
    if (c.wow && !testsupport::Alive(found)) {
      std::printf("Wow64: this host runs no 32-bit program: the 32-bit process case did not run\n");
      continue;
    }
    ASSERT_TRUE(testsupport::Alive(found)) << c.found;
    ASSERT_TRUE(testsupport::Alive(killed)) << c.killed;
    BOOL wow = !c.wow;
    IsWow64Process(found.hProcess, &wow);
    EXPECT_EQ(c.wow, wow) << c.found;
    std::vector<std::wstring> warnings = Run(ModuleProcess::CheckMemory, {L"CLEAN"});
    EXPECT_EQ(1u, Count(warnings, c.found));
    EXPECT_TRUE(testsupport::WaitFor([&] { return !testsupport::Alive(found); })) << c.found;
    EXPECT_TRUE(ModuleProcess::EndProgram(std::wstring(L"C:\\sandbox\\") + c.killed));
    EXPECT_TRUE(testsupport::WaitFor([&] { return !testsupport::Alive(killed); })) << c.killed;
    testsupport::EndProcess(found);
    testsupport::EndProcess(killed);
  }
  DeleteFileW((testsupport::TestFolder() + L"\\blkt.dat").c_str());
}

// Hook libraries in the real System32 are listed or spared by publisher under
// their own names; one of SysWOW64 is listed once, as itself.
TEST_F(Wow64, ScanReachesTheRealSystemFolderAndListsEachFileOnce) {
  wchar_t windows[MAX_PATH];
  GetSystemWindowsDirectoryW(windows, MAX_PATH);
  const std::wstring base = windows;
  struct Case {
    const wchar_t* fixture;
    std::wstring path;
    bool listed;
  } cases[] = {
      {kZh64, base + L"\\system32\\zvhook64.dll", true},
      {kMs64, base + L"\\system32\\zvms64.dll", false},
      {kZh32, base + L"\\syswow64\\zvhook32.dll", true},
  };
  for (const Case& c : cases) {
    Files::RealSystemFolder real;
    std::string bytes = testsupport::ReadFileBytes(testsupport::TestFolder() + L"\\fixtures\\" + c.fixture + L".dll");
    ASSERT_GT(bytes.size(), 0x60u);
    bytes.replace(0x4E, 14, "SetWindowsHook");
    testsupport::WriteFileBytes(c.path, bytes);
  }
  std::vector<std::wstring> lines;
  ModuleScanDisk::Sink sink;
  sink.result = [&](const std::wstring& text) {
    for (size_t at = 0, end; (end = text.find(L"\r\n", at)) != std::wstring::npos; at = end + 2)
      lines.push_back(text.substr(at, end - at));
  };
  ModuleScanDisk::Start({base});
  ModuleScanDisk::RunQueue(sink);
  for (const Case& c : cases) {
    EXPECT_EQ(c.listed ? 1u : 0u, Count(lines, L"：" + c.path + L" |")) << testing::PrintToString(c.path);
    if (c.listed) {
      EXPECT_EQ(1u, Count(lines, L"：" + c.path + L" | 文件发行者：示例软件公司"));
    }
  }
  EXPECT_EQ(0u, Count(lines, base + L"\\system32\\zvhook32.dll"));
  Files::RealSystemFolder real;
  for (const Case& c : cases) DeleteFileW(c.path.c_str());
}

// The real System32's 64-bit images, reached by their alias as the scan reaches them:
// read from their bytes, their version blocks are the system's own.
TEST_F(Wow64, VersionBlocksOfTheRealSystemFolderReadFromTheirBytes) {
  wchar_t windows[MAX_PATH];
  GetSystemWindowsDirectoryW(windows, MAX_PATH);
  const std::wstring folder = std::wstring(windows) + L"\\system32";
  std::vector<std::wstring> paths;
  {
    Files::RealSystemFolder real;
    paths = testsupport::Images(folder);
  }
  size_t blocks = 0;
  for (const std::wstring& path : paths) {
    std::string head;
    {
      Files::RealSystemFolder real;
      head = testsupport::ScanHead(path);
    }
    ASSERT_EQ("MZ", head.substr(0, 2)) << testing::PrintToString(path);
    blocks += testsupport::ExpectTheSystemsVersionBlock(Files::RealSystemAlias(path), head) == Version::Answer::kBlock;
  }
  EXPECT_GT(blocks, 0u);
}

// An entry is read as the 64-bit program that starts it reads it: %ProgramFiles% and
// %CommonProgramFiles% are the 64-bit folders in either build; the x86 ones keep their
// own names, and text that only looks like a reference stays as written.
TEST_F(Wow64, EntriesExpandAsTheSixtyFourBitProgramsThatStartThem) {
  auto variable = [](const wchar_t* name) {
    wchar_t value[MAX_PATH] = L"";
    GetEnvironmentVariableW(name, value, MAX_PATH);
    return std::wstring(value);
  };
  const std::wstring programs = variable(L"ProgramW6432"), common = variable(L"CommonProgramW6432");
  const std::wstring programsX86 = variable(L"ProgramFiles(x86)");
  ASSERT_EQ(L"C:\\Program Files", programs);
  ASSERT_NE(L"", common);
  const struct {
    std::wstring written, expected;
  } cases[] = {
      {L"%ProgramFiles%\\Contoso\\a.exe", programs + L"\\Contoso\\a.exe"},
      {L"\"%PROGRAMFILES%\\a b\\a.exe\" /s", L"\"" + programs + L"\\a b\\a.exe\" /s"},
      {L"%commonprogramfiles%\\x.dll,Run", common + L"\\x.dll,Run"},
      {L"%ProgramFiles(x86)%\\old.exe", programsX86 + L"\\old.exe"},
      {L"%SystemRoot%\\x.exe %ProgramFiles%\\y.exe", variable(L"SystemRoot") + L"\\x.exe " + programs + L"\\y.exe"},
      {L"%NoSuchVariable%\\%ProgramFiles%", L"%NoSuchVariable%\\" + programs},
      {L"%ProgramFiles", L"%ProgramFiles"},
      {L"ProgramFiles%", L"ProgramFiles%"},
      {L"%%", L"%%"},
      {L"", L""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.expected, System::ExpandEnvironment(c.written)) << testing::PrintToString(c.written);
}

}  // namespace
