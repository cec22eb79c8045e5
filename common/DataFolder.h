// Where the program keeps the files it writes: the trust list "Allow.dat", the
// saved reports in "log\" and the backups in "backup\".
#pragma once
#include <string>

namespace DataFolder {

// Beside the program when this user may write there (a copy run from a folder of
// its own, or an administrator's run of the installed program); otherwise the
// user's own "%LOCALAPPDATA%\Zorvane": a standard user never writes into Program
// Files. Decided once a run, without a trailing backslash.
std::wstring Path();
bool IsBesideProgram();
// Path() + "\" + name.
std::wstring File(const std::wstring& name);
// Makes the data folder, and `sub` inside it, where they are missing. False when
// the folder asked for is not there after.
bool Make(const std::wstring& sub = {});

}  // namespace DataFolder
