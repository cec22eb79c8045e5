#include "platform/Instance.h"

#include <windows.h>

namespace Instance {

bool ClaimFirst(const std::wstring& name) {
  // Never closed: the system releases the name when this copy ends, however it ends.
  HANDLE claim = CreateMutexW(nullptr, FALSE, name.c_str());
  return claim && GetLastError() != ERROR_ALREADY_EXISTS;
}

bool PostToRunningCopy(const std::wstring& caption, unsigned message, uintptr_t wParam, intptr_t lParam) {
  HWND window = FindWindowW(nullptr, caption.c_str());
  DWORD owner = 0;
  if (!window || !GetWindowThreadProcessId(window, &owner) || owner == GetCurrentProcessId()) return false;
  AllowSetForegroundWindow(owner);  // the user started this copy: the running one may take the front
  return PostMessageW(window, message, wParam, lParam) != FALSE;
}

}  // namespace Instance
