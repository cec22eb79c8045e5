// The Task Scheduler of Windows Vista and later: tasks in its root folder,
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
// Registers the task under `name` with the principal its XML names, replacing a
// task of that name.
long Register(const std::wstring& name, const std::wstring& xml);
// NotFound when there is no such task.
long Delete(const std::wstring& name);
// The program the task's first action starts, as registered (quotes and all);
// NotFound when there is no such task.
long ActionPath(const std::wstring& name, std::wstring* path);

}  // namespace Tasks
