// Start with Windows: the user's own logon task (or, without a Task Scheduler, the
// user's Run value), governed by CheckAutoRun; the machine's old Run values of
// this copy go either way, and nothing of another user or another copy is touched.
#include <windows.h>

#include <gtest/gtest.h>
#include <sddl.h>
#include <string>
#include <vector>

#include "common/SettingsStore.h"
#include "frame/ModuleSetAutoRun.h"
#include "platform/System.h"
#include "platform/Tasks.h"
#include "platform/Text.h"
#include "tests/unit/CheckSupport.h"
#include "tests/unit/TestSupport.h"

namespace {

using ModuleSetAutoRun::Failed;

const wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kOtherSid[] = L"S-1-5-21-9-9-9-1001";
// Where the scheduler keeps its tasks, one file each, named as the task.
const wchar_t kTasks[] = L"C:\\windows\\system32\\tasks\\";
const wchar_t kSchedulerServer[] = L"CLSID\\{0F87369F-A4E5-4CFC-BD3E-73E6154572DD}\\InprocServer32";

struct Found {
  bool present = false;
  DWORD type = 0;
  std::wstring text;
};

Found RunValue(HKEY root, const wchar_t* name = L"Quorrel", const std::wstring& path = kRun) {
  Found found;
  wchar_t data[1024] = {};
  DWORD size = sizeof data - sizeof(wchar_t);
  HKEY key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return found;
  found.present = RegQueryValueExW(key, name, nullptr, &found.type, (BYTE*)data, &size) == ERROR_SUCCESS;
  RegCloseKey(key);
  found.text = data;
  return found;
}

void SetRunValue(HKEY root, const std::wstring& text, const wchar_t* name = L"Quorrel",
                 const std::wstring& path = kRun) {
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(root, path.c_str(), &key));
  RegSetValueExW(key, name, 0, REG_SZ, (const BYTE*)text.c_str(), (DWORD)((text.size() + 1) * 2));
  RegCloseKey(key);
}

void DeleteRunValue(HKEY root, const wchar_t* name = L"Quorrel") {
  HKEY key;
  if (RegOpenKeyExW(root, kRun, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
  RegDeleteValueW(key, name);
  RegCloseKey(key);
}

bool TaskFilePresent(const std::wstring& name) {
  return GetFileAttributesW((kTasks + name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring UserTask() { return ModuleSetAutoRun::UserTaskName(System::CurrentUserSid()); }

// The setup's task for every user: any user's logon, the Users group, this action.
std::wstring AllUsersXml(const std::wstring& command) {
  return L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>"
         L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">"
         L"<Triggers><LogonTrigger><Enabled>true</Enabled></LogonTrigger></Triggers>"
         L"<Principals><Principal id=\"Author\"><GroupId>S-1-5-32-545</GroupId>"
         L"<RunLevel>HighestAvailable</RunLevel></Principal></Principals>"
         L"<Actions Context=\"Author\"><Exec><Command>" +
         command + L"</Command><Arguments>/logon</Arguments></Exec></Actions></Task>";
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

// The Task Scheduler's class unregistered, as on a Windows before Vista; it comes back.
class NoScheduler {
 public:
  NoScheduler() {
    Found server = RunValue(HKEY_CLASSES_ROOT, L"", kSchedulerServer);
    if (!server.present) return;
    saved_ = server.text;
    HKEY key;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, kSchedulerServer, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) return;
    RegDeleteValueW(key, nullptr);
    RegCloseKey(key);
  }
  ~NoScheduler() {
    if (!saved_.empty()) SetRunValue(HKEY_CLASSES_ROOT, saved_, L"", kSchedulerServer);
  }

 private:
  std::wstring saved_;
};

class AutoRun : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!InCopy()) Clean();
  }
  void TearDown() override {
    if (InCopy()) return;
    Clean();
    DeleteRunValue(HKEY_LOCAL_MACHINE, L"Other");
    DeleteRunValue(HKEY_CURRENT_USER, L"Other");
  }
  static void Clean() {
    testsupport::DeleteTree(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\57302");
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) DeleteRunValue(root);
    for (const std::wstring& task : {UserTask(), std::wstring(ModuleSetAutoRun::kAllUsersTask)}) Tasks::Delete(task);
  }
  // The copy started by the test of a folder with spaces leaves the registry as its starter set it.
  static bool InCopy() {
    return std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()).rfind("DISABLED_", 0) == 0;
  }
  static void Option(const wchar_t* value) { SettingsStore::Save(SettingsStore::kCheckAutoRun, value); }
  static std::wstring Ours() { return ModuleSetAutoRun::RunCommand(System::ProgramFolder()); }
  static void ExpectDone(const ModuleSetAutoRun::Result& result) {
    EXPECT_EQ(Failed::Nothing, result.what);
    EXPECT_EQ(0u, result.code);
  }
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

// What the scheduler is given (Wine keeps no more of it than the task's name and
// settings in its file): this user's logon, this user's highest rights, the fixed
// program name in this folder, escaped for XML, and "/logon".
TEST_F(AutoRun, UserTaskStartsThisProgramAtThisUsersLogonWithHighestRights) {
  EXPECT_EQ(L"Quorrel-S-1-5-21-1-2-3-1000", ModuleSetAutoRun::UserTaskName(L"S-1-5-21-1-2-3-1000"));
  const std::wstring xml = ModuleSetAutoRun::UserTaskXml(L"C:\\A & B <x>", L"S-1-5-21-1-2-3-1000");
  const wchar_t* const parts[] = {
      L"<LogonTrigger><Enabled>true</Enabled><UserId>S-1-5-21-1-2-3-1000</UserId></LogonTrigger>",
      L"<Principal id=\"Author\"><UserId>S-1-5-21-1-2-3-1000</UserId><LogonType>InteractiveToken</LogonType>"
      L"<RunLevel>HighestAvailable</RunLevel></Principal>",
      L"<MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>",
      L"<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>",
      L"<StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>",
      L"<ExecutionTimeLimit>PT0S</ExecutionTimeLimit>",
      L"<Actions Context=\"Author\"><Exec><Command>C:\\A &amp; B &lt;x&gt;\\Quorrel2006.exe</Command>"
      L"<Arguments>/logon</Arguments></Exec></Actions>",
  };
  for (const wchar_t* part : parts) EXPECT_NE(std::wstring::npos, xml.find(part)) << Text::ToAnsi(part);
}

TEST_F(AutoRun, StartsProgramInComparesTheWholeProgramPath) {
  const std::wstring folder = L"C:\\Program Files\\Zorvane";
  struct Case {
    const wchar_t* path;
    bool ours;
  } cases[] = {
      {L"\"C:\\Program Files\\Zorvane\\Quorrel2006.exe\"", true},  // as the setup writes it
      {L"C:\\Program Files\\Zorvane\\Quorrel2006.exe", true},
      {L"c:\\program files\\zorvane\\QUORREL2006.EXE", true},
      {L"\"C:\\Other\\Quorrel2006.exe\"", false},
      {L"C:\\Program Files\\Zorvane\\sub\\Quorrel2006.exe", false},
      {L"C:\\Program Files\\Zorvane\\Other.exe", false},
      {L"Quorrel2006.exe", false},
      {L"", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.ours, ModuleSetAutoRun::StartsProgramIn(c.path, folder)) << Text::ToAnsi(c.path);
}

// The machine's value did nothing for a program that asks for elevation, and
// started it for every user whatever their option: it goes, on and off alike.
TEST_F(AutoRun, OptionOnMakesTheUsersTaskAndRemovesTheMachineEntry) {
  ASSERT_EQ(std::wstring::npos, testsupport::TestFolder().find(L"Quorrel2006"));  // the fixed name, not ours
  Option(L"1");
  SetRunValue(HKEY_LOCAL_MACHINE, Ours());
  SetRunValue(HKEY_LOCAL_MACHINE, L"\"C:\\Other Copy\\Quorrel2006.exe\"", L"Other");
  SetRunValue(HKEY_CURRENT_USER, Ours());  // an earlier start without the scheduler: Windows would start it twice
  ExpectDone(ModuleSetAutoRun::SetAutoRun());
  EXPECT_TRUE(TaskFilePresent(UserTask()));
  EXPECT_FALSE(RunValue(HKEY_LOCAL_MACHINE).present);
  EXPECT_FALSE(RunValue(HKEY_CURRENT_USER).present);
  EXPECT_TRUE(RunValue(HKEY_LOCAL_MACHINE, L"Other").present);
  ExpectDone(ModuleSetAutoRun::SetAutoRun());  // a later start replaces the task
  EXPECT_TRUE(TaskFilePresent(UserTask()));

  Option(L"0");
  ExpectDone(ModuleSetAutoRun::SetAutoRun());
  EXPECT_FALSE(TaskFilePresent(UserTask()));
  ExpectDone(ModuleSetAutoRun::SetAutoRun());  // nothing left to remove is no failure
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
  for (const Case& c : cases) {
    Option(L"1");
    ModuleSetAutoRun::SetAutoRun();
    ASSERT_TRUE(TaskFilePresent(UserTask()));
    Option(L"0");
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) SetRunValue(root, c.text);
    SetRunValue(HKEY_CURRENT_USER, Ours(), L"Other");  // ours, but not under our name
    ExpectDone(ModuleSetAutoRun::SetAutoRun());
    EXPECT_FALSE(TaskFilePresent(UserTask())) << c.what;
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
    Option(L"1");
    ModuleSetAutoRun::SetAutoRun();
    ASSERT_TRUE(TaskFilePresent(UserTask()));
    Option(value);
    ModuleSetAutoRun::SetAutoRun();
    EXPECT_FALSE(TaskFilePresent(UserTask())) << Text::ToAnsi(value);
  }
}

// A user without administrative rights cannot remove the machine's value: that
// is passed over in silence, and the user's own start is made all the same.
TEST_F(AutoRun, RefusedMachineKeyIsPassedOverInSilence) {
  SetRunValue(HKEY_LOCAL_MACHINE, Ours());
  {
    RefusingMachineRunKey refusing;
    ASSERT_TRUE(refusing.Applied());
    HKEY key;
    ASSERT_EQ(ERROR_ACCESS_DENIED, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRun, 0, KEY_SET_VALUE, &key));
    for (const wchar_t* value : {L"1", L"0"}) {
      Option(value);
      ExpectDone(ModuleSetAutoRun::SetAutoRun());
      EXPECT_EQ(value[0] == L'1', TaskFilePresent(UserTask()));
      EXPECT_EQ(Ours(), RunValue(HKEY_LOCAL_MACHINE).text);
    }
  }
  ModuleSetAutoRun::SetAutoRun();  // an administrator's start
  EXPECT_FALSE(RunValue(HKEY_LOCAL_MACHINE).present);
}

// Two users of one machine: this user's choice, either way, leaves the other
// user's task and Run value of this same copy as they are.
TEST_F(AutoRun, TwoUsersKeepTheirOwnEntries) {
  const std::wstring otherTask = ModuleSetAutoRun::UserTaskName(kOtherSid);
  const std::wstring otherRun = std::wstring(kOtherSid) + L"\\" + kRun;
  ASSERT_EQ(Tasks::Ok, Tasks::Register(otherTask, ModuleSetAutoRun::UserTaskXml(System::ProgramFolder(), kOtherSid)));
  SetRunValue(HKEY_USERS, Ours(), L"Quorrel", otherRun);
  ASSERT_TRUE(TaskFilePresent(otherTask));
  for (const wchar_t* value : {L"1", L"0", L"1"}) {
    Option(value);
    ExpectDone(ModuleSetAutoRun::SetAutoRun());
    EXPECT_EQ(value[0] == L'1', TaskFilePresent(UserTask()));
    EXPECT_TRUE(TaskFilePresent(otherTask)) << Text::ToAnsi(value);
    EXPECT_EQ(Ours(), RunValue(HKEY_USERS, L"Quorrel", otherRun).text) << Text::ToAnsi(value);
  }
  Tasks::Delete(otherTask);
  testsupport::DeleteTree(HKEY_USERS, kOtherSid);
}

// The setup's task for every user starts another copy: this copy still needs the
// user's own. (That the setup's task for this copy makes the user's own needless
// rests on reading its program, which Wine does not keep: see StartsProgramIn.)
TEST_F(AutoRun, AllUsersTaskOfAnotherCopyLeavesTheUserTheirOwn) {
  ASSERT_EQ(Tasks::Ok,
            Tasks::Register(ModuleSetAutoRun::kAllUsersTask, AllUsersXml(L"\"C:\\Other\\Quorrel2006.exe\"")));
  Option(L"1");
  ExpectDone(ModuleSetAutoRun::SetAutoRun());
  EXPECT_TRUE(TaskFilePresent(UserTask()));
  EXPECT_TRUE(TaskFilePresent(ModuleSetAutoRun::kAllUsersTask));
  Option(L"0");
  ExpectDone(ModuleSetAutoRun::SetAutoRun());
  EXPECT_TRUE(TaskFilePresent(ModuleSetAutoRun::kAllUsersTask));  // the setup's, never the program's
}

// A task the scheduler refuses to write (a folder stands where its file goes):
// the start is not made, and the result says so with the scheduler's code.
TEST_F(AutoRun, ARefusedTaskIsReportedWithTheSystemsCode) {
  const std::wstring blocker = kTasks + UserTask();
  ASSERT_TRUE(CreateDirectoryW(blocker.c_str(), nullptr));
  Option(L"1");
  ModuleSetAutoRun::Result result = ModuleSetAutoRun::SetAutoRun();
  RemoveDirectoryW(blocker.c_str());
  EXPECT_EQ(Failed::Setting, result.what);
  EXPECT_EQ(0x80070005u, result.code);  // E_ACCESSDENIED
  EXPECT_FALSE(System::ErrorText(result.code).empty());
}

// Without a Task Scheduler the user's own Run value stands in; a Run key the
// user may not change is reported, on and off, with the registry's code.
TEST_F(AutoRun, WithoutTheSchedulerTheUsersRunValueStandsIn) {
  NoScheduler none;
  ASSERT_NE(Tasks::Ok, Tasks::Available());
  Option(L"1");
  SetRunValue(HKEY_LOCAL_MACHINE, Ours());
  ExpectDone(ModuleSetAutoRun::SetAutoRun());
  Found user = RunValue(HKEY_CURRENT_USER);
  EXPECT_EQ((DWORD)REG_SZ, user.type);
  EXPECT_EQ(Ours(), user.text);
  EXPECT_FALSE(RunValue(HKEY_LOCAL_MACHINE).present);
  EXPECT_FALSE(TaskFilePresent(UserTask()));

  checksupport::ReadOnlyKey lockedOff(HKEY_CURRENT_USER, kRun);
  Option(L"0");
  ModuleSetAutoRun::Result result = ModuleSetAutoRun::SetAutoRun();
  lockedOff.Restore();
  EXPECT_EQ(Failed::Removing, result.what);
  EXPECT_EQ((unsigned long)ERROR_ACCESS_DENIED, result.code);
  EXPECT_EQ(Ours(), RunValue(HKEY_CURRENT_USER).text);
  ExpectDone(ModuleSetAutoRun::SetAutoRun());
  EXPECT_FALSE(RunValue(HKEY_CURRENT_USER).present);

  checksupport::ReadOnlyKey lockedOn(HKEY_CURRENT_USER, kRun);
  Option(L"1");
  result = ModuleSetAutoRun::SetAutoRun();
  lockedOn.Restore();
  EXPECT_EQ(Failed::Setting, result.what);
  EXPECT_EQ((unsigned long)ERROR_ACCESS_DENIED, result.code);
  EXPECT_FALSE(RunValue(HKEY_CURRENT_USER).present);
}

// A copy of this test program, started from a folder with spaces under another
// name, enters itself where there is no scheduler: the real program folder
// reaches the user's Run value in quotes.
TEST_F(AutoRun, ProgramStartedFromAFolderWithSpacesIsEnteredQuoted) {
  const std::wstring folder = L"C:\\Program Files\\Zorvane Copy";
  CreateDirectoryW(L"C:\\Program Files", nullptr);
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring copy = folder + L"\\renamed copy.exe";
  ASSERT_TRUE(CopyFileW((testsupport::TestFolder() + L"\\unit_tests.exe").c_str(), copy.c_str(), FALSE));
  NoScheduler none;
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
  EXPECT_EQ(L"\"C:\\Program Files\\Zorvane Copy\\Quorrel2006.exe\"", RunValue(HKEY_CURRENT_USER).text);
  DeleteFileW(copy.c_str());
  RemoveDirectoryW(folder.c_str());
}

// Run only by the test above, in the copy it starts.
TEST_F(AutoRun, DISABLED_EnterThisProgram) { EXPECT_EQ(Failed::Nothing, ModuleSetAutoRun::SetAutoRun().what); }

}  // namespace
