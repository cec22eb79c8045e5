// The headless demonstration of "make run": seeds a sandbox with demo threats,
// drives one whole system check through the windows, prints the report, then
// hides the window to the notification area and brings it back.
// Screenshots are taken by the calling script: on "SHOT name" it captures the
// screen and creates C:\demo\name.done.
#include <cstdio>
#include <string>

#include "tests/driver/UiDriver.h"

namespace {

const wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

void Say(const std::wstring& text) {
  int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), nullptr, 0, nullptr, nullptr);
  std::string utf8(length, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), (int)text.size(), &utf8[0], length, nullptr, nullptr);
  fwrite(utf8.data(), 1, utf8.size(), stdout);
  fputc('\n', stdout);
  fflush(stdout);
}

void Shot(const std::wstring& name) {
  std::wstring done = L"C:\\demo\\" + name + L".done";
  Sleep(700);  // let the window finish painting
  Say(L"SHOT " + name);
  ui::WaitFor([&] { return GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, 30000);
}

void StartListedProcess() {
  CreateDirectoryW(L"C:\\demo", nullptr);
  CopyFileW(L"C:\\tools\\sleeper.exe", L"C:\\demo\\msblast.exe", FALSE);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION p = {};
  wchar_t command[] = L"C:\\demo\\msblast.exe";
  if (CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, L"C:\\demo", &startup, &p)) {
    CloseHandle(p.hThread);
    CloseHandle(p.hProcess);
  }
}

int Fail(const wchar_t* what) {
  Say(std::wstring(L"demo: ") + what);
  return 1;
}

// The suspicious-file scan of C:\demo, chosen in the folder browser.
int ScanDemoFolder(HWND main, DWORD pid) {
  HANDLE file = CreateFileW(L"C:\\demo\\demo-hook.dll", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  std::string bytes = "MZ" + std::string(60, '\0') + "SetWindows" + "Hook";
  DWORD written = 0;
  WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
  CloseHandle(file);
  ui::ClickNow(ui::FindChild(main, L"可疑文件扫描"));
  ui::PostButton(ui::FindChild(main, L"选择", L"Button"));
  if (!ui::ChooseInFolderBrowser(pid, {L"我的电脑", L"C:", L"demo"})) return Fail(L"the folder browser did not work");
  ui::WaitFor([&] { return ui::FindChild(main, L"C:\\demo") != nullptr; }, 10000);
  ui::PostButton(ui::FindChild(main, L"扫描", L"Button"));
  HWND box = nullptr;
  if (!ui::WaitFor([&] { return (box = ui::TopOfProcess(pid, L"扫描完成!", L"#32770")) != nullptr; }, 60000))
    return Fail(L"the scan did not finish");
  Shot(L"scan");
  HWND results = FindWindowExW(GetParent(ui::FindChild(main, L"扫描", L"Button")), nullptr, L"Edit", nullptr);
  Say(L"--- suspicious files ---");
  Say(ui::TextOf(results));
  Say(L"------------------------");
  PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
  ui::WaitFor([&] { return !IsWindow(box); }, 10000);
  return 0;
}

// The first value cleaned, restored through "已清除项目".
int RestoreOneCleaned(HWND main, DWORD pid) {
  const int menuViewBackups = 302;  // another process cannot read the menus under Wine
  ui::PostCommand(main, menuViewBackups);
  HWND window = ui::WaitShown(L"恢复已清除项目", 20000, pid);
  if (!window) return Fail(L"the restore window did not appear");
  HWND list = FindWindowExW(window, nullptr, L"ListBox", nullptr);
  LRESULT rows = SendMessageW(list, LB_GETCOUNT, 0, 0);
  // The oldest row, the first value cleaned, clicked: the box below it lists its places.
  PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 6));
  PostMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(20, 6));
  HWND places = FindWindowExW(window, nullptr, L"Edit", nullptr);
  if (!ui::WaitFor([&] { return ui::TextOf(places).find(L"恢复将改动") != std::wstring::npos; }, 10000))
    return Fail(L"the selected backup's places were not shown");
  Shot(L"restore");
  ui::PostButton(ui::FindChild(window, L"恢复", L"Button"));
  if (!ui::WaitFor([&] { return SendMessageW(list, LB_GETCOUNT, 0, 0) < rows; }, 10000))
    return Fail(L"nothing was restored");
  Say(L"demo: restored the first cleaned item; " + std::to_wstring(rows - 1) + L" backups remain");
  ui::PostButton(ui::FindChild(window, L"关闭", L"Button"));
  ui::WaitFor([&] { return !IsWindow(window); }, 10000);
  return 0;
}

// The settings dialog, opened from its button and closed with OK.
int ShowSettings(HWND main, DWORD pid) {
  ui::PostMouseDown(ui::FindChild(main, L"系统设置"), 1);
  HWND dialog = ui::WaitShown(L"设置", 20000, pid);
  if (!dialog) return Fail(L"the settings dialog did not appear");
  Shot(L"config");
  ui::PostButton(ui::FindChild(dialog, L"确定", L"Button"));
  if (!ui::WaitFor([&] { return !IsWindow(dialog); }, 10000)) return Fail(L"the settings dialog did not close");
  Say(L"demo: settings dialog opened and closed with OK");
  return 0;
}

// The about box, opened by its menu command and closed by its OK image.
int ShowAbout(HWND main, DWORD pid) {
  const int menuAbout = 503;  // another process cannot read the menus under Wine
  ui::PostCommand(main, menuAbout);
  HWND box = ui::WaitShown(L"关于", 20000, pid);
  if (!box) return Fail(L"the about box did not appear");
  Shot(L"about");
  ui::PostMouseDown(ui::FindChild(box, L"确定"), 1);
  if (!ui::WaitFor([&] { return !IsWindow(box); }, 10000)) return Fail(L"the about box did not close");
  Say(L"demo: the about box opened from the help menu and closed by its OK image");
  return 0;
}

// The query page: one suspicious and one clean file, typed in and queried. The
// suspicious one lies outside C:\demo, which the scan after it walks.
int QueryDemoFiles(HWND main, DWORD pid) {
  CreateDirectoryW(L"C:\\querydemo", nullptr);
  HANDLE file = CreateFileW(L"C:\\querydemo\\query-hook.dll", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  std::string bytes = "MZ" + std::string(60, '\0') + "SetWindows" + "Hook";
  DWORD written = 0;
  WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
  CloseHandle(file);
  HWND field = FindWindowExW(GetParent(ui::FindChild(main, L"文件名：")), nullptr, L"Edit", nullptr);
  HWND button = ui::FindChild(main, L"查询");
  if (!field || !button) return Fail(L"the query page has no field or button");
  const wchar_t* const files[] = {L"C:\\querydemo\\query-hook.dll", L"C:\\windows\\system32\\notepad.exe"};
  for (const wchar_t* path : files) {
    SendMessageW(field, WM_SETTEXT, 0, (LPARAM)path);
    ui::PostMouseDown(button, 1);
    if (!ui::WaitFor([&] { return ui::TopOfProcess(pid, L"Zorvane", L"#32770") != nullptr; }, 20000))
      return Fail(L"the query gave no answer");
    if (path == files[0]) Shot(L"query-answer");
    Say(std::wstring(L"demo: query ") + path + L" -> " + ui::AcknowledgeMessage(pid));
  }
  return 0;
}

}  // namespace

int main() {
  CreateDirectoryW(L"C:\\demo", nullptr);
  StartListedProcess();
  ui::SetRegText(HKEY_CURRENT_USER, kRun, L"DemoUpdater", L"C:\\WINDOWS\\system32\\demo-updater.exe");
  ui::SetRegText(HKEY_CURRENT_USER, kRun, L"DemoHelper", L"\"C:\\WINDOWS\\demo-helper.exe\" /background");
  // A name and a command the code page cannot hold: shown, reported and trusted as they are.
  ui::SetRegText(HKEY_CURRENT_USER, kRun, L"DemoUnicode\u0905", L"C:\\WINDOWS\\demo-\u00AApp\u0905.exe");
  ui::SetRegText(HKEY_LOCAL_MACHINE, kRun, L"DemoService", L"C:\\WINDOWS\\demo-service.exe");
  ui::SeedLaterChecks();
  // A place beyond the eight checks: a debugger that would start instead of a program.
  ui::SetRegText(HKEY_LOCAL_MACHINE,
                 L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\demo-target.exe",
                 L"Debugger", L"C:\\Users\\Public\\demo-debugger.exe");

  HWND main = ui::WaitShown(L"Zorvane v3.3", 30000);
  if (!main) return Fail(L"the main window did not appear");
  DWORD pid = 0;
  GetWindowThreadProcessId(main, &pid);
  Shot(L"main");

  ui::PostMouseDown(ui::FindChild(main, L"开始查杀"), 1);  // the big scan button
  HWND progress = nullptr;
  if (!ui::WaitFor([&] { return (progress = ui::TopWithChildText(pid, L"扫描系统正在初始化")) != nullptr; }, 20000))
    return Fail(L"the progress window did not appear");
  Sleep(1500);
  Shot(L"progress");

  // The memory check, the four autorun values, one finding of each later check, and
  // the debugger.
  const wchar_t* answers[] = {L"清除", L"清除", L"跳过", L"跳过", L"信任", L"清除",
                              L"跳过", L"清除", L"跳过", L"清除", L"信任", L"清除"};
  for (size_t i = 0; i < sizeof answers / sizeof answers[0]; i++) {
    const wchar_t* answer = answers[i];
    if (!ui::WaitFor([&] { return ui::TopOfProcess(pid, L" ", L"") != nullptr; }, 30000)) break;
    if (i == 0) Shot(L"prompt");
    Say(L"demo: " + ui::AnswerPrompt(pid, answer) + L"  [" + answer + L"]");
  }

  HWND report = ui::WaitReport(pid);
  if (!report) return Fail(L"the report window did not appear");
  Shot(L"report");
  Say(L"--- report ---");
  Say(ui::ReportTextOf(report));
  Say(L"--------------");
  ui::CloseReport(report);
  if (int rc = RestoreOneCleaned(main, pid)) return rc;
  ui::ClickNow(ui::FindChild(main, L"可疑文件查询"));
  Shot(L"query");
  if (int rc = QueryDemoFiles(main, pid)) return rc;
  if (int rc = ScanDemoFolder(main, pid)) return rc;
  if (int rc = ShowSettings(main, pid)) return rc;
  if (int rc = ShowAbout(main, pid)) return rc;

  PostMessageW(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  if (!ui::WaitFor([&] { return !IsWindowVisible(main); }, 10000)) return Fail(L"the window did not hide to the tray");
  Shot(L"tray");
  PostMessageW(main, 2025, 0, WM_LBUTTONDBLCLK);  // a double-click on the icon
  if (!ui::WaitFor([&] { return IsWindowVisible(main) && !IsIconic(main); }, 10000))
    return Fail(L"the icon did not bring the window back");
  Say(L"demo: minimized to the notification area, then restored by a double-click on the icon");
  return 0;
}
