// The memory check: running processes against the process-name list, and
// ending processes by program name.
#pragma once
#include <string>

namespace ModuleProcess {

// Upper-cased first 32767 bytes of "\blkt.dat"; empty when it cannot be read.
std::wstring ReadProcessNameList();
// The image name up to and including its first ".", or "系统进程" without one.
std::wstring NameStem(const std::wstring& imageName);
void CheckMemory();
// True for the processes whose end stops or restarts Windows, and the shell.
bool IsCritical(const std::wstring& image);
// Ends every process (but this one) whose image name contains `name` or is
// contained in it, letter case ignored; critical processes never match. False
// when a matching process survived.
bool KillProcessByName(const std::wstring& name);

}  // namespace ModuleProcess
