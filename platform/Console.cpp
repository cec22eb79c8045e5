#include "platform/Console.h"

#include <windows.h>

#include "platform/Text.h"

namespace Console {
namespace {

// A redirection wins over the parent's console: a script that sends the output
// to a file wants it there.
bool Redirected(HANDLE handle) {
  if (!handle || handle == INVALID_HANDLE_VALUE) return false;
  DWORD type = GetFileType(handle);
  return type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE;
}

// A GUI program has no console of its own; it borrows its parent's, once.
HANDLE ParentConsole() {
  static HANDLE console = [] {
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return INVALID_HANDLE_VALUE;
    return CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
  }();
  return console;
}

void Write(DWORD which, const std::wstring& line) {
  std::wstring text = line + L"\r\n";
  HANDLE handle = GetStdHandle(which);
  DWORD written = 0;
  if (Redirected(handle)) {
    std::string bytes = Text::ToAnsi(text);
    WriteFile(handle, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
    return;
  }
  HANDLE console = ParentConsole();
  if (console != INVALID_HANDLE_VALUE) WriteConsoleW(console, text.data(), (DWORD)text.size(), &written, nullptr);
}

}  // namespace

void Out(const std::wstring& line) { Write(STD_OUTPUT_HANDLE, line); }
void Err(const std::wstring& line) { Write(STD_ERROR_HANDLE, line); }

}  // namespace Console
