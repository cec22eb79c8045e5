// The main window's notification-area icon and the window procedure that
// hides the window there on minimize and brings it back on a double-click of
// the icon. The same two events switch the real-time monitor on and off.
#pragma once
#include <cstdint>

#include "platform/NotifyIcon.h"
#include "platform/Toolkit.h"

namespace ModuleMain {

// The icon's callback message: private, above WM_USER.
constexpr unsigned kTrayMessage = 2025;

// The icon as added; its removal passes the same record again.
extern NotifyIcon::Record TrayIconData;
// The main window's procedure before TrayWindowProc replaced it.
extern tk::WindowProc PrevWndProc;

// Installs TrayWindowProc on the main window, keeping the previous procedure.
void InstallTrayWindowProc();
// Puts the previous procedure back; nothing when it is already in place.
void RestoreWindowProc();
void AddTrayIcon();
// Removes the icon; nothing when it is not there.
void DeleteTrayIcon();

// One copy per user session. A second start brings the running copy's window to
// the front, as a double-click on its icon does, and answers true: it then ends.
// A start at logon leaves the running copy as it is: nobody asked for its window.
bool HandOverToRunningCopy();
// A start by a logon task (the argument /logon): options never set are seeded with
// the start on, as an administrator deployed it; true when the user has turned the
// start off, and the program ends at once, with no window and no hand-over.
bool EndsAtLogon();

intptr_t __stdcall TrayWindowProc(void* hWnd, unsigned uMsg, uintptr_t wParam, intptr_t lParam);

}  // namespace ModuleMain
