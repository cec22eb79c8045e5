// The Task Scheduler of Windows Vista and later: tasks in its folders,
// registered from their XML text. Results are the system's HRESULTs; a failing
// call leaves its output untouched.
#pragma once
#include <string>

namespace Tasks {

constexpr long Ok = 0;
// No task of that name (HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)).
constexpr long NotFound = static_cast<long>(0x80070002);

// Whether the scheduler can be reached at all (not before Windows Vista): Ok, or
// the code of the step that failed.
long Available();
// A task is named by its path: "\Folder\Name" in a folder (the folders above it
// are made by Register), "Name" or "\Name" in the root folder.
enum class Logon {
  Interactive,  // runs in the session of the user its XML names, while logged on
  AsWritten,    // runs as the principal and logon its XML name (a task put back)
};
// Registers the task from its XML text, replacing a task of that path.
long Register(const std::wstring& path, const std::wstring& xml, Logon logon = Logon::Interactive);
// NotFound when there is no such task.
long Delete(const std::wstring& path);
// The program the task's first action starts, as registered (quotes and all);
// NotFound when there is no such task.
long ActionPath(const std::wstring& path, std::wstring* program);
// Whether the task runs now, as the scheduler says.
long Running(const std::wstring& path, bool* running);

}  // namespace Tasks
