// Command-line face of the UI driver, for scripts:
//   uidriver wait CAPTION TIMEOUT_MS    exit 0 once a window with that caption exists
//   uidriver close CAPTION TIMEOUT_MS   close it and wait for its process to end
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>

#include "tests/driver/UiDriver.h"

namespace {

int Wait(const std::wstring& caption, DWORD timeout) { return ui::WaitWindow(caption, timeout) ? 0 : 1; }

int Close(const std::wstring& caption, DWORD timeout) {
  HWND hwnd = ui::FindTop(caption);
  if (!hwnd) return 1;
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
  PostMessageW(hwnd, WM_CLOSE, 0, 0);
  DWORD rc = process ? WaitForSingleObject(process, timeout) : WAIT_FAILED;
  if (process) CloseHandle(process);
  return rc == WAIT_OBJECT_0 ? 0 : 1;
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argc != 4) {
    fprintf(stderr, "usage: uidriver wait|close CAPTION TIMEOUT_MS\n");
    return 2;
  }
  std::wstring verb = argv[1];
  DWORD timeout = (DWORD)_wtoi(argv[3]);
  if (verb == L"wait") return Wait(argv[2], timeout);
  if (verb == L"close") return Close(argv[2], timeout);
  fprintf(stderr, "uidriver: unknown command\n");
  return 2;
}
