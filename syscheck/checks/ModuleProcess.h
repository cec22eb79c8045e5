// The memory check: running processes against the process-name list, and
// ending the processes of the program an autostart entry starts.
#pragma once
#include <string>

#include "platform/Processes.h"

namespace ModuleProcess {

// Upper-cased first 32767 bytes of "\blkt.dat"; empty when it cannot be read.
std::wstring ReadProcessNameList();
// The image name up to and including its first ".", or "系统进程" without one.
std::wstring NameStem(const std::wstring& imageName);
void CheckMemory();
// True for the processes whose end stops or restarts Windows, and the shell: one
// named like them whose image is the system's own file (in System32 or SysWOW64,
// the shell in the Windows folder), or whose image the system does not tell. One
// so named anywhere else is an impostor and may be ended.
bool IsCritical(const Processes::Entry& entry);
// The file a command line starts, as Windows finds it: a quoted path up to its
// closing quote; unquoted, the shortest prefix ending before a space that names an
// existing file, else the text up to the first space. Environment variables are
// expanded, a name without an extension gets ".exe", and a full path is resolved
// ("." and ".." gone, short names long). Empty when the command names no file
// (empty, or ending in a backslash).
std::wstring ProgramFile(const std::wstring& command);
// Ends every process (but this one, and the critical ones) whose image is the
// program file of a part of `command` (parts joined by " | " are commands of their
// own), letter case ignored: the resolved full paths compared where the system
// gives the process's path, else the file names. A program without a folder
// matches by its file name, a relative one by the end of the path. False when a
// matching process survived.
bool EndProgram(const std::wstring& command);

}  // namespace ModuleProcess
