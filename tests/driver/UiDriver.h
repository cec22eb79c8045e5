// Drives the program from another process the way a user would: finds windows
// by caption, controls by caption, id or position, presses and reads them.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace ui {

// A copy of the install image, started as a new process.
struct App {
  std::wstring folder;  // program folder of this copy, e.g. C:\runs\first
  PROCESS_INFORMATION process = {};
};

// Copies C:\dist (the pristine install image) to C:\runs\<name> and returns its folder.
std::wstring FreshInstall(const std::wstring& name);
bool CopyTree(const std::wstring& from, const std::wstring& to);
bool Start(App& app);
// Starts a fresh install and waits until its main window is shown, which it is
// once its load sequence has run; the window, or null on failure.
HWND Launch(App& app, const std::wstring& name);
bool WaitExit(App& app, DWORD timeoutMs);

// A run of the program's command line, as a script or a scheduled task starts it.
struct CommandRun {
  bool exited = false;
  DWORD exitCode = 0;
  std::string out, err;     // the bytes written to the standard output and error
  bool windowSeen = false;  // the process had a top-level window, shown or hidden, at some poll
};
// Starts folder\Quorrel2006.exe with `arguments`, its output and error sent to files
// (never pipes: a browser it might start would hold them), and waits up to
// `timeoutMs` for its end, looking for its windows all the while; killed when late.
// `onPoll` runs at each look with the process id.
CommandRun RunCommandLine(const std::wstring& folder, const std::wstring& arguments, DWORD timeoutMs = 120000,
                          const std::function<void(DWORD processId)>& onPoll = nullptr);
void Kill(App& app);

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs);
HWND WaitWindow(const std::wstring& caption, DWORD timeoutMs, DWORD processId = 0);
// Like WaitWindow, but waits until the window is also visible.
HWND WaitShown(const std::wstring& caption, DWORD timeoutMs, DWORD processId = 0);
HWND FindTop(const std::wstring& caption, DWORD processId = 0);
// First descendant whose text is `caption` (and class, when given).
HWND FindChild(HWND parent, const std::wstring& caption, const std::wstring& className = std::wstring());
// A visible top-level window of the process with a child whose text starts with `prefix`.
HWND TopWithChildText(DWORD processId, const std::wstring& prefix, HWND* child = nullptr);
// Top-level windows of the process with this exact caption and class ("" for any).
HWND TopOfProcess(DWORD processId, const std::wstring& caption, const std::wstring& className);

std::wstring TextOf(HWND hwnd);
bool OwnVisible(HWND hwnd);

// Synchronous actions: they return once the program has handled them.
void ClickNow(HWND hwnd);
void Command(HWND top, int id);
// Posted actions, for those that may open a modal window.
void PostMouseDown(HWND hwnd, int button);
void PostCommand(HWND top, int id);
void PostButton(HWND button);

// --- the system check, as a user goes through it ---
// Presses the big scan button and waits for the progress window to come and go;
// returns the captions it was seen to show. `promptDuringProgress` is set when a
// prompt appeared while the progress window was open.
// `onShown` runs once, as soon as the progress window is seen.
std::vector<std::wstring> PressScanAndWatchProgress(HWND main, DWORD processId, bool* promptDuringProgress = nullptr,
                                                    const std::function<void(HWND progress)>& onShown = nullptr);
// Waits for the detection prompt; the prompt, or null when none came.
HWND WaitPrompt(DWORD processId);
// Waits for the detection prompt, selects `option` ("清除", "跳过", "信任") and
// presses its OK image. Returns the warning text, empty when no prompt came.
std::wstring AnswerPrompt(DWORD processId, const std::wstring& option);
HWND WaitReport(DWORD processId);
std::wstring ReportTextOf(HWND report);
// The rows of a list box. The program may take a row away while it is read: what is
// left is read, and callers wait until the rows are what they expect.
std::vector<std::wstring> ListRows(HWND list);
// Acknowledges the next message box with this caption; returns its text.
std::wstring AcknowledgeMessage(DWORD processId, const std::wstring& caption = L"Zorvane");
// Presses the report's save image and confirms the name prompt with `name`
// (the default when empty); returns the name used.
std::wstring SaveReport(HWND report, DWORD processId, const std::wstring& name);
void CloseReport(HWND report);

// --- the shell's folder browser, in another process ---
// Walks the browser's tree from its root: at each level expands the current item
// and selects the child whose text contains the next part; then presses 确定.
// Returns false (and cancels the browser) when a part is not found.
bool ChooseInFolderBrowser(DWORD processId, const std::vector<std::wstring>& parts, std::wstring* treeDump = nullptr);
void CancelFolderBrowser(DWORD processId);

// --- the notification area and the taskbar ---
// Whether the shell holds the icon (uID 0) of this window.
bool TrayIconPresent(HWND owner);
// Visible buttons on the virtual desktop's taskbar, the start button included.
int VisibleTaskbarButtons();

// The hook signature, built at run time so that the test program's own bytes do not carry it.
std::string HookSignature();
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
// A file's bytes; "<missing>" when it cannot be opened.
std::string FileBytes(const std::wstring& path);

// Registry helpers for checks.
std::wstring RegText(HKEY root, const std::wstring& path, const std::wstring& name, bool* found = nullptr);
// Creates the key if needed and stores a string value.
void SetRegText(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text);
void RegDeleteTree(HKEY root, const std::wstring& path);

// One finding for each registry check after the autorun keys, in the order the
// system check asks about them; `subjects` receives what each prompt shows.
void SeedLaterChecks(std::vector<std::wstring>* subjects = nullptr);
// Puts those places back as a fresh prefix has them, so no finding is left behind.
void ClearLaterChecks();
// Where SeedLaterChecks puts them.
extern const wchar_t kWinlogon[];
extern const wchar_t kBrowserHelpers[];
extern const wchar_t kShellExecuteHooks[];
extern const wchar_t kAppInitKey[];
extern const wchar_t kHelperClass[];
extern const wchar_t kHookClass[];

}  // namespace ui
