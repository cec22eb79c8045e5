// The memory and autorun checks against real processes and the real registry.
#include <gtest/gtest.h>
#include <list>

#include "common/SettingsStore.h"
#include "frame/FormMain.h"
#include "platform/Processes.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "report/FormReport.h"
#include "syscheck/Detection.h"
#include "syscheck/SystemCheck.h"
#include "syscheck/TrustList.h"
#include "syscheck/checks/ModuleAutoRun.h"
#include "syscheck/checks/ModuleProcess.h"
#include "tests/unit/CheckSupport.h"
#include "tests/unit/TestSupport.h"

namespace {

using testsupport::Alive;
using testsupport::Answerer;

const wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kSandbox[] = L"C:\\sandbox";

std::wstring Report() { return FormReport::ReportText(); }

// The report lines after the header, in order.
auto& Lines = checksupport::ReportLines;

void SetValue(Reg::Root root, const wchar_t* path, const std::wstring& name, DWORD type, const std::string& data) {
  HKEY key;
  RegCreateKeyA((HKEY)root, Text::ToAnsi(path).c_str(), &key);
  RegSetValueExA(key, Text::ToAnsi(name).c_str(), 0, type, (const BYTE*)data.data(), (DWORD)data.size());
  RegCloseKey(key);
}

void SetCommand(const std::wstring& name, const std::wstring& command) {
  HKEY key;
  RegCreateKeyW(HKEY_CURRENT_USER, kRun, &key);
  RegSetValueExW(key, name.c_str(), 0, REG_SZ, (const BYTE*)command.c_str(), (DWORD)(command.size() + 1) * 2);
  RegCloseKey(key);
}

bool HasValue(const std::wstring& name) {
  Reg::Key key;
  if (Reg::Open(Reg::CurrentUser, kRun, &key) != Reg::Ok) return false;
  Reg::Value value;
  return Reg::QueryValue(key, name, &value) == Reg::Ok;
}

class Checks : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::DeleteTree(HKEY_CURRENT_USER, kRun);
    DeleteFileW(TrustList::Path().c_str());
    tk::SetApplicationTitle(L"Zorvane");
    tk::Show(FormMain::Get());
    Detection::Owner = &FormMain::Get();  // as the system check hands it over
    FormReport::Unload();
  }
  void TearDown() override {
    for (auto& p : processes) testsupport::EndProcess(p);
    Detection::Prompt = Detection::PromptDetection;
    FormMain::Form_Unload();
    testsupport::Pump();
    testsupport::DeleteTree(HKEY_CURRENT_USER, kRun);
    DeleteFileW(TrustList::Path().c_str());
    DeleteFileW((testsupport::TestFolder() + L"\\blkt.dat").c_str());
  }
  PROCESS_INFORMATION& Start(const std::wstring& image) { return Start(kSandbox, image); }
  PROCESS_INFORMATION& Start(const std::wstring& folder, const std::wstring& image) {
    processes.push_back(testsupport::StartSleeper(folder, image));
    EXPECT_TRUE(Alive(processes.back())) << "could not start " << testing::PrintToString(folder + L"\\" + image);
    return processes.back();
  }
  void WriteList(const std::string& text) {
    testsupport::WriteFileBytes(testsupport::TestFolder() + L"\\blkt.dat", text);
  }
  std::list<PROCESS_INFORMATION> processes;  // stable references
};

TEST_F(Checks, AutorunFindingsAreCommandsIntoTheWindowsFolder) {
  SetCommand(L"a", L"C:\\Program Files\\Tool\\tool.exe");
  SetCommand(L"b", L"C:\\WINDOWS\\system32\\x.exe");
  SetCommand(L"c", L"c:\\windows\\system32\\y.exe");
  SetCommand(L"d", L"\"C:\\WINDOWS\\q.exe\" /s");
  SetCommand(L"e", L"C:\\WINNT\\" + std::wstring(300, L'l') + L".exe");
  SetValue(Reg::CurrentUser, kRun, L"f", REG_DWORD, std::string("\x01\0\0\0", 4));
  SetValue(Reg::CurrentUser, kRun, L"g", REG_EXPAND_SZ, std::string("%SystemRoot%\\x.exe", 19));
  SetValue(Reg::CurrentUser, kRun, L"h", REG_BINARY, std::string("  C:\\WINDOWS\\bin.exe  \0junk", 27));
  SetCommand(std::wstring(300, L'n'), L"C:\\WINDOWS\\longname.exe");
  Answerer answers({});
  ModuleAutoRun::CheckRunKeys();
  const std::wstring head = L"警告(RAR)：发现可疑程序，可能是木马! -> ";
  const std::wstring longCommand = L"C:\\WINNT\\" + std::wstring(300, L'l') + L".exe";
  // The prompt shows a warning longer than it can hold by its start and its end.
  std::vector<std::wstring> expected = {head + L"C:\\WINDOWS\\system32\\x.exe", head + L"\"C:\\WINDOWS\\q.exe\" /s",
                                        head + L"C:\\WINNT\\" + std::wstring(100 - head.size() - 9, L'l') +
                                            L" …（共 338 个字符）… " + std::wstring(96, L'l') + L".exe",
                                        head + L"C:\\WINDOWS\\bin.exe   | junk",  // the part behind the NUL shown
                                        head + L"C:\\WINDOWS\\longname.exe"};
  EXPECT_EQ(expected, answers.warnings);
  std::vector<std::wstring> lines = Lines();
  ASSERT_EQ(5u, lines.size());
  EXPECT_EQ(L"(RAR)：发现可疑程序，可能是木马! -> C:\\WINDOWS\\system32\\x.exe 跳过,未清除!", lines[0]);
  EXPECT_EQ(L"(RAR)：发现可疑程序，可能是木马! -> " + longCommand + L" 跳过,未清除!",
            lines[2]);  // the report keeps it whole
}

TEST_F(Checks, TheFourPlacesAreExaminedInOrder) {
  const wchar_t kServices[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunServices";
  testsupport::DeleteTree(HKEY_LOCAL_MACHINE, kRun);
  std::string data = "C:\\WINDOWS\\place";
  SetValue(Reg::LocalMachine, kServices, L"z", REG_SZ, data + "4.exe");
  SetValue(Reg::LocalMachine, kRun, L"z", REG_SZ, data + "3.exe");
  SetValue(Reg::CurrentUser, kRun, L"z", REG_SZ, data + "1.exe");
  testsupport::DeleteTree(HKEY_CURRENT_USER, kServices);  // an absent place yields nothing
  Answerer answers({L"SKIP", L"CLEAN", L"CLEAN"});
  ModuleAutoRun::CheckRunKeys();
  ASSERT_EQ(3u, answers.warnings.size());
  for (size_t i = 0; i < 3; i++)
    EXPECT_NE(std::wstring::npos, answers.warnings[i].find(i == 0 ? L"place1" : i == 1 ? L"place3" : L"place4"));
  // Cleaned from the machine's RunServices key, where Wine's own lower-case entry was no finding.
  Reg::Key key;
  ASSERT_EQ(Reg::Ok, Reg::Open(Reg::LocalMachine, kServices, &key));
  Reg::Value value;
  EXPECT_NE(Reg::Ok, Reg::QueryValue(key, L"z", &value));
}

TEST_F(Checks, TrustedValueIsExcusedAndTheWalkGoesOn) {
  SetCommand(L"a", L"C:\\WINDOWS\\trusted.exe");
  SetCommand(L"b", L"C:\\WINDOWS\\after.exe");
  TrustList::AddTrusted(L"C:\\WINDOWS\\trusted.exe");
  Answerer answers({L"ALLOW"});
  ModuleAutoRun::CheckRunKeys();
  ASSERT_EQ(1u, answers.warnings.size());
  EXPECT_NE(std::wstring::npos, answers.warnings[0].find(L"after.exe"));
  EXPECT_EQ(std::vector<std::wstring>{L"(RAR)：发现可疑程序，可能是木马! -> C:\\WINDOWS\\after.exe 信任,未清除!"},
            Lines());
  EXPECT_TRUE(TrustList::IsTrusted(L"C:\\WINDOWS\\after.exe"));
  EXPECT_TRUE(HasValue(L"b"));
  // The next run asks nothing.
  FormReport::Unload();
  Answerer again({});
  ModuleAutoRun::CheckRunKeys();
  EXPECT_TRUE(again.warnings.empty());
  EXPECT_FALSE(FormReport::HasFindings());
}

TEST_F(Checks, CleanDeletesUnderTheStoredNameAndExaminesTheNextValue) {
  SetCommand(L" spaced ", L"C:\\WINDOWS\\one.exe");
  SetCommand(L"b", L"C:\\WINDOWS\\");
  SetCommand(L"c", L"C:\\WINDOWS\\runkill.exe -x");
  SetCommand(L"d", L"C:\\Program Files\\keep.exe");
  PROCESS_INFORMATION& victim = Start(L"C:\\WINDOWS", L"runkill.exe");
  PROCESS_INFORMATION& bystander = Start(L"bystander.exe");
  Answerer answers({L"CLEAN", L"CLEAN", L"CLEAN"});
  ModuleAutoRun::CheckRunKeys();
  EXPECT_EQ(3u, answers.warnings.size());
  EXPECT_FALSE(HasValue(L" spaced "));
  EXPECT_FALSE(HasValue(L"b"));
  EXPECT_FALSE(HasValue(L"c"));
  EXPECT_TRUE(HasValue(L"d"));
  EXPECT_TRUE(testsupport::WaitFor([&] { return !Alive(victim); }));
  DWORD code = 99;
  GetExitCodeProcess(victim.hProcess, &code);
  EXPECT_EQ(0u, code);
  EXPECT_TRUE(Alive(bystander));
  std::vector<std::wstring> lines = Lines();
  ASSERT_EQ(3u, lines.size());
  for (const std::wstring& line : lines) EXPECT_EQ(L" 已清除!", line.substr(line.size() - 5)) << line.size();
}

TEST_F(Checks, ValuesAddedOrRemovedDuringAPromptDoNotChangeTheWalk) {
  SetCommand(L"a", L"C:\\WINDOWS\\a.exe");
  SetCommand(L"c", L"C:\\WINDOWS\\c.exe");
  SetCommand(L"d", L"C:\\WINDOWS\\d.exe");
  Answerer answers({L"SKIP", L"SKIP", L"SKIP"});
  answers.onPrompt = [&] {
    if (answers.warnings.size() != 1) return;
    SetCommand(L"b", L"C:\\WINDOWS\\added.exe");  // sorts between a and c
    Reg::DeleteValue(Reg::CurrentUser, kRun, L"d");
  };
  ModuleAutoRun::CheckRunKeys();
  ASSERT_EQ(3u, answers.warnings.size());
  const wchar_t* const examined[] = {L"a.exe", L"c.exe", L"d.exe"};
  for (size_t i = 0; i < 3; i++) EXPECT_NE(std::wstring::npos, answers.warnings[i].find(examined[i])) << i;
  EXPECT_TRUE(HasValue(L"b"));
  EXPECT_FALSE(HasValue(L"d"));
}

TEST_F(Checks, CleanThatLeavesAMatchingProcessIsReportedAsFailed) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring command = L"\"" + std::wstring(self) + L"\" C:\\WINDOWS\\";  // the argument makes it a finding
  SetCommand(L"self", command);
  checksupport::StandInPrompt prompt({L"CLEAN"});
  ModuleAutoRun::CheckRunKeys();
  EXPECT_FALSE(HasValue(L"self"));
  EXPECT_EQ(std::vector<std::wstring>{L"(RAR)：发现可疑程序，可能是木马! -> " + command + L" 清除失败!"}, Lines());
}

// The running processes of that image name, as the snapshot gives them.
std::vector<Processes::Entry> Running(const std::wstring& image) {
  std::vector<Processes::Entry> entries, named;
  EXPECT_TRUE(Processes::Snapshot(&entries));
  for (const Processes::Entry& entry : entries)
    if (Text::Upper(entry.image) == Text::Upper(image)) named.push_back(entry);
  return named;
}

bool StillRuns(DWORD id) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, id);
  bool runs = process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  if (process) CloseHandle(process);
  return runs;
}

// CLEAN of a Run entry ends the processes whose image is the file the entry
// starts, and no other: not one whose name contains that name or is contained in
// it, not one of the same name in another folder. An impostor of a critical
// process is such a file too.
TEST_F(Checks, CleanEndsExactlyTheProgramTheEntryStarts) {
  std::vector<Processes::Entry> genuineHosts = Running(L"svchost.exe");  // Wine's own, in its system32
  ASSERT_FALSE(genuineHosts.empty());
  const wchar_t longFolder[] = L"C:\\WINDOWS\\Long Folder Name";
  wchar_t shortFolder[MAX_PATH] = {};
  CreateDirectoryW(longFolder, nullptr);
  ASSERT_NE(0u, GetShortPathNameW(longFolder, shortFolder, MAX_PATH));
  const std::wstring shortName = std::wstring(shortFolder).substr(std::wstring(shortFolder).rfind(L'\\') + 1);
  struct Process {
    const wchar_t* folder;
    const wchar_t* image;
    bool ended;
  };
  struct Case {
    std::wstring command;
    std::vector<Process> running;
  } cases[] = {
      {L"C:\\WINDOWS\\e", {{L"C:\\WINDOWS", L"editor.exe", false}, {L"C:\\WINDOWS", L"e.exe", true}}},
      {L"C:\\WINDOWS\\same.exe", {{L"C:\\WINDOWS", L"same.exe", true}, {kSandbox, L"same.exe", false}}},
      {L"\"C:\\WINDOWS\\quoted.exe\" /s d.exe",
       {{L"C:\\WINDOWS", L"quoted.exe", true}, {L"C:\\WINDOWS", L"d.exe", false}}},
      {L"C:\\WINDOWS\\Space Dir\\spaced.exe /run",
       {{L"C:\\WINDOWS\\Space Dir", L"spaced.exe", true}, {kSandbox, L"spaced.exe", false}}},
      {L"%SystemDrive%\\WINDOWS\\envprog.exe",
       {{L"C:\\WINDOWS", L"envprog.exe", true}, {kSandbox, L"envprog.exe", false}}},
      {L"C:\\WINDOWS\\twice.exe", {{L"C:\\WINDOWS", L"twice.exe", true}, {L"C:\\WINDOWS", L"TWICE.EXE", true}}},
      {L"C:\\WINDOWS\\one.exe | C:\\WINDOWS\\two.exe",
       {{L"C:\\WINDOWS", L"one.exe", true}, {L"C:\\WINDOWS", L"two.exe", true}}},
      {L"C:\\WINDOWS\\Temp\\svchost.exe", {{L"C:\\WINDOWS\\Temp", L"svchost.exe", true}}},
      {L"C:\\WINDOWS\\Temp\\..\\dotted.exe", {{L"C:\\WINDOWS", L"dotted.exe", true}}},
      {L"C:\\WINDOWS\\" + shortName + L"\\short.exe", {{longFolder, L"short.exe", true}}},
  };
  for (const Case& c : cases) {
    std::string what = Text::ToAnsi(c.command);
    testsupport::DeleteTree(HKEY_CURRENT_USER, kRun);
    FormReport::Unload();
    std::vector<PROCESS_INFORMATION*> started;
    for (const Process& p : c.running) started.push_back(&Start(p.folder, p.image));
    SetCommand(L"v", c.command);
    checksupport::StandInPrompt prompt({L"CLEAN"});
    ModuleAutoRun::CheckRunKeys();
    EXPECT_EQ(
        std::vector<std::wstring>{L"(RAR)：发现可疑程序，可能是木马! -> " + std::wstring(c.command) + L" 已清除!"},
        Lines())
        << what;
    for (size_t i = 0; i < started.size(); i++) {
      if (c.running[i].ended) {
        EXPECT_TRUE(testsupport::WaitFor([&] { return !Alive(*started[i]); })) << what << ": " << i;
      }
    }
    for (size_t i = 0; i < started.size(); i++) {
      if (!c.running[i].ended) {
        EXPECT_TRUE(Alive(*started[i])) << what << ": " << i;
      }
    }
  }
  for (const Processes::Entry& host : genuineHosts) EXPECT_TRUE(StillRuns(host.id)) << host.id;
}

TEST_F(Checks, MemoryCheckFlagsStemsFoundInTheList) {
  WriteList("junk\r\ntrojan.exe\r\n");
  PROCESS_INFORMATION& first = Start(L"TROJAN.EXE");
  PROCESS_INFORMATION& second = Start(L"trojan.exe");
  Answerer answers({L"CLEAN", L"SKIP"});
  ModuleProcess::CheckMemory();
  ASSERT_EQ(2u, answers.warnings.size());
  EXPECT_EQ(L"警告(P)：内存中发现可疑程序，可能是木马! -> ", answers.warnings[0].substr(0, 26));
  std::vector<std::wstring> lines = Lines();
  ASSERT_EQ(2u, lines.size());
  EXPECT_NE(std::wstring::npos, lines[0].find(L" 已清除!"));
  EXPECT_NE(std::wstring::npos, lines[1].find(L"-> "));
  EXPECT_EQ(L" 跳过,未清除!", lines[1].substr(lines[1].size() - 8));
  EXPECT_TRUE(testsupport::WaitFor([&] { return Alive(first) != Alive(second); }));
}

// A process named like one Windows cannot lose (or the shell) is spared only when
// its image is the system's own file: the memory check ends an impostor started
// elsewhere, and says it failed for the genuine ones (Wine runs its svchost and
// its shell from system32) and for a shell in the Windows folder.
TEST_F(Checks, OnlyTheSystemsOwnCriticalProcessesAreSpared) {
  std::vector<Processes::Entry> genuine = Running(L"svchost.exe"), shells = Running(L"explorer.exe");
  genuine.insert(genuine.end(), shells.begin(), shells.end());
  ASSERT_FALSE(genuine.empty());
  wchar_t windows[MAX_PATH] = {};
  GetSystemWindowsDirectoryW(windows, MAX_PATH);
  const std::wstring shellFile = std::wstring(windows) + L"\\explorer.exe", saved = shellFile + L".zv";
  ASSERT_TRUE(CopyFileW(shellFile.c_str(), saved.c_str(), FALSE));  // the prefix's own, put back below
  PROCESS_INFORMATION& windowsShell = Start(windows, L"explorer.exe");
  PROCESS_INFORMATION& host = Start(L"C:\\WINDOWS\\Temp", L"svchost.exe");
  PROCESS_INFORMATION& shell = Start(L"Explorer.EXE");
  WriteList("svchost.exe\r\nexplorer.exe\r\n");
  checksupport::StandInPrompt prompt(std::vector<std::wstring>(genuine.size() + 3, L"CLEAN"));
  ModuleProcess::CheckMemory();
  EXPECT_TRUE(testsupport::WaitFor([&] { return !Alive(host) && !Alive(shell); }));
  for (const Processes::Entry& entry : genuine) EXPECT_TRUE(StillRuns(entry.id)) << Text::ToAnsi(entry.image);
  EXPECT_TRUE(Alive(windowsShell));
  std::vector<std::wstring> lines = Lines();
  ASSERT_EQ(genuine.size() + 3, lines.size());
  const std::wstring head = L"(P)：内存中发现可疑程序，可能是木马! -> ";
  size_t cleaned = 0;
  for (const std::wstring& line : lines) {
    bool done = line == head + L"svchost. 已清除!" || line == head + L"Explorer. 已清除!";
    cleaned += done;
    EXPECT_TRUE(done || line == head + L"svchost. 清除失败!" || line == head + L"explorer. 清除失败!") << line.size();
  }
  EXPECT_EQ(2u, cleaned);
  testsupport::EndProcess(windowsShell);
  EXPECT_TRUE(MoveFileExW(saved.c_str(), shellFile.c_str(), MOVEFILE_REPLACE_EXISTING));
}

TEST_F(Checks, MemoryCheckAllowWritesNothingAndListBeyondTheBoundIsIgnored) {
  PROCESS_INFORMATION& p = Start(L"boundary.exe");
  WriteList(std::string(32758, 'x') + "boundary.exe");  // the stem "boundary." ends at byte 32767
  Answerer allow({L"ALLOW"});
  ModuleProcess::CheckMemory();
  EXPECT_EQ(1u, allow.warnings.size());
  EXPECT_TRUE(Lines().empty());
  EXPECT_TRUE(Alive(p));
  WriteList(std::string(32759, 'x') + "boundary.exe");
  Answerer none({});
  ModuleProcess::CheckMemory();
  EXPECT_TRUE(none.warnings.empty());
  DeleteFileW((testsupport::TestFolder() + L"\\blkt.dat").c_str());
  ModuleProcess::CheckMemory();
  EXPECT_TRUE(none.warnings.empty());
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((testsupport::TestFolder() + L"\\blkt.dat").c_str()));
}

// A CLEAN the system refuses for lack of rights keeps its line; after the check one
// message names what needs an administrator. Nothing was changed, so nothing is backed up.
TEST_F(Checks, CleanRefusedForLackOfRightsAsksForAnAdministrator) {
  SetValue(Reg::LocalMachine, kRun, L"zvadmin", REG_SZ, std::string("C:\\WINDOWS\\zvadmin.exe", 23));
  checksupport::ReadOnlyKey locked(HKEY_LOCAL_MACHINE, kRun);
  const size_t backups = ModuleBackup::List().size();
  SettingsStore::Save(L"CheckShowReportAfterScan", L"0");
  Answerer answers({L"CLEAN"});
  SystemCheck::RunSystemCheck(FormMain::Get());
  locked.Restore();
  EXPECT_EQ(std::vector<std::wstring>{L"(RAR)：发现可疑程序，可能是木马! -> C:\\WINDOWS\\zvadmin.exe 清除失败!"},
            Lines());
  ASSERT_EQ(1u, answers.messages.size());
  EXPECT_EQ(0u, answers.messages[0].find(
                    L"下列项目需要管理员权限才能清除，这次没有清除：\r\n(RAR) C:\\WINDOWS\\zvadmin.exe\r\n"))
      << Text::ToAnsi(answers.messages[0]);
  EXPECT_NE(std::wstring::npos, answers.messages[0].find(L"以管理员身份运行"));
  EXPECT_EQ(backups, ModuleBackup::List().size());
  Reg::DeleteValue(Reg::LocalMachine, kRun, L"zvadmin");
}

// A further place holding what the eight checks asked about in this run is handled
// as answered there; a place of its own is asked about as usual.
TEST_F(Checks, AnEntryTheEightChecksAskedAboutIsNotAskedAgain) {
  const std::wstring runOnce = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
  const std::wstring both = L"C:\\WINDOWS\\Temp\\zv-both.exe", other = L"C:\\WINDOWS\\Temp\\zv-other.exe";
  SetCommand(L"zvboth", both);
  checksupport::SetValue(HKEY_CURRENT_USER, runOnce, L"zvboth", {REG_SZ, checksupport::WideBytes(both)});
  checksupport::SetValue(HKEY_CURRENT_USER, runOnce, L"zvother", {REG_SZ, checksupport::WideBytes(other)});
  SettingsStore::Save(L"CheckShowReportAfterScan", L"0");
  Answerer answers({L"CLEAN"});
  SystemCheck::RunSystemCheck(FormMain::Get());
  const std::wstring m = L"：发现可疑程序，可能是木马! -> ";
  EXPECT_EQ((std::vector<std::wstring>{L"警告(RAR)" + m + both, L"警告(RRO)" + m + other}), answers.warnings);
  EXPECT_EQ((std::vector<std::wstring>{L"(RAR)" + m + both + L" 已清除!", L"(RRO)" + m + both + L" 已清除!",
                                       L"(RRO)" + m + other + L" 跳过,未清除!"}),
            Lines());
  EXPECT_FALSE(HasValue(L"zvboth"));
  std::vector<Reg::Value> left;
  Reg::ReadValues(Reg::CurrentUser, runOnce, &left);
  ASSERT_EQ(1u, left.size());
  EXPECT_EQ(L"zvother", left[0].name);
  testsupport::DeleteTree(HKEY_CURRENT_USER, runOnce.c_str());
}

TEST_F(Checks, SecondSystemCheckCannotStartWhileOneRuns) {
  SetCommand(L"a", L"C:\\WINDOWS\\once.exe");
  SettingsStore::Save(L"CheckShowReportAfterScan", L"0");  // end without the modal report
  Answerer answers({L"SKIP"});
  bool nestedReturned = false;
  answers.onPrompt = [&] {
    SystemCheck::RunSystemCheck(FormMain::Get());  // "查杀" pressed again while the prompt is open
    nestedReturned = true;
  };
  SystemCheck::RunSystemCheck(FormMain::Get());
  EXPECT_TRUE(nestedReturned);
  EXPECT_EQ(1u, answers.warnings.size());
  EXPECT_FALSE(SystemCheck::Running());
  EXPECT_EQ(1u, Lines().size());
}

TEST_F(Checks, NameStems) {
  EXPECT_EQ(L"Explorer.", ModuleProcess::NameStem(L"Explorer.EXE"));
  EXPECT_EQ(L"a.", ModuleProcess::NameStem(L"a.b.exe"));
  EXPECT_EQ(L"系统进程", ModuleProcess::NameStem(L"System"));
}

// The file a command starts, found as Windows finds it.
TEST_F(Checks, ProgramFileOfACommand) {
  const std::wstring folder = L"C:\\sandbox\\Space Dir";
  CreateDirectoryW(kSandbox, nullptr);
  CreateDirectoryW(folder.c_str(), nullptr);
  testsupport::WriteFileBytes(folder + L"\\prog.exe", "MZ");
  testsupport::WriteFileBytes(folder + L"\\tool.com", "MZ");
  wchar_t drive[MAX_PATH] = {}, shortName[MAX_PATH] = {};
  GetEnvironmentVariableW(L"SystemDrive", drive, MAX_PATH);
  ASSERT_NE(0u, GetShortPathNameW((folder + L"\\prog.exe").c_str(), shortName, MAX_PATH));
  struct Case {
    std::wstring command, file;  // compared as the file system does, letter case aside
  } cases[] = {
      {L"\"C:\\sandbox\\Space Dir\\prog.exe\" /s", folder + L"\\prog.exe"},
      {L"\"C:\\WINDOWS\\unclosed.exe", L"C:\\WINDOWS\\unclosed.exe"},
      {L"C:\\sandbox\\Space Dir\\prog.exe /s x", folder + L"\\prog.exe"},  // the first prefix that exists
      {L"C:\\sandbox\\Space Dir\\prog /s", folder + L"\\prog.exe"},        // ".exe" tried, as CreateProcess does
      {L"C:\\sandbox\\Space Dir\\tool.com", folder + L"\\tool.com"},
      {L"C:\\sandbox\\Missing Dir\\x.exe /s", L"C:\\sandbox\\Missing.exe"},  // none exists: up to the first space
      {L"C:\\WINDOWS\\rundll32.exe C:\\x\\y.dll,Run", L"C:\\WINDOWS\\rundll32.exe"},
      {L"  C:\\WINDOWS\\e", L"C:\\WINDOWS\\e.exe"},
      {L"C:/WINDOWS/slash.exe", L"C:\\WINDOWS\\slash.exe"},
      {L"%SystemDrive%\\WINDOWS\\env", std::wstring(drive) + L"\\WINDOWS\\env.exe"},
      {L"C:\\sandbox\\.\\x\\..\\Space Dir\\prog.exe", folder + L"\\prog.exe"},  // as Windows resolves it
      {shortName, folder + L"\\prog.exe"},                                      // the short name in its long form
      {L"e.exe -x", L"e.exe"},
      {L"C:\\WINDOWS\\", L""},
      {L"\"\" /s", L""},
      {L"", L""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Text::Upper(c.file), Text::Upper(ModuleProcess::ProgramFile(c.command)))
        << testing::PrintToString(c.command);
}

TEST_F(Checks, ShippedListFlagsNoProcessOfACleanSystem) {
  std::string shipped = testsupport::ReadFileBytes(testsupport::TestFolder() + L"\\shipped-blkt.dat");
  ASSERT_FALSE(shipped.empty());
  std::wstring list = Text::Upper(Text::FromAnsi(shipped.substr(0, 32767)));
  const wchar_t* const clean[] = {L"System",         L"smss.exe",          L"csrss.exe",
                                  L"wininit.exe",    L"winlogon.exe",      L"services.exe",
                                  L"lsass.exe",      L"svchost.exe",       L"explorer.exe",
                                  L"spoolsv.exe",    L"taskhost.exe",      L"taskhostw.exe",
                                  L"dwm.exe",        L"conhost.exe",       L"ctfmon.exe",
                                  L"rundll32.exe",   L"userinit.exe",      L"dllhost.exe",
                                  L"sihost.exe",     L"RuntimeBroker.exe", L"SearchIndexer.exe",
                                  L"audiodg.exe",    L"msiexec.exe",       L"[System Process]",
                                  L"Quorrel2006.exe"};
  for (const wchar_t* image : clean)
    EXPECT_EQ(std::wstring::npos, list.find(Text::Upper(ModuleProcess::NameStem(image)))) << Text::ToAnsi(image);
  std::vector<Processes::Entry> running;
  ASSERT_TRUE(Processes::Snapshot(&running));
  for (const auto& entry : running)
    EXPECT_EQ(std::wstring::npos, list.find(Text::Upper(ModuleProcess::NameStem(entry.image))))
        << Text::ToAnsi(entry.image);
}

// The cycle every check shares, answered through the prompt's stand-in: what each
// answer does and which subject its line shows.
TEST_F(Checks, EachAnswerWritesItsLineWithItsSubject) {
  static std::wstring answer;
  static std::vector<std::wstring> asked;
  asked.clear();
  Detection::Prompt = [](const std::wstring& warning) {
    asked.push_back(warning);
    return answer;
  };
  struct Case {
    const wchar_t* answer;
    bool removes;
    const wchar_t* line;  // empty: no line
  } cases[] = {
      {L"CLEAN", true, L"(RFU)：发现可疑程序，可能是木马! -> evil.exe 已清除!"},
      {L"CLEAN", false, L"(RFU)：发现可疑程序，可能是木马! -> evil.exe 清除失败!"},
      {L"SKIP", true, L"(RFU)：发现可疑程序，可能是木马! -> C:\\WINDOWS\\evil.exe 跳过,未清除!"},
      {L"NONE", true, L""},
      {L"ALLOW", true, L"(RFU)：发现可疑程序，可能是木马! -> C:\\WINDOWS\\evil.exe 信任,未清除!"},
  };
  for (const Case& c : cases) {
    FormReport::Unload();
    answer = c.answer;
    Detection::Finding finding;
    finding.tag = L"RFU";
    finding.message = Detection::kMessage;
    finding.subject = L"C:\\WINDOWS\\evil.exe";
    finding.cleanedSubject = L"evil.exe";
    finding.keepsTrustList = true;
    bool removes = c.removes;
    finding.clean = [removes] { return removes; };
    Detection::Handle(finding);
    std::vector<std::wstring> expected;
    if (*c.line) expected.push_back(c.line);
    EXPECT_EQ(expected, Lines()) << testing::PrintToString(c.answer);
    EXPECT_EQ(L"NONE", Detection::UserChoice);
  }
  EXPECT_EQ(L"警告(RFU)：发现可疑程序，可能是木马! -> C:\\WINDOWS\\evil.exe", asked.at(0));
  EXPECT_TRUE(TrustList::IsTrusted(L"C:\\WINDOWS\\evil.exe"));
  size_t before = asked.size();
  FormReport::Unload();
  Detection::Handle({L"RFU", Detection::kMessage, L"C:\\WINDOWS\\evil.exe", L"", L"", true, nullptr, {}});
  EXPECT_EQ(before, asked.size()) << "a trusted subject is not asked about";
  EXPECT_TRUE(Lines().empty());
}

// Stores a REG_SZ value under a counted name, as the native call allows: a NUL
// inside the name is kept, where every Reg* call would cut the name short.
void SetCountedName(const std::wstring& name, const std::wstring& text) {
  struct CountedName {
    USHORT length, capacity;
    const wchar_t* text;
  };
  using SetValueKey = LONG(WINAPI*)(HANDLE, const CountedName*, ULONG, ULONG, const void*, ULONG);
  auto set = reinterpret_cast<SetValueKey>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtSetValueKey")));
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(HKEY_CURRENT_USER, kRun, &key));
  CountedName counted = {(USHORT)(name.size() * 2), (USHORT)(name.size() * 2), name.data()};
  EXPECT_EQ(0, set(key, &counted, 0, REG_SZ, text.c_str(), (ULONG)(text.size() + 1) * 2));
  RegCloseKey(key);
}

bool HasExactValue(const std::wstring& name) {
  std::vector<Reg::Value> values;
  Reg::ReadValues(Reg::CurrentUser, kRun, &values);
  for (const Reg::Value& value : values)
    if (value.name == name) return true;
  return false;
}

// A look-alike name beside the real one: CLEAN removes exactly the value shown,
// never its neighbour.
TEST_F(Checks, CleanRemovesExactlyTheValueShown) {
  struct Pair {
    std::wstring evil, legit;
  } pairs[] = {
      {std::wstring(L"upd\0x", 5), L"upd"},  // a NUL inside the name hides the rest from the Reg* calls
      {L"upd\u0915", L"upd?"},               // a letter outside the code page would read as "?"
  };
  for (const Pair& pair : pairs) {
    testsupport::DeleteTree(HKEY_CURRENT_USER, kRun);
    FormReport::Unload();
    SetCountedName(pair.evil, L"C:\\WINDOWS\\evil.exe");
    SetCommand(pair.legit, L"C:\\Program Files\\legit.exe");
    Answerer answers({L"CLEAN"});
    ModuleAutoRun::CheckRunKeys();
    EXPECT_EQ(std::vector<std::wstring>{L"(RAR)：发现可疑程序，可能是木马! -> C:\\WINDOWS\\evil.exe 已清除!"}, Lines());
    EXPECT_FALSE(HasExactValue(pair.evil));
    EXPECT_TRUE(HasExactValue(pair.legit));
  }
}

// What the user decided on is what is removed: a value changed or gone while the
// prompt waited is left alone, and the line says the cleaning failed.
TEST_F(Checks, CleanOfAValueChangedWhileThePromptWaitsRemovesNothing) {
  struct Change {
    const char* what;
    std::function<void()> act;
    bool remains;
  } changes[] = {
      {"data", [] { SetCommand(L"v", L"C:\\WINDOWS\\other.exe"); }, true},
      {"type", [] { SetValue(Reg::CurrentUser, kRun, L"v", REG_EXPAND_SZ, std::string("C:\\WINDOWS\\v.exe", 17)); },
       true},
      {"removed", [] { Reg::DeleteValue(Reg::CurrentUser, kRun, L"v"); }, false},
  };
  for (const Change& change : changes) {
    FormReport::Unload();
    SetCommand(L"v", L"C:\\WINDOWS\\v.exe");
    Answerer answers({L"CLEAN"});
    answers.onPrompt = change.act;
    ModuleAutoRun::CheckRunKeys();
    EXPECT_EQ(1u, answers.warnings.size()) << change.what;
    EXPECT_EQ(std::vector<std::wstring>{L"(RAR)：发现可疑程序，可能是木马! -> C:\\WINDOWS\\v.exe 清除失败!"}, Lines())
        << change.what;
    EXPECT_EQ(change.remains, HasValue(L"v")) << change.what;
    testsupport::DeleteTree(HKEY_CURRENT_USER, kRun);
  }
}

// Each subject is shown as stored and trusted as stored: a trusted value is not
// asked again, and a look-alike of it still is.
TEST_F(Checks, TrustedSubjectsRoundTripExactly) {
  struct Case {
    const char* what;
    std::wstring command, lookAlike;  // the look-alike must still be asked about
  } cases[] = {
      {"best-fit letter", L"C:\\WINDOWS\\\u00AApp.exe", L"C:\\WINDOWS\\app.exe"},
      {"outside the code page", L"C:\\WINDOWS\\upd\u0905.exe", L"C:\\WINDOWS\\upd?.exe"},
      {"line break", L"C:\\WINDOWS\\x.exe\r\nC:\\WINDOWS\\y.exe", L"C:\\WINDOWS\\y.exe"},
      {"a megabyte", L"C:\\WINDOWS\\" + std::wstring(500000, L'm') + L".exe", L"C:\\WINDOWS\\m.exe"},
  };
  for (const Case& c : cases) {
    testsupport::DeleteTree(HKEY_CURRENT_USER, kRun);
    DeleteFileW(TrustList::Path().c_str());
    FormReport::Unload();
    SetCommand(L"trusted", c.command);
    Answerer first({L"ALLOW"});
    ModuleAutoRun::CheckRunKeys();
    ASSERT_EQ(1u, first.warnings.size()) << c.what;
    const std::wstring head = L"警告(RAR)：发现可疑程序，可能是木马! -> ";
    if (c.command.size() < 100) {
      EXPECT_EQ(head + c.command, first.warnings[0]) << c.what;
    } else {
      EXPECT_NE(std::wstring::npos,
                first.warnings[0].find(L"（共 " + std::to_wstring(head.size() + c.command.size()) + L" 个字符）"))
          << c.what;
    }
    EXPECT_EQ(
        std::wstring(FormReport::kHeader) + L"\r\n(RAR)：发现可疑程序，可能是木马! -> " + c.command + L" 信任,未清除!",
        Report())
        << c.what;
    SetCommand(L"twin", c.lookAlike);
    Answerer second({L"SKIP"});
    ModuleAutoRun::CheckRunKeys();
    EXPECT_EQ(std::vector<std::wstring>{head + c.lookAlike}, second.warnings) << c.what;
  }
}

// A trust the list cannot store is not reported as stored: the line says so, the
// user is told why, and the next check asks again.
TEST_F(Checks, TrustThatCannotBeStoredIsReportedAsFailed) {
  CreateDirectoryW(TrustList::Path().c_str(), nullptr);  // a folder where the list should be
  SetCommand(L"v", L"C:\\WINDOWS\\v.exe");
  Answerer first({L"ALLOW"});
  ModuleAutoRun::CheckRunKeys();
  EXPECT_EQ(std::vector<std::wstring>{L"(RAR)：发现可疑程序，可能是木马! -> C:\\WINDOWS\\v.exe 信任失败,未清除!"},
            Lines());
  ASSERT_EQ(1u, first.messages.size());
  EXPECT_EQ(0u, first.messages[0].find(L"无法写入信任列表（错误 ")) << first.messages[0];
  Answerer second({L"SKIP"});
  ModuleAutoRun::CheckRunKeys();
  EXPECT_EQ(1u, second.warnings.size());
  RemoveDirectoryW(TrustList::Path().c_str());
}

}  // namespace
