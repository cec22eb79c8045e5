// Scheduled tasks: the programs the task files under System32\Tasks start, in
// every folder of it, judged by the shared rules of the further places. CLEAN
// removes the task from the scheduler and its file, backed up first; a task that
// runs is not stopped.
#pragma once
#include <string>

namespace ModuleTasks {

// The report line after CLEAN of a task the scheduler says is running.
constexpr wchar_t kStillRunning[] = L"（任务仍在运行，重新启动计算机后清除生效）";

// The folder of the task files in the real System32, also for the 32-bit build.
std::wstring TasksFolder();
// The scheduler's path of the task a file under TasksFolder holds ("\Folder\Name");
// empty for any other file, and for a path that could lead out of the folder.
std::wstring TaskPathOf(const std::wstring& file);

// Whether the scheduler says the task runs now; tests put a stand-in here.
extern bool (*TaskRuns)(const std::wstring& taskPath);

void CheckScheduledTasks();

}  // namespace ModuleTasks
