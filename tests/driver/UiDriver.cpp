#include "tests/driver/UiDriver.h"

#include <commctrl.h>
#include <shellapi.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <utility>
#include <vector>

namespace ui {
namespace {

constexpr DWORD kSendTimeoutMs = 20000;

void SendSync(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_NORMAL, kSendTimeoutMs, &result);
}

struct FindState {
  std::wstring caption;
  std::wstring className;
  DWORD processId;
  HWND found;
};

BOOL CALLBACK FindTopProc(HWND hwnd, LPARAM lParam) {
  auto* state = reinterpret_cast<FindState*>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (state->processId && pid != state->processId) return TRUE;
  if (TextOf(hwnd) != state->caption) return TRUE;
  state->found = hwnd;
  return FALSE;
}

BOOL CALLBACK FindChildProc(HWND hwnd, LPARAM lParam) {
  auto* state = reinterpret_cast<FindState*>(lParam);
  if (TextOf(hwnd) != state->caption) return TRUE;
  if (!state->className.empty()) {
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    if (_wcsicmp(cls, state->className.c_str()) != 0) return TRUE;
  }
  state->found = hwnd;
  return FALSE;
}

}  // namespace

bool CopyTree(const std::wstring& from, const std::wstring& to) {
  CreateDirectoryW(to.c_str(), nullptr);
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((from + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  do {
    std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      ok = CopyTree(from + L"\\" + name, to + L"\\" + name) && ok;
    else
      ok = CopyFileW((from + L"\\" + name).c_str(), (to + L"\\" + name).c_str(), FALSE) && ok;
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return ok;
}

std::wstring FreshInstall(const std::wstring& name) {
  CreateDirectoryW(L"C:\\runs", nullptr);
  std::wstring folder = L"C:\\runs\\" + name;
  return CopyTree(L"C:\\dist", folder) ? folder : std::wstring();
}

bool Start(App& app) {
  std::wstring command = L"\"" + app.folder + L"\\Quorrel2006.exe\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  return CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, app.folder.c_str(), &startup,
                        &app.process) != FALSE;
}

HWND Launch(App& app, const std::wstring& name) {
  app.folder = FreshInstall(name);
  if (app.folder.empty() || !Start(app)) return nullptr;
  return WaitShown(L"Zorvane v3.3", 30000, app.process.dwProcessId);
}

bool WaitExit(App& app, DWORD timeoutMs) {
  if (!app.process.hProcess) return true;
  return WaitForSingleObject(app.process.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

namespace {

BOOL CALLBACK AnyWindowProc(HWND hwnd, LPARAM lParam) {
  auto* state = reinterpret_cast<std::pair<DWORD, bool>*>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != state->first) return TRUE;
  state->second = true;
  return FALSE;
}

bool HasAnyWindow(DWORD processId) {
  std::pair<DWORD, bool> state(processId, false);
  EnumWindows(AnyWindowProc, (LPARAM)&state);
  return state.second;
}

HANDLE InheritableFile(const std::wstring& path) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
}

}  // namespace

std::string FileBytes(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  if (!in) return "<missing>";
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

CommandRun RunCommandLine(const std::wstring& folder, const std::wstring& arguments, DWORD timeoutMs,
                          const std::function<void(DWORD processId)>& onPoll) {
  CommandRun run;
  std::wstring outPath = folder + L"\\cl-stdout.txt", errPath = folder + L"\\cl-stderr.txt";
  HANDLE out = InheritableFile(outPath), err = InheritableFile(errPath);
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = INVALID_HANDLE_VALUE;
  startup.hStdOutput = out;
  startup.hStdError = err;
  std::wstring command = L"\"" + folder + L"\\Quorrel2006.exe\" " + arguments;
  PROCESS_INFORMATION p = {};
  BOOL started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, folder.c_str(), &startup, &p);
  CloseHandle(out);
  CloseHandle(err);
  if (!started) return run;
  DWORD start = GetTickCount();
  while (!run.exited && GetTickCount() - start <= timeoutMs) {
    if (HasAnyWindow(p.dwProcessId)) run.windowSeen = true;
    if (onPoll) onPoll(p.dwProcessId);
    run.exited = WaitForSingleObject(p.hProcess, 5) == WAIT_OBJECT_0;
  }
  if (!run.exited) {
    TerminateProcess(p.hProcess, 99);
    WaitForSingleObject(p.hProcess, 5000);
  }
  GetExitCodeProcess(p.hProcess, &run.exitCode);
  CloseHandle(p.hProcess);
  CloseHandle(p.hThread);
  run.out = FileBytes(outPath);
  run.err = FileBytes(errPath);
  return run;
}

void Kill(App& app) {
  if (!app.process.hProcess) return;
  if (!WaitExit(app, 0)) {
    TerminateProcess(app.process.hProcess, 1);
    WaitExit(app, 5000);
  }
  CloseHandle(app.process.hProcess);
  CloseHandle(app.process.hThread);
  app.process = {};
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (condition()) return true;
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(20);
  }
}

HWND FindTop(const std::wstring& caption, DWORD processId) {
  FindState state = {caption, L"", processId, nullptr};
  EnumWindows(FindTopProc, (LPARAM)&state);
  return state.found;
}

HWND WaitWindow(const std::wstring& caption, DWORD timeoutMs, DWORD processId) {
  HWND found = nullptr;
  WaitFor([&] { return (found = FindTop(caption, processId)) != nullptr; }, timeoutMs);
  return found;
}

HWND WaitShown(const std::wstring& caption, DWORD timeoutMs, DWORD processId) {
  HWND found = nullptr;
  WaitFor([&] { return (found = FindTop(caption, processId)) != nullptr && IsWindowVisible(found); }, timeoutMs);
  return found && IsWindowVisible(found) ? found : nullptr;
}

HWND FindChild(HWND parent, const std::wstring& caption, const std::wstring& className) {
  FindState state = {caption, className, 0, nullptr};
  EnumChildWindows(parent, FindChildProc, (LPARAM)&state);
  return state.found;
}

namespace {
struct TopSearch {
  DWORD processId;
  std::wstring prefix, caption, className;
  HWND top = nullptr, child = nullptr;
};

BOOL CALLBACK ChildPrefixProc(HWND hwnd, LPARAM lParam) {
  auto* s = reinterpret_cast<TopSearch*>(lParam);
  if (TextOf(hwnd).compare(0, s->prefix.size(), s->prefix) != 0) return TRUE;
  s->child = hwnd;
  return FALSE;
}

BOOL CALLBACK TopProc(HWND hwnd, LPARAM lParam) {
  auto* s = reinterpret_cast<TopSearch*>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid != s->processId || !IsWindowVisible(hwnd)) return TRUE;
  if (!s->prefix.empty()) {
    EnumChildWindows(hwnd, ChildPrefixProc, lParam);
    if (!s->child) return TRUE;
  } else {
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    if (TextOf(hwnd) != s->caption || (!s->className.empty() && s->className != cls)) return TRUE;
  }
  s->top = hwnd;
  return FALSE;
}
}  // namespace

HWND TopWithChildText(DWORD processId, const std::wstring& prefix, HWND* child) {
  TopSearch s;
  s.processId = processId;
  s.prefix = prefix;
  EnumWindows(TopProc, (LPARAM)&s);
  if (child) *child = s.child;
  return s.top;
}

HWND TopOfProcess(DWORD processId, const std::wstring& caption, const std::wstring& className) {
  TopSearch s;
  s.processId = processId;
  s.caption = caption;
  s.className = className;
  EnumWindows(TopProc, (LPARAM)&s);
  return s.top;
}

std::wstring TextOf(HWND hwnd) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kSendTimeoutMs, &length)) return {};
  // The text may grow between the two messages: read until one copy fits with room to spare.
  for (size_t size = length + 64; size <= (1u << 24); size *= 2) {
    std::vector<wchar_t> text(size);
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, (WPARAM)size, (LPARAM)text.data(), SMTO_NORMAL, kSendTimeoutMs, &copied))
      return {};
    if (copied + 1 < size) return std::wstring(text.data(), copied);
  }
  return {};
}

bool OwnVisible(HWND hwnd) { return (GetWindowLongW(hwnd, GWL_STYLE) & WS_VISIBLE) != 0; }

void ClickNow(HWND hwnd) {
  SendSync(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  SendSync(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
}

void Command(HWND top, int id) { SendSync(top, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

void PostMouseDown(HWND hwnd, int button) {
  UINT message = button == 2 ? WM_RBUTTONDOWN : button == 4 ? WM_MBUTTONDOWN : WM_LBUTTONDOWN;
  PostMessageW(hwnd, message, 0, MAKELPARAM(2, 2));
}

void PostCommand(HWND top, int id) { PostMessageW(top, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

void PostButton(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

std::vector<std::wstring> PressScanAndWatchProgress(HWND main, DWORD pid, bool* promptDuringProgress,
                                                    const std::function<void(HWND progress)>& onShown) {
  std::vector<std::wstring> seen;
  HWND button = FindChild(main, L"开始查杀");  // the big scan button
  if (!button) return seen;
  PostMouseDown(button, 2);  // any mouse button starts the check
  HWND label = nullptr, progress = nullptr;
  if (!WaitFor([&] { return (progress = TopWithChildText(pid, L"扫描系统正在初始化", &label)) != nullptr; }, 20000))
    return seen;
  if (onShown) onShown(progress);
  while (IsWindow(progress)) {
    std::wstring caption = TextOf(label);
    if (!caption.empty() && (seen.empty() || seen.back() != caption)) seen.push_back(caption);
    if (promptDuringProgress && TopOfProcess(pid, L" ", L"")) *promptDuringProgress = true;
    Sleep(20);
  }
  return seen;
}

HWND WaitPrompt(DWORD pid) {
  HWND prompt = nullptr;
  WaitFor([&] { return (prompt = TopOfProcess(pid, L" ", L"")) != nullptr; }, 30000);
  return prompt;
}

std::wstring AnswerPrompt(DWORD pid, const std::wstring& option) {
  HWND prompt = WaitPrompt(pid);
  if (!prompt) return L"";
  HWND warning = nullptr;
  WaitFor([&] { return TopWithChildText(pid, L"警告", &warning) != nullptr; }, 10000);
  std::wstring text = warning ? TextOf(warning) : L"";
  HWND choice = FindChild(prompt, option, L"Button");
  if (choice) SendMessageW(choice, BM_CLICK, 0, 0);
  HWND ok = FindChild(prompt, L"确定");  // the OK image
  if (ok) PostMouseDown(ok, 1);
  WaitFor([&] { return !IsWindow(prompt); }, 10000);
  return text;
}

HWND WaitReport(DWORD pid) {
  HWND report = nullptr;
  WaitFor([&] { return (report = TopOfProcess(pid, L"查杀报告", L"")) != nullptr; }, 30000);
  return report;
}

std::wstring ReportTextOf(HWND report) { return TextOf(FindWindowExW(report, nullptr, L"Edit", nullptr)); }

std::vector<std::wstring> ListRows(HWND list) {
  std::vector<std::wstring> rows;
  LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (int i = 0; i < count; i++) {
    LRESULT length = SendMessageW(list, LB_GETTEXTLEN, i, 0);
    if (length == LB_ERR) break;
    // Room to spare: the row read may be a longer one that took this place meanwhile.
    std::wstring row((size_t)length + 256, L'\0');
    LRESULT copied = SendMessageW(list, LB_GETTEXT, i, (LPARAM)&row[0]);
    if (copied == LB_ERR || copied >= (LRESULT)row.size()) break;
    row.resize((size_t)copied);
    rows.push_back(row);
  }
  return rows;
}

std::wstring AcknowledgeMessage(DWORD pid, const std::wstring& caption) {
  HWND box = nullptr;
  if (!WaitFor([&] { return (box = TopOfProcess(pid, caption, L"#32770")) != nullptr; }, 30000)) return L"";
  std::wstring text = TextOf(GetDlgItem(box, 0xFFFF));
  PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
  WaitFor([&] { return !IsWindow(box); }, 10000);
  return text;
}

std::wstring SaveReport(HWND report, DWORD pid, const std::wstring& name) {
  PostMouseDown(FindChild(report, L"保存"), 1);  // the save image
  HWND input = nullptr;
  if (!WaitFor([&] { return (input = TopOfProcess(pid, L"保存查杀记录", L"")) != nullptr; }, 20000)) return L"";
  HWND edit = FindWindowExW(input, nullptr, L"Edit", nullptr);
  std::wstring used = TextOf(edit);
  if (!name.empty()) {
    SendMessageW(edit, WM_SETTEXT, 0, (LPARAM)name.c_str());
    used = name;
  }
  PostButton(FindChild(input, L"确定", L"Button"));
  return used;
}

void CloseReport(HWND report) {
  PostMouseDown(FindChild(report, L"确定"), 1);  // the OK image
  WaitFor([&] { return !IsWindow(report); }, 10000);
}

bool TrayIconPresent(HWND owner) {
  // A modify that changes nothing succeeds only for an icon the shell holds.
  NOTIFYICONDATAW probe = {};
  probe.cbSize = NOTIFYICONDATAW_V1_SIZE;
  probe.hWnd = owner;
  return Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}

namespace {
BOOL CALLBACK CountVisibleButton(HWND hwnd, LPARAM lParam) {
  wchar_t cls[32] = {};
  GetClassNameW(hwnd, cls, 32);
  if (_wcsicmp(cls, L"Button") == 0 && IsWindowVisible(hwnd)) ++*reinterpret_cast<int*>(lParam);
  return TRUE;
}
}  // namespace

int VisibleTaskbarButtons() {
  int count = 0;
  HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
  if (taskbar) EnumChildWindows(taskbar, CountVisibleButton, (LPARAM)&count);
  return count;
}

namespace {

// Reads tree-view items of another process through memory allocated in it.
struct RemoteTree {
  HWND tree;
  HANDLE process = nullptr;
  char* remote = nullptr;  // a TVITEMW followed by a text buffer
  RemoteTree(HWND t, DWORD pid) : tree(t) {
    process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (process) remote = (char*)VirtualAllocEx(process, nullptr, 4096, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  ~RemoteTree() {
    if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    if (process) CloseHandle(process);
  }
  std::wstring Text(HTREEITEM item) {
    TVITEMW tv = {};
    tv.mask = TVIF_TEXT;
    tv.hItem = item;
    tv.pszText = (LPWSTR)(remote + 256);
    tv.cchTextMax = 1000;
    SIZE_T done = 0;
    WriteProcessMemory(process, remote, &tv, sizeof tv, &done);
    DWORD_PTR ok = 0;
    SendMessageTimeoutW(tree, TVM_GETITEMW, 0, (LPARAM)remote, SMTO_NORMAL, 20000, &ok);
    wchar_t text[1001] = {};
    ReadProcessMemory(process, remote + 256, text, 2000, &done);
    return text;
  }
  HTREEITEM Next(HTREEITEM item, UINT flag) {
    DWORD_PTR result = 0;
    SendMessageTimeoutW(tree, TVM_GETNEXTITEM, flag, (LPARAM)item, SMTO_NORMAL, 20000, &result);
    return (HTREEITEM)result;
  }
};

HWND FindBrowser(DWORD pid, HWND* tree) {
  HWND found = nullptr;
  WaitFor(
      [&] {
        for (HWND w = GetTopWindow(nullptr); w; w = GetNextWindow(w, GW_HWNDNEXT)) {
          DWORD owner = 0;
          GetWindowThreadProcessId(w, &owner);
          if (owner != pid || !IsWindowVisible(w)) continue;
          HWND t = FindWindowExW(w, nullptr, L"SysTreeView32", nullptr);
          if (!t) continue;
          *tree = t;
          found = w;
          return true;
        }
        return false;
      },
      20000);
  return found;
}

}  // namespace

void CancelFolderBrowser(DWORD pid) {
  HWND tree = nullptr;
  HWND dialog = FindBrowser(pid, &tree);
  if (dialog) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

bool ChooseInFolderBrowser(DWORD pid, const std::vector<std::wstring>& parts, std::wstring* dump) {
  HWND tree = nullptr;
  HWND dialog = FindBrowser(pid, &tree);
  if (!dialog) return false;
  RemoteTree remote(tree, pid);
  if (!remote.remote) return false;
  HTREEITEM item = remote.Next(nullptr, TVGN_ROOT);
  for (const std::wstring& part : parts) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(tree, TVM_EXPAND, TVE_EXPAND, (LPARAM)item, SMTO_NORMAL, 20000, &ignored);
    HTREEITEM child = remote.Next(item, TVGN_CHILD);
    for (; child; child = remote.Next(child, TVGN_NEXT)) {
      std::wstring text = remote.Text(child);
      if (dump) *dump += L"[" + text + L"]";
      if (text.find(part) != std::wstring::npos) break;
    }
    if (!child) {
      PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
      return false;
    }
    item = child;
  }
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(tree, TVM_SELECTITEM, TVGN_CARET, (LPARAM)item, SMTO_NORMAL, 20000, &ignored);
  PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  return true;
}

std::wstring RegText(HKEY root, const std::wstring& path, const std::wstring& name, bool* found) {
  if (found) *found = false;
  HKEY key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  DWORD size = 0, type = 0;
  LONG rc = RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size);
  std::vector<wchar_t> data(size / sizeof(wchar_t) + 1, L'\0');  // any length, a megabyte too
  if (rc == ERROR_SUCCESS) rc = RegQueryValueExW(key, name.c_str(), nullptr, &type, (BYTE*)data.data(), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return {};
  if (found) *found = true;
  return data.data();
}

void SetRegText(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text) {
  HKEY key;
  if (RegCreateKeyW(root, path.c_str(), &key) != ERROR_SUCCESS) return;
  RegSetValueExW(key, name.c_str(), 0, REG_SZ, (const BYTE*)text.c_str(), (DWORD)(text.size() + 1) * sizeof(wchar_t));
  RegCloseKey(key);
}

void RegDeleteTree(HKEY root, const std::wstring& path) {
  HKEY key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  wchar_t name[512];
  while (RegEnumKeyW(key, 0, name, 512) == ERROR_SUCCESS) RegDeleteTree(key, name);
  RegCloseKey(key);
  RegDeleteKeyW(root, path.c_str());
}

std::string HookSignature() { return std::string("SetWindows") + "Hook"; }

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
  CloseHandle(file);
}

const wchar_t kWinlogon[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
const wchar_t kBrowserHelpers[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Browser Helper Objects";
const wchar_t kShellExecuteHooks[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\ShellExecuteHooks";
const wchar_t kAppInitKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const wchar_t kHelperClass[] = L"{5EED0001-0000-4000-8000-00000000B40A}";
const wchar_t kHookClass[] = L"{5EED0002-0000-4000-8000-00000000B40A}";

void ClearLaterChecks() {
  SetRegText(HKEY_CLASSES_ROOT, L"exefile\\shell\\open\\command", L"", L"\"%1\" %*");
  SetRegText(HKEY_LOCAL_MACHINE, kWinlogon, L"Shell", L"explorer.exe");
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kWinlogon, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    RegDeleteValueW(key, L"Userinit");
    RegCloseKey(key);
  }
  RegDeleteTree(HKEY_LOCAL_MACHINE, kBrowserHelpers);
  RegDeleteTree(HKEY_LOCAL_MACHINE, kShellExecuteHooks);
  RegDeleteTree(HKEY_LOCAL_MACHINE, kAppInitKey);
  RegDeleteTree(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kHelperClass);
  RegDeleteTree(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kHookClass);
}

void SeedLaterChecks(std::vector<std::wstring>* subjects) {
  SetRegText(HKEY_CLASSES_ROOT, L"exefile\\shell\\open\\command", L"", L"C:\\WINDOWS\\demo-open.exe \"%1\" %*");
  SetRegText(HKEY_LOCAL_MACHINE, kWinlogon, L"Shell", L"Explorer.exe C:\\WINDOWS\\demo-shell.exe");
  SetRegText(HKEY_LOCAL_MACHINE, kWinlogon, L"Userinit",
             L"C:\\WINDOWS\\system32\\userinit.exe,C:\\WINDOWS\\demo-logon.exe");
  SetRegText(HKEY_LOCAL_MACHINE, std::wstring(kBrowserHelpers) + L"\\" + kHelperClass, L"", L"");
  SetRegText(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kHelperClass + L"\\InprocServer32", L"",
             L"C:\\WINDOWS\\demo-helper.dll");
  SetRegText(HKEY_LOCAL_MACHINE, kShellExecuteHooks, kHookClass, L"");
  SetRegText(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kHookClass + L"\\InprocServer32", L"",
             L"C:\\WINDOWS\\demo-hook.dll");
  SetRegText(HKEY_LOCAL_MACHINE, kAppInitKey, L"AppInit_DLLs", L"C:\\WINDOWS\\demo-inject.dll");
  if (subjects)
    *subjects = {L"警告(RFU)：发现可疑程序，可能是木马! -> C:\\WINDOWS\\demo-open.exe",
                 L"警告(RES)：发现可疑程序，可能是木马! -> C:\\WINDOWS\\demo-shell.exe",
                 L"警告(RUI)：发现可疑程序，可能是木马! -> C:\\WINDOWS\\demo-logon.exe",
                 L"警告(RBHO)：发现可疑程序，可能是木马! -> C:\\WINDOWS\\demo-helper.dll",
                 L"警告(RESH)：发现可疑程序，可能是木马! -> C:\\WINDOWS\\demo-hook.dll",
                 L"警告(RID)：发现可疑程序，可能是木马! -> C:\\WINDOWS\\demo-inject.dll"};
}

}  // namespace ui
