// Drives the program from another process the way a user would: finds windows
// by caption, controls by caption, id or position, presses and reads them.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

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
// Starts a fresh install and waits for the main window; false on failure.
bool Launch(App& app, const std::wstring& name);
bool WaitExit(App& app, DWORD timeoutMs);
void Kill(App& app);

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs);
HWND WaitWindow(const std::wstring& caption, DWORD timeoutMs, DWORD processId = 0);
HWND FindTop(const std::wstring& caption, DWORD processId = 0);
// First descendant whose text is `caption` (and class, when given).
HWND FindChild(HWND parent, const std::wstring& caption, const std::wstring& className = std::wstring());
HWND ChildById(HWND parent, int id);
// The visible child (of the window or one of its panels) at a client position.
HWND ChildAt(HWND parent, int x, int y);
// A visible top-level window of the process with a child whose text starts with `prefix`.
HWND TopWithChildText(DWORD processId, const std::wstring& prefix, HWND* child = nullptr);
// Top-level windows of the process with this exact caption and class ("" for any).
HWND TopOfProcess(DWORD processId, const std::wstring& caption, const std::wstring& className);

std::wstring TextOf(HWND hwnd);
bool OwnVisible(HWND hwnd);
POINT PositionOf(HWND hwnd);  // left and top within the parent's client area
SIZE SizeOf(HWND hwnd);

// Synchronous actions: they return once the program has handled them.
void MouseMove(HWND hwnd, int x = 2, int y = 2);
void ClickNow(HWND hwnd);
void Command(HWND top, int id);
// Posted actions, for those that may open a modal window.
void PostClick(HWND hwnd);
void PostMouseDown(HWND hwnd, int button);
void PostCommand(HWND top, int id);
void PostButton(HWND button);

// Registry helpers for checks.
std::wstring RegText(HKEY root, const std::wstring& path, const std::wstring& name, bool* found = nullptr);
void RegDeleteTree(HKEY root, const std::wstring& path);

}  // namespace ui
