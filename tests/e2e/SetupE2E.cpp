// The release as an administrator deploys it: the setup program run silently in
// this test's prefix, the installed program started from its Start-menu shortcut,
// and the uninstaller run silently.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "tests/driver/UiDriver.h"

namespace {

#ifdef _WIN64
const wchar_t kSetup[] = L"C:\\test\\Zorvane-3.3-setup.exe";
#else
const wchar_t kSetup[] = L"C:\\test\\Zorvane-3.3-setup-x86.exe";
#endif
const wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zorvane";
const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kSection[] = L"Software\\VB and VBA Program Settings\\57302\\quorrel2006";
const wchar_t* const kShippedFiles[] = {L"Quorrel2006.exe", L"sk.bmp",         L"bf.wav",       L"Alert.wav",
                                        L"blkt.dat",        L"help\\help.htm", L"Uninstall.exe"};
const wchar_t* const kShortcuts[] = {L"Zorvane.lnk", L"使用帮助.lnk", L"卸载 Zorvane.lnk"};
const wchar_t kAllUsersTask[] = L"Quorrel-AllUsers";
constexpr DWORD kLong = 120000;

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring KnownFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

// The scheduler keeps each task of its root folder as a file named as the task.
std::wstring TaskFile(const std::wstring& name) { return KnownFolder(CSIDL_SYSTEM) + L"\\Tasks\\" + name; }

std::string FileText(const std::wstring& path) {
  std::string text;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return text;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
  CloseHandle(file);
  return text;
}

std::wstring FileText16(const std::wstring& path) {
  std::string bytes = FileText(path);
  return std::wstring((const wchar_t*)bytes.data(), bytes.size() / sizeof(wchar_t));
}

// A task file as Windows writes one: UTF-16 LE with its byte-order mark.
void WriteTaskFile(const std::wstring& name, const std::wstring& command) {
  std::wstring xml =
      L"\xFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
      L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n"
      L"  <Actions Context=\"Author\">\r\n    <Exec>\r\n      <Command>" +
      command +
      L"</Command>\r\n      <Arguments>/logon</Arguments>\r\n    </Exec>\r\n  </Actions>\r\n"
      L"</Task>\r\n";
  ui::WriteFileBytes(TaskFile(name), std::string((const char*)xml.data(), xml.size() * sizeof(wchar_t)));
}

// Whether the setup wrote anything into the settings of the account that ran it.
bool HasSettings() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kSection, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// Started as schtasks.exe (a test puts a copy of this program in the system's place),
// it keeps the task definition it is handed as C:\test\schtasks-<task name>.xml and
// answers success: what the setup asks the scheduler for, as Windows would take it.
bool StandInForSchtasks() {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const wchar_t* name = wcsrchr(self, L'\\');
  if (!name || lstrcmpiW(name, L"\\schtasks.exe") != 0) return false;
  int count = 0;
  LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
  std::wstring task, xml;
  for (int i = 1; args && i + 1 < count; ++i) {
    if (lstrcmpiW(args[i], L"/tn") == 0) task = args[i + 1];
    if (lstrcmpiW(args[i], L"/xml") == 0) xml = args[i + 1];
  }
  if (!task.empty() && !xml.empty()) CopyFileW(xml.c_str(), (L"C:\\test\\schtasks-" + task + L".xml").c_str(), FALSE);
  ExitProcess(0);
}
[[maybe_unused]] const bool kStandIn = StandInForSchtasks();

std::wstring MenuFolder() { return KnownFolder(CSIDL_COMMON_PROGRAMS) + L"\\Zorvane"; }

std::wstring Uninstall(const wchar_t* name, bool* found = nullptr) {
  return ui::RegText(HKEY_LOCAL_MACHINE, kUninstallKey, name, found);
}

bool Installed() {
  bool found = false;
  Uninstall(L"QuietUninstallString", &found);
  return found;
}

// A value in one registry view: KEY_WOW64_64KEY or KEY_WOW64_32KEY (on 32-bit Windows
// both reach its only registry).
std::wstring ViewText(REGSAM view, HKEY root, const std::wstring& path, const wchar_t* name, bool* found = nullptr) {
  if (found) *found = false;
  wchar_t data[1024] = {};
  DWORD size = sizeof data - sizeof(wchar_t);
  HKEY key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS) return {};
  LONG rc = RegQueryValueExW(key, name, nullptr, nullptr, (BYTE*)data, &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return {};
  if (found) *found = true;
  return data;
}

bool ViewHolds(REGSAM view, HKEY root, const std::wstring& path, const wchar_t* name) {
  bool found = false;
  ViewText(view, root, path, name, &found);
  return found;
}

void SetViewText(REGSAM view, HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text) {
  HKEY key;
  if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &key, nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExW(key, name, 0, REG_SZ, (const BYTE*)text.c_str(), (DWORD)(text.size() + 1) * sizeof(wchar_t));
  RegCloseKey(key);
}

DWORD Dword(const wchar_t* name) {
  DWORD value = 0, size = sizeof value;
  RegGetValueW(HKEY_LOCAL_MACHINE, kUninstallKey, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
  return value;
}

// Runs a command and waits for it; the exit code, or -1 when it did not start or end.
long RunAndWait(std::wstring command) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, L"C:\\", &startup, &process))
    return -1;
  DWORD code = (DWORD)-1;
  if (WaitForSingleObject(process.hProcess, kLong) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return (long)code;
}

// A silent setup; the programs-list entry's last value says it has finished.
long InstallSilently(const std::wstring& options) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    RegDeleteValueW(key, L"QuietUninstallString");
    RegCloseKey(key);
  }
  long code = RunAndWait(std::wstring(L"\"") + kSetup + L"\" /S " + options);
  if (code != 0) return code;
  EXPECT_TRUE(ui::WaitFor(Installed, kLong));
  return code;
}

// The uninstaller hands over to a copy of itself and returns at once: wait for its entry to go.
void UninstallSilently(const std::wstring& folder) {
  ASSERT_EQ(0, RunAndWait(L"\"" + folder + L"\\Uninstall.exe\" /S"));
  ASSERT_TRUE(ui::WaitFor([] { return !Installed(); }, kLong));
}

std::wstring ShortcutTarget(const std::wstring& link) {
  std::wstring target;
  IShellLinkW* shellLink = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, (void**)&shellLink)))
    return target;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, (void**)&file))) {
    wchar_t path[MAX_PATH] = {};
    if (SUCCEEDED(file->Load(link.c_str(), STGM_READ)) && SUCCEEDED(shellLink->GetPath(path, MAX_PATH, nullptr, 0)))
      target = path;
    file->Release();
  }
  shellLink->Release();
  return target;
}

void ExpectInstalledIn(const std::wstring& folder) {
  for (auto file : kShippedFiles) EXPECT_TRUE(Exists(folder + L"\\" + file)) << file;
  EXPECT_TRUE(Exists(folder + L"\\log"));
  for (auto link : kShortcuts) EXPECT_TRUE(Exists(MenuFolder() + L"\\" + link)) << link;
  EXPECT_EQ(L"Zorvane 3.3", Uninstall(L"DisplayName"));
  EXPECT_EQ(L"3.3", Uninstall(L"DisplayVersion"));
  EXPECT_EQ(L"Zorvane", Uninstall(L"Publisher"));
  EXPECT_EQ(folder + L"\\Quorrel2006.exe,0", Uninstall(L"DisplayIcon"));
  EXPECT_EQ(folder, Uninstall(L"InstallLocation"));
  EXPECT_EQ(L"\"" + folder + L"\\Uninstall.exe\"", Uninstall(L"UninstallString"));
  EXPECT_EQ(L"\"" + folder + L"\\Uninstall.exe\" /S", Uninstall(L"QuietUninstallString"));
  EXPECT_LT(0u, Dword(L"EstimatedSize"));
  EXPECT_EQ(1u, Dword(L"NoModify"));
  EXPECT_EQ(1u, Dword(L"NoRepair"));
#ifdef _WIN64
  // The 64-bit setup's entry is in the 64-bit registry only.
  EXPECT_EQ(folder, ViewText(KEY_WOW64_64KEY, HKEY_LOCAL_MACHINE, kUninstallKey, L"InstallLocation"));
  EXPECT_FALSE(ViewHolds(KEY_WOW64_32KEY, HKEY_LOCAL_MACHINE, kUninstallKey, L"InstallLocation"));
#endif
}

void WriteUserData(const std::wstring& folder) {
  CreateDirectoryW((folder + L"\\log").c_str(), nullptr);
  CreateDirectoryW((folder + L"\\backup").c_str(), nullptr);
  ui::WriteFileBytes(folder + L"\\Allow.dat", "C:\\trusted.exe\r\n");
  ui::WriteFileBytes(folder + L"\\log\\2026-01-01.log", "scan\r\n");
  ui::WriteFileBytes(folder + L"\\backup\\20260101-000000-001.bak", "backup\r\n");
}

void ExpectUserData(const std::wstring& folder) {
  EXPECT_TRUE(Exists(folder + L"\\Allow.dat"));
  EXPECT_TRUE(Exists(folder + L"\\log\\2026-01-01.log"));
  EXPECT_TRUE(Exists(folder + L"\\backup\\20260101-000000-001.bak"));
}

void RemoveTree(const std::wstring& folder) {
  std::wstring from = folder + L'\0';
  SHFILEOPSTRUCTW operation = {};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from.c_str();
  operation.fFlags = FOF_NO_UI;
  SHFileOperationW(&operation);
}

HWND StartFrom(ui::App& app, const std::wstring& folder) {
  app.folder = folder;
  if (!ui::Start(app)) return nullptr;
  return ui::WaitShown(L"Zorvane v3.3", 30000, app.process.dwProcessId);
}

class Release : public ::testing::Test {
 protected:
  void SetUp() override { CoInitialize(nullptr); }
  void TearDown() override {
    ui::Kill(app);
    CoUninitialize();
  }
  ui::App app;
};

class Setup : public Release {};
class Uninstaller : public Release {};
class Busy : public Release {};

TEST_F(Setup, SilentInstallGoesToProgramFilesAndTheProgramStartsFromItsShortcut) {
  ASSERT_EQ(0, InstallSilently(L"/AUTORUN=1"));
  std::wstring folder = KnownFolder(CSIDL_PROGRAM_FILES) + L"\\Zorvane";
  ExpectInstalledIn(folder);
  EXPECT_TRUE(Exists(TaskFile(kAllUsersTask)));
  EXPECT_FALSE(HasSettings());
  EXPECT_EQ(folder + L"\\help\\help.htm", ShortcutTarget(MenuFolder() + L"\\使用帮助.lnk"));

  std::wstring target = ShortcutTarget(MenuFolder() + L"\\Zorvane.lnk");
  ASSERT_EQ(folder + L"\\Quorrel2006.exe", target);
  HWND main = StartFrom(app, target.substr(0, target.rfind(L'\\')));
  ASSERT_NE(nullptr, main);
  PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_TRUE(ui::WaitExit(app, kLong));
}

TEST_F(Setup, SilentInstallGoesToTheFolderGivenWithD) {
  ASSERT_EQ(0, InstallSilently(L"/D=C:\\Apps\\Zorvane Deploy"));
  ExpectInstalledIn(L"C:\\Apps\\Zorvane Deploy");
}

// The box's state is the task's: a silent setup without /AUTORUN= keeps it. The
// account that runs the setup gets no settings: each user's program seeds its own.
TEST_F(Setup, AutoRunRegistersTheAllUsersLogonTaskAndZeroRemovesIt) {
  const struct {
    const wchar_t* options;
    bool registered;
  } steps[] = {{L"/AUTORUN=1", true}, {L"", true}, {L"/AUTORUN=0", false}, {L"", false}};
  ui::RegDeleteTree(HKEY_CURRENT_USER, kSection);  // an earlier case's program seeded them
  for (auto& step : steps) {
    SCOPED_TRACE(step.options);
    ASSERT_EQ(0, InstallSilently(step.options));
    EXPECT_EQ(step.registered, Exists(TaskFile(kAllUsersTask)));
  }
  EXPECT_FALSE(HasSettings());
}

// What the setup hands the scheduler (Wine's keeps only a definition's settings and
// drops its trigger, principal and action, so they are read before it takes them).
const wchar_t kWineOverrides[] = L"Software\\Wine\\DllOverrides";

// A silent setup with this program standing in for schtasks; the definition it was
// handed for the task, as UTF-16 text (empty when none).
std::wstring HandedOver(const std::wstring& options, const std::wstring& task, long* code) {
  const std::wstring schtasks = KnownFolder(CSIDL_SYSTEM) + L"\\schtasks.exe";
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  DeleteFileW((L"C:\\test\\schtasks-" + task + L".xml").c_str());
  if (!MoveFileW(schtasks.c_str(), (schtasks + L".real").c_str()) || !CopyFileW(self, schtasks.c_str(), FALSE)) {
    *code = -1;
    return {};
  }
  // Wine starts its own schtasks whatever the file is, unless told to take the file.
  ui::SetRegText(HKEY_CURRENT_USER, kWineOverrides, L"schtasks.exe", L"native");
  *code = InstallSilently(options);
  HKEY overrides;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kWineOverrides, 0, KEY_SET_VALUE, &overrides) == ERROR_SUCCESS) {
    RegDeleteValueW(overrides, L"schtasks.exe");
    RegCloseKey(overrides);
  }
  DeleteFileW(schtasks.c_str());
  MoveFileW((schtasks + L".real").c_str(), schtasks.c_str());
  return FileText16(L"C:\\test\\schtasks-" + task + L".xml");
}

TEST_F(Setup, TheLogonTaskStartsTheProgramAtEveryUsersLogonWithHighestRights) {
  // "&" is the one character of a folder's name that XML escapes.
  long code = 0;
  std::wstring xml = HandedOver(L"/AUTORUN=1 /D=C:\\Apps\\R&D Zorvane", kAllUsersTask, &code);
  ASSERT_EQ(0, code);
  ASSERT_FALSE(xml.empty());
  EXPECT_EQ(L'\xFEFF', xml[0]);
  const wchar_t* const parts[] = {L"<LogonTrigger>",
                                  L"<GroupId>S-1-5-32-545</GroupId>",
                                  L"<RunLevel>HighestAvailable</RunLevel>",
                                  L"<Command>\"C:\\Apps\\R&amp;D Zorvane\\Quorrel2006.exe\"</Command>",
                                  L"<Arguments>/logon</Arguments>",
                                  L"<ExecutionTimeLimit>PT0S</ExecutionTimeLimit>",
                                  L"<MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>",
                                  L"<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>",
                                  L"<StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>"};
  for (const wchar_t* part : parts) EXPECT_NE(std::wstring::npos, xml.find(part)) << part;
  EXPECT_EQ(std::wstring::npos, xml.find(L"<UserId>")) << "any user, not one";
}

const wchar_t kCheckTask[] = L"Zorvane-Check";
const wchar_t kEventSource[] = L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Zorvane";

// The scheduled check runs the program with no window as SYSTEM, daily or every
// Monday at noon, its report going into the log folder (named without a last
// backslash, which a command line would read as an escaped quote).
TEST_F(Setup, ScheduleHandsTheSchedulerADailyOrWeeklyCheckAsSystem) {
  const struct {
    const wchar_t* value;
    std::vector<const wchar_t*> parts;
  } schedules[] = {
      {L"DAILY", {L"<ScheduleByDay>", L"<DaysInterval>1</DaysInterval>"}},
      {L"weekly", {L"<ScheduleByWeek>", L"<WeeksInterval>1</WeeksInterval>", L"<DaysOfWeek>", L"<Monday />"}},
  };
  const wchar_t* const common[] = {
      L"<CalendarTrigger>",
      L"<StartBoundary>2026-01-01T12:00:00</StartBoundary>",
      L"<UserId>S-1-5-18</UserId>",
      L"<RunLevel>HighestAvailable</RunLevel>",
      L"<Command>\"C:\\Apps\\R&amp;D Zorvane\\Quorrel2006.exe\"</Command>",
      L"<Arguments>/check /report \"C:\\Apps\\R&amp;D Zorvane\\log\"</Arguments>",
      L"<StartWhenAvailable>true</StartWhenAvailable>",
      L"<MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>",
      L"<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>",
  };
  for (auto& schedule : schedules) {
    SCOPED_TRACE(schedule.value);
    long code = 0;
    std::wstring xml =
        HandedOver(std::wstring(L"/SCHEDULE=") + schedule.value + L" /D=C:\\Apps\\R&D Zorvane", kCheckTask, &code);
    ASSERT_EQ(0, code);
    ASSERT_FALSE(xml.empty());
    EXPECT_EQ(L'\xFEFF', xml[0]);
    for (const wchar_t* part : common) EXPECT_NE(std::wstring::npos, xml.find(part)) << part;
    for (const wchar_t* part : schedule.parts) EXPECT_NE(std::wstring::npos, xml.find(part)) << part;
    EXPECT_EQ(std::wstring::npos,
              xml.find(schedule.value == std::wstring(L"DAILY") ? L"<ScheduleByWeek>" : L"<ScheduleByDay>"));
  }
}

// Every setup says whether the machine keeps the scheduled check: without /SCHEDULE=
// an upgrade removes it, as /SCHEDULE=0 does. The uninstaller removes it and the event
// source with the program.
TEST_F(Setup, ScheduleRegistersTheCheckAndTheEventSourceGoesWithTheProgram) {
  const std::wstring folder = L"C:\\Apps\\Scheduled";
  const struct {
    const wchar_t* options;
    bool registered;
  } steps[] = {{L"/SCHEDULE=DAILY", true},
               {L"", true},  // an upgrade without the switch keeps what the administrator set up
               {L"/SCHEDULE=WEEKLY", true},
               {L"/SCHEDULE=0", false},
               {L"", false},
               {L"/SCHEDULE=DAILY", true}};
  for (auto& step : steps) {
    SCOPED_TRACE(step.options);
    ASSERT_EQ(0, InstallSilently(std::wstring(step.options) + L" /D=" + folder));
    EXPECT_EQ(step.registered, Exists(TaskFile(kCheckTask)));
  }
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEventSource, 0, KEY_READ, &key));
  wchar_t file[MAX_PATH] = {};
  DWORD type = 0, size = sizeof file - sizeof(wchar_t), types = 0, typesSize = sizeof types;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"EventMessageFile", nullptr, &type, (BYTE*)file, &size));
  EXPECT_EQ((DWORD)REG_EXPAND_SZ, type);
  EXPECT_EQ(folder + L"\\Quorrel2006.exe", file);
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"TypesSupported", nullptr, &type, (BYTE*)&types, &typesSize));
  EXPECT_EQ((DWORD)REG_DWORD, type);
  EXPECT_EQ(7u, types);
  RegCloseKey(key);

  UninstallSilently(folder);
  EXPECT_FALSE(Exists(TaskFile(kCheckTask)));
  EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, kEventSource, 0, KEY_READ, &key));
}

// A value the switch does not take ends a silent setup with its own code before
// anything is written, whatever else was asked for.
TEST_F(Setup, ABadScheduleIsRefusedBeforeAnythingIsInstalled) {
  for (const wchar_t* value : {L"HOURLY", L"", L"1", L"DAILYX"}) {
    SCOPED_TRACE(value);
    EXPECT_EQ(5, RunAndWait(std::wstring(L"\"") + kSetup + L"\" /S /SCHEDULE=" + value + L" /D=C:\\Apps\\Bad"));
    EXPECT_FALSE(Exists(L"C:\\Apps\\Bad\\Quorrel2006.exe"));
    EXPECT_FALSE(Installed());
    EXPECT_FALSE(Exists(TaskFile(kCheckTask)));
  }
}

// A folder holding files of anybody else is refused before anything is written (the
// uninstaller's data box would later delete in its log\ and backup\); what an
// uninstall that kept the user's data left, or an earlier installation, is taken.
TEST_F(Setup, SilentSetupRefusesAFolderHoldingOtherFiles) {
  const std::wstring folder = L"C:\\Apps\\Shared";
  const struct {
    const char* what;
    std::vector<const wchar_t*> files;
    bool accepted;
  } cases[] = {
      {"another program's log and backup", {L"log\\events.txt", L"backup\\settings.reg", L"tool.exe"}, false},
      {"the user's data and a file of somebody else",
       {L"Allow.dat", L"log\\2026-01-01.log", L"backup\\1.bak", L"readme.txt"},
       false},
      {"what an uninstall kept", {L"Allow.dat", L"log\\2026-01-01.log", L"backup\\1.bak", L"backup\\2.bak.~tmp"}, true},
      {"an earlier installation without its programs-list entry",
       {L"Quorrel2006.exe", L"Uninstall.exe", L"notes.txt"},
       true},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const wchar_t* file : c.files) {
      std::wstring path = folder + L"\\" + file;
      SHCreateDirectoryExW(nullptr, path.substr(0, path.rfind(L'\\')).c_str(), nullptr);
      ui::WriteFileBytes(path, "not the setup's");
    }
    EXPECT_EQ(c.accepted ? 0 : 2, InstallSilently(L"/D=" + folder));
    EXPECT_EQ(c.accepted, Installed());
    if (!c.accepted) {
      EXPECT_FALSE(Exists(folder + L"\\sk.bmp"));
    }
    for (const wchar_t* file : c.files) {
      std::wstring name(file);
      if (name == L"Quorrel2006.exe" || name == L"Uninstall.exe") continue;
      EXPECT_EQ("not the setup's", FileText(folder + L"\\" + file)) << file;
    }
    if (c.accepted) UninstallSilently(folder);
    RemoveTree(folder);
  }
}

// The wizard's folder page: Next on a folder holding somebody else's file says so and
// stays on the page, so Next says it again; nothing is installed.
TEST_F(Setup, TheWizardRefusesAFolderHoldingOtherFilesOnItsFolderPage) {
  const std::wstring folder = L"C:\\Apps\\Taken";
  SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  ui::WriteFileBytes(folder + L"\\tool.exe", "not the setup's");
  std::wstring command = std::wstring(L"\"") + kSetup + L"\" /D=" + folder;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION setup = {};
  ASSERT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, L"C:\\", &startup, &setup));
  const std::wstring refusal = L"所选文件夹中已有其他文件，请选择一个空文件夹：" + folder;
  HWND wizard = nullptr, box = nullptr, text = nullptr;
  EXPECT_TRUE(
      ui::WaitFor([&] { return (wizard = ui::TopWithChildText(setup.dwProcessId, folder)) != nullptr; }, kLong));
  for (int press = 0; wizard && press < 2; ++press) {
    SCOPED_TRACE(press);
    PostMessageW(wizard, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(ui::WaitFor(
        [&] { return (box = ui::TopWithChildText(setup.dwProcessId, L"所选文件夹中", &text)) != nullptr; }, kLong));
    EXPECT_EQ(refusal, ui::TextOf(text));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(ui::WaitFor([&] { return !IsWindow(box); }, kLong));
  }
  TerminateProcess(setup.hProcess, 0);
  WaitForSingleObject(setup.hProcess, kLong);
  CloseHandle(setup.hProcess);
  CloseHandle(setup.hThread);
  EXPECT_FALSE(Exists(folder + L"\\Quorrel2006.exe"));
  EXPECT_EQ("not the setup's", FileText(folder + L"\\tool.exe"));
}

TEST_F(Setup, UpgradeClosesTheRunningCopyAndKeepsTheUsersData) {
  const std::wstring folder = L"C:\\Apps\\Upgrade";
  ASSERT_EQ(0, InstallSilently(L"/D=" + folder));
  WriteUserData(folder);
  ui::WriteFileBytes(folder + L"\\help\\help.htm", "old");
  // After the program's first start, which seeds the user's settings.
  ASSERT_NE(nullptr, StartFrom(app, folder));
  ui::SetRegText(HKEY_CURRENT_USER, kSection, L"CheckSoundAlart", L"0");

  ASSERT_EQ(0, InstallSilently(L"/D=" + folder));
  EXPECT_TRUE(ui::WaitExit(app, kLong));
  WIN32_FILE_ATTRIBUTE_DATA help = {};
  GetFileAttributesExW((folder + L"\\help\\help.htm").c_str(), GetFileExInfoStandard, &help);
  EXPECT_LT(3u, help.nFileSizeLow);
  ExpectUserData(folder);
  EXPECT_EQ(L"0", ui::RegText(HKEY_CURRENT_USER, kSection, L"CheckSoundAlart"));
}

// A copy that does not close within the setup's wait: here the test itself holds the
// program's single-copy name and has no window to close.
TEST_F(Busy, SilentSetupEndsWithItsOwnCodeAndChangesNothing) {
  HANDLE claim = CreateMutexW(nullptr, FALSE, L"Local\\Zorvane.Quorrel2006");
  ASSERT_NE(nullptr, claim);
  EXPECT_EQ(3, RunAndWait(std::wstring(L"\"") + kSetup + L"\" /S /D=C:\\Apps\\Busy"));
  CloseHandle(claim);
  EXPECT_FALSE(Exists(L"C:\\Apps\\Busy\\Quorrel2006.exe"));
  EXPECT_FALSE(Installed());
}

TEST_F(Uninstaller, SilentUninstallRemovesTheProgramAndKeepsTheUsersData) {
  const std::wstring folder = L"C:\\Apps\\Removed";
  ASSERT_EQ(0, InstallSilently(L"/D=" + folder));
  WriteUserData(folder);
  ui::SetRegText(HKEY_CURRENT_USER, kRunKey, L"Quorrel", L"\"" + folder + L"\\Quorrel2006.exe\"");
  // An entry an earlier program wrote in the 32-bit registry, without quotes.
  SetViewText(KEY_WOW64_32KEY, HKEY_LOCAL_MACHINE, kRunKey, L"Quorrel", folder + L"\\Quorrel2006.exe");

  UninstallSilently(folder);
  for (auto file : kShippedFiles) EXPECT_FALSE(Exists(folder + L"\\" + file)) << file;
  EXPECT_FALSE(Exists(MenuFolder()));
  bool found = true;
  ui::RegText(HKEY_CURRENT_USER, kRunKey, L"Quorrel", &found);
  EXPECT_FALSE(found);
  EXPECT_FALSE(ViewHolds(KEY_WOW64_32KEY, HKEY_LOCAL_MACHINE, kRunKey, L"Quorrel"));
  ExpectUserData(folder);
}

// Every logon start of this installation goes, whichever user's it is; those of a
// program elsewhere stay.
TEST_F(Uninstaller, RemovesEveryUsersLogonStartOfThisInstallation) {
  const std::wstring folder = L"C:\\Apps\\Logon", program = folder + L"\\Quorrel2006.exe";
  ASSERT_EQ(0, InstallSilently(L"/AUTORUN=1 /D=" + folder));
  ASSERT_TRUE(Exists(TaskFile(kAllUsersTask)));
  const struct {
    const wchar_t* user;
    std::wstring command;
    bool ours;
  } starts[] = {
      {L"S-1-5-21-9-9-9-1001", program, true},
      {L"S-1-5-21-9-9-9-1002", L"\"" + program + L"\"", true},
      {L"S-1-5-21-9-9-9-1003", L"C:\\Apps\\Logon 2\\Quorrel2006.exe", false},
  };
  // Each user's own task, and a Run value in that user's hive, loaded under
  // HKEY_USERS as Windows loads it while the user is logged on.
  for (auto& start : starts) {
    WriteTaskFile(std::wstring(L"Quorrel-") + start.user, start.command);
    ui::SetRegText(HKEY_USERS, std::wstring(start.user) + L"\\" + kRunKey, L"Quorrel", start.command);
  }

  UninstallSilently(folder);
  EXPECT_FALSE(Exists(TaskFile(kAllUsersTask)));
  for (auto& start : starts) {
    SCOPED_TRACE(start.user);
    EXPECT_EQ(!start.ours, Exists(TaskFile(std::wstring(L"Quorrel-") + start.user)));
    bool found = false;
    ui::RegText(HKEY_USERS, std::wstring(start.user) + L"\\" + kRunKey, L"Quorrel", &found);
    EXPECT_EQ(!start.ours, found);
  }
}

// The task the program registers for its user goes too, also as Wine's scheduler
// keeps it: with no program named in it at all.
TEST_F(Uninstaller, RemovesTheTaskTheProgramRegisteredForItsUser) {
  const std::wstring folder = L"C:\\Apps\\Own";
  ASSERT_EQ(0, InstallSilently(L"/AUTORUN=0 /D=" + folder));
  ui::SetRegText(HKEY_CURRENT_USER, kSection, L"Inited", L"1");
  ui::SetRegText(HKEY_CURRENT_USER, kSection, L"CheckAutoRun", L"1");
  auto userTasks = [] {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(TaskFile(L"Quorrel-S-*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    int count = 1;
    while (FindNextFileW(search, &found)) count++;
    FindClose(search);
    return count;
  };
  const int others = userTasks();  // other users' tasks an earlier case left
  ASSERT_TRUE(StartFrom(app, folder));
  EXPECT_EQ(others + 1, userTasks()) << "the program registers its user's logon task at its start";
  ui::Kill(app);
  UninstallSilently(folder);
  EXPECT_EQ(others, userTasks());
  ui::RegDeleteTree(HKEY_CURRENT_USER, kSection);
}

BOOL CALLBACK FindVisibleTree(HWND child, LPARAM found) {
  wchar_t name[32] = {};
  GetClassNameW(child, name, 32);
  if (lstrcmpW(name, L"SysTreeView32") != 0 || !IsWindowVisible(child)) return TRUE;
  *(HWND*)found = child;
  return FALSE;
}

// The wizard's caption may carry the page's subcaption after the product's name.
BOOL CALLBACK FindWizard(HWND top, LPARAM found) {
  wchar_t caption[128] = {};
  GetWindowTextW(top, caption, 128);
  if (!IsWindowVisible(top) || wcsncmp(caption, L"Zorvane 3.3 卸载", 14) != 0) return TRUE;
  *(HWND*)found = top;
  return FALSE;
}

HWND VisibleTree(HWND top) {
  HWND found = nullptr;
  EnumChildWindows(top, FindVisibleTree, (LPARAM)&found);
  return found;
}

// Ticked, the box removes what the program wrote and the folders left empty; files
// of anybody else in those folders stay, and with them the folders.
TEST_F(Uninstaller, TheBoxRemovesTheUsersDataToo) {
  const std::wstring folder = L"C:\\Apps\\Purged";
  const wchar_t* const kOthers[] = {L"log\\notes.txt", L"backup\\keep.reg", L"readme.txt"};
  // Beside the program, and where users who could not write there kept theirs.
  const std::wstring kData[] = {folder, KnownFolder(CSIDL_LOCAL_APPDATA) + L"\\Zorvane",
                                L"C:\\users\\zvother\\AppData\\Local\\Zorvane"};
  for (bool others : {false, true}) {
    SCOPED_TRACE(others ? "with files of others" : "the program's files only");
    ASSERT_EQ(0, InstallSilently(L"/D=" + folder));
    for (const std::wstring& data : kData) {
      SHCreateDirectoryExW(nullptr, data.c_str(), nullptr);
      WriteUserData(data);
      ui::WriteFileBytes(data + L"\\backup\\20260101-000000-002.bak.~tmp", "half written");
      if (others)
        for (const wchar_t* other : kOthers) ui::WriteFileBytes(data + L"\\" + other, "not the program's");
    }
    ASSERT_EQ(0, RunAndWait(L"\"" + folder + L"\\Uninstall.exe\""));
    HWND wizard = nullptr;
    ASSERT_TRUE(ui::WaitFor([&] { return EnumWindows(FindWizard, (LPARAM)&wizard), wizard != nullptr; }, kLong));
    PostMessageW(wizard, WM_COMMAND, IDOK, 0);  // the confirmation page: next
    HWND tree = nullptr;
    ASSERT_TRUE(ui::WaitFor([&] { return (tree = VisibleTree(wizard)) != nullptr; }, kLong));
    // The box is the tree's only item, selected: the space bar ticks it, as for a user.
    HTREEITEM box = (HTREEITEM)SendMessageW(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0);
    LRESULT unticked = SendMessageW(tree, TVM_GETITEMSTATE, (WPARAM)box, TVIS_STATEIMAGEMASK);
    PostMessageW(tree, WM_KEYDOWN, VK_SPACE, 0);
    ASSERT_TRUE(ui::WaitFor(
        [&] { return SendMessageW(tree, TVM_GETITEMSTATE, (WPARAM)box, TVIS_STATEIMAGEMASK) != unticked; }, kLong));
    PostMessageW(wizard, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(ui::WaitFor([] { return !Installed(); }, kLong));
    EXPECT_TRUE(
        ui::WaitFor([&] { return !Exists(folder + L"\\Allow.dat") && !Exists(folder + L"\\Uninstall.exe"); }, kLong));
    EXPECT_TRUE(ui::WaitFor(
        [&] {
          PostMessageW(wizard, WM_COMMAND, IDOK, 0);  // the last page: close
          return !IsWindow(wizard);
        },
        kLong));
    for (const std::wstring& data : kData) {
      SCOPED_TRACE(testing::PrintToString(data));
      EXPECT_FALSE(Exists(data + L"\\Allow.dat"));
      EXPECT_FALSE(Exists(data + L"\\log\\2026-01-01.log"));
      EXPECT_FALSE(Exists(data + L"\\backup\\20260101-000000-001.bak"));
      EXPECT_FALSE(Exists(data + L"\\backup\\20260101-000000-002.bak.~tmp"));
      EXPECT_EQ(!others, !Exists(data));
      for (const wchar_t* other : kOthers) EXPECT_EQ(others, Exists(data + L"\\" + other)) << other;
      if (others)
        for (const wchar_t* other : kOthers) DeleteFileW((data + L"\\" + other).c_str());
      RemoveDirectoryW((data + L"\\log").c_str());
      RemoveDirectoryW((data + L"\\backup").c_str());
      RemoveDirectoryW(data.c_str());
    }
  }
}

TEST_F(Uninstaller, ARunningCopyIsClosedFirst) {
  const std::wstring folder = L"C:\\Apps\\Running";
  ASSERT_EQ(0, InstallSilently(L"/D=" + folder));
  ASSERT_NE(nullptr, StartFrom(app, folder));

  UninstallSilently(folder);
  EXPECT_TRUE(ui::WaitExit(app, kLong));
  EXPECT_FALSE(Exists(folder + L"\\Quorrel2006.exe"));
}

// The 64-bit setup over an installation of the 32-bit one, as that setup leaves it
// (no 32-bit program runs on every host, so it is laid out by hand): one
// installation remains, in the 64-bit registry, with the user's data.
class UpgradeFrom32 : public Release {};

#ifdef _WIN64
// The user's data as the 32-bit program left it; the first two names may also be in
// the new folder already.
const wchar_t* const kUserFiles[] = {L"Allow.dat", L"log\\2026-01-01.log", L"log\\2025\\12-31.log", L"backup\\1.reg"};
constexpr int kTakenNames = 2;

// The text a data file gets from the installation of one width.
std::string Content(const wchar_t* file, const char* width) {
  std::wstring name(file);
  return std::string(width) + " " + std::string(name.begin(), name.end()) + "\r\n";
}

void WriteFiles(const std::wstring& folder, int count, const char* width) {
  for (int i = 0; i < count; ++i) {
    std::wstring path = folder + L"\\" + kUserFiles[i];
    SHCreateDirectoryExW(nullptr, path.substr(0, path.rfind(L'\\')).c_str(), nullptr);
    ui::WriteFileBytes(path, Content(kUserFiles[i], width));
  }
}

const char kOldProgram[] = "MZ the 32-bit program";
const char kOldUninstaller[] = "MZ the 32-bit uninstaller";

// The shipped files with Uninstall.exe, the user's data, the programs-list entry in the
// 32-bit registry and the program's start-with-Windows entries, unquoted as older
// versions wrote them in the machine's Run key.
void LayOut32BitInstallation(const std::wstring& folder) {
  SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  ASSERT_TRUE(ui::CopyTree(L"C:\\dist", folder));
  ui::WriteFileBytes(folder + L"\\Quorrel2006.exe", kOldProgram);
  ui::WriteFileBytes(folder + L"\\Uninstall.exe", kOldUninstaller);
  WriteFiles(folder, (int)(sizeof kUserFiles / sizeof *kUserFiles), "32");
  const std::pair<const wchar_t*, std::wstring> entry[] = {
      {L"DisplayName", L"Zorvane 3.3"},
      {L"InstallLocation", folder},
      {L"UninstallString", L"\"" + folder + L"\\Uninstall.exe\""},
      {L"QuietUninstallString", L"\"" + folder + L"\\Uninstall.exe\" /S"}};
  for (auto& value : entry) SetViewText(KEY_WOW64_32KEY, HKEY_LOCAL_MACHINE, kUninstallKey, value.first, value.second);
  SetViewText(KEY_WOW64_32KEY, HKEY_CURRENT_USER, kRunKey, L"Quorrel", L"\"" + folder + L"\\Quorrel2006.exe\"");
  SetViewText(KEY_WOW64_32KEY, HKEY_LOCAL_MACHINE, kRunKey, L"Quorrel", folder + L"\\Quorrel2006.exe");
}

// Leaves the prefix without any installation for the next case.
void ForgetInstallations(const std::vector<std::wstring>& folders) {
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, view, 0);
    HKEY key;
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
      if (RegOpenKeyExW(root, kRunKey, 0, KEY_SET_VALUE | view, &key) == ERROR_SUCCESS) {
        RegDeleteValueW(key, L"Quorrel");
        RegCloseKey(key);
      }
  }
  DeleteFileW(TaskFile(kAllUsersTask).c_str());
  for (auto& folder : folders)
    if (!folder.empty()) RemoveTree(folder);
}
#endif

TEST_F(UpgradeFrom32, OneInstallationRemainsWithTheUsersData) {
#ifndef _WIN64
  GTEST_SKIP() << "the 32-bit setup leaves a 32-bit installation as it is";
#else
  const std::wstring programs = KnownFolder(CSIDL_PROGRAM_FILES), programs32 = KnownFolder(CSIDL_PROGRAM_FILESX86);
  ASSERT_NE(programs, programs32);
  struct Case {
    const wchar_t* what;
    std::wstring folder32;  // the 32-bit installation
    std::wstring folder64;  // an earlier 64-bit installation with data of its own, if any
    std::wstring options;
    std::wstring expected;  // where the program is afterwards
    bool autoRun;
  };
  const Case cases[] = {
      {L"from the 32-bit Program Files", programs32 + L"\\Zorvane", L"", L"", programs + L"\\Zorvane", true},
      {L"in a folder the user chose", L"C:\\Apps\\Zorvane 32", L"", L"", L"C:\\Apps\\Zorvane 32", false},
      {L"into the folder given with /D", L"C:\\Apps\\Old 32", L"", L"/D=C:\\Apps\\New 64", L"C:\\Apps\\New 64", true},
      {L"into an earlier 64-bit installation", programs32 + L"\\Zorvane", L"C:\\Apps\\Zorvane 64", L"",
       L"C:\\Apps\\Zorvane 64", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (!c.folder64.empty()) {
      ASSERT_EQ(0, InstallSilently(L"/D=" + c.folder64));
      WriteFiles(c.folder64, kTakenNames, "64");
    }
    LayOut32BitInstallation(c.folder32);
    // The 32-bit setup's logon task, with the option on, starts the old program.
    if (c.autoRun) WriteTaskFile(kAllUsersTask, L"\"" + c.folder32 + L"\\Quorrel2006.exe\"");

    ASSERT_EQ(0, InstallSilently(c.options));
    ExpectInstalledIn(c.expected);
    // The image's program, not the old one (byte for byte they may differ: the image's
    // debug link is written again, with a new checksum, at every build).
    EXPECT_EQ(FileText(L"C:\\dist\\Quorrel2006.exe").size(), FileText(c.expected + L"\\Quorrel2006.exe").size());
    EXPECT_NE(kOldUninstaller, FileText(c.expected + L"\\Uninstall.exe"));
    EXPECT_EQ(c.autoRun, Exists(TaskFile(kAllUsersTask)));

    // A name the new folder already had keeps its file there, and the old one stays
    // where it was: nothing is overwritten.
    const bool moved = c.folder32 != c.expected;
    int left = 0;
    for (int i = 0; i < (int)(sizeof kUserFiles / sizeof *kUserFiles); ++i) {
      const bool taken = !c.folder64.empty() && i < kTakenNames;
      EXPECT_EQ(Content(kUserFiles[i], taken ? "64" : "32"), FileText(c.expected + L"\\" + kUserFiles[i]))
          << kUserFiles[i];
      if (!moved) continue;
      EXPECT_EQ(taken ? Content(kUserFiles[i], "32") : "", FileText(c.folder32 + L"\\" + kUserFiles[i]))
          << kUserFiles[i];
      left += taken;
    }
    if (moved) {
      for (auto file : kShippedFiles) EXPECT_FALSE(Exists(c.folder32 + L"\\" + file)) << file;
      EXPECT_EQ(left > 0, Exists(c.folder32));
    }

    // The old program's start-with-Windows entries are gone; with the option on, the
    // logon task starts the new program instead.
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY})
      for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
        EXPECT_FALSE(ViewHolds(view, root, kRunKey, L"Quorrel"));

    ForgetInstallations({c.folder32, c.folder64, c.expected});
  }
#endif
}

}  // namespace
