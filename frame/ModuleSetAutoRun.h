// Start with Windows: the Run value "Quorrel", kept in step with the option
// CheckAutoRun at every start and after the settings dialog's OK.
#pragma once
#include <string>

namespace ModuleSetAutoRun {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kValueName[] = L"Quorrel";

// The Run value's data for a program folder: the path of "Quorrel2006.exe" in double
// quotes, so that a folder with spaces cannot make Windows start another program.
std::wstring RunCommand(const std::wstring& folder);
// Option on: enters the program in the machine's Run key (the view Windows reads),
// or in the current user's where the machine's cannot be written, and removes the
// program's own entries (those naming its folder) from the other views and places.
// Option off: removes them all. Failures are passed over.
void SetAutoRun();

}  // namespace ModuleSetAutoRun
