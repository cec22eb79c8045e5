#include "syscheck/checks/ModuleTasks.h"

#include <vector>

#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/System.h"
#include "platform/Tasks.h"
#include "platform/Text.h"
#include "platform/Toolkit.h"
#include "syscheck/Detection.h"
#include "syscheck/ModuleBackup.h"
#include "syscheck/checks/ModuleSuspicious.h"
#include "syscheck/checks/TaskXml.h"

namespace ModuleTasks {
namespace {

// A task file of Windows holds a few kilobytes; anything past this is no task.
constexpr size_t kLargestFile = 4u << 20;

struct TaskFile {
  std::wstring file;  // under TasksFolder
  std::wstring task;  // the scheduler's path of it
  std::vector<TaskXml::Action> actions;
};

bool Scheduled(const std::wstring& taskPath) {
  bool running = false;
  return Tasks::Running(taskPath, &running) == Tasks::Ok && running;
}

// Called with the real System32 in reach.
std::vector<TaskXml::Action> ReadActions(const std::wstring& file) {
  std::string bytes;
  if (!Files::ReadHead(file, kLargestFile + 1, &bytes) || bytes.size() > kLargestFile) return {};
  return TaskXml::ExecActions(bytes);
}

// Every task file that starts a program, read whole before anything is asked: a
// removal never makes the walk skip a file, and nothing is loaded while the
// 32-bit build looks past its redirected System32.
std::vector<TaskFile> ReadTaskFiles() {
  std::vector<TaskFile> found;
  Files::RealSystemFolder real;
  std::vector<std::wstring> folders = {TasksFolder()};
  for (size_t i = 0; i < folders.size(); i++) {
    Folders::Entry entry;
    Folders::Listing listing = Folders::First(folders[i], L"\\*", &entry);
    for (bool more = (bool)listing; more; more = Folders::Next(listing, &entry)) {
      if (entry.name == L"." || entry.name == L"..") continue;
      std::wstring path = folders[i] + L"\\" + entry.name;
      if (entry.attributes & Folders::kDirectory) {
        if (!(entry.attributes & Folders::kReparsePoint)) folders.push_back(path);  // a link may lead in a circle
        continue;
      }
      std::wstring task = TaskPathOf(path);
      std::vector<TaskXml::Action> actions = task.empty() ? std::vector<TaskXml::Action>() : ReadActions(path);
      if (!actions.empty()) found.push_back({path, task, actions});
    }
  }
  return found;
}

// The user decided on the action shown; a file changed meanwhile is not what they decided on.
bool StillStarts(const TaskFile& task, const TaskXml::Action& action) {
  Files::RealSystemFolder real;
  for (const TaskXml::Action& now : ReadActions(task.file))
    if (now == action) return true;
  return false;
}

// Through the scheduler where there is one, and then the file: Wine keeps its
// tasks as files alone, and a file left behind would be found again.
bool Remove(const TaskFile& task) {
  long rc = Tasks::Delete(task.task);
  if (rc != Tasks::Ok && rc != Tasks::NotFound && Tasks::Available() == Tasks::Ok) return false;
  Files::RealSystemFolder real;
  unsigned long error = 0;
  return Files::Remove(task.file, &error) || !Files::Exists(task.file);
}

// True when the task is gone: its other actions have nothing left to ask about.
bool Examine(const TaskFile& task, const TaskXml::Action& action) {
  std::wstring command = TaskXml::CommandLine(action);
  if (ModuleSuspicious::JudgeCommand(command) == ModuleSuspicious::Reason::None) return false;
  Detection::Finding finding;
  finding.tag = L"RST";
  finding.message = Detection::kMessage;
  finding.subject = command;
  finding.reportSubject = task.task + L": " + command;
  finding.keepsTrustList = true;
  // A task removed while it runs goes on until the computer restarts: the line
  // after the CLEAN says so, and only when the CLEAN removed it.
  finding.clean = [&finding, task, action] {
    bool running = TaskRuns(task.task);
    if (!StillStarts(task, action) || !Remove(task)) return false;
    if (running) finding.cleanedSubject = finding.reportSubject + kStillRunning;
    return true;
  };
  finding.places = {ModuleBackup::TaskPlace(task.file)};
  return Detection::Handle(finding) == Detection::Outcome::Cleaned;
}

}  // namespace

bool (*TaskRuns)(const std::wstring& taskPath) = Scheduled;

std::wstring TasksFolder() {
  std::vector<std::wstring> system = System::SystemFolders();
  return system.empty() ? std::wstring() : system[0] + L"\\Tasks";
}

std::wstring TaskPathOf(const std::wstring& file) {
  const std::wstring tasks = TasksFolder(), folder = tasks + L"\\";
  if (tasks.empty() || file.size() <= folder.size() ||
      Text::Lower(file.substr(0, folder.size())) != Text::Lower(folder))
    return {};
  std::wstring rest = file.substr(folder.size());
  for (size_t start = 0; start <= rest.size();) {
    size_t slash = rest.find(L'\\', start);
    if (slash == std::wstring::npos) slash = rest.size();
    if (!Files::IsPlainName(rest.substr(start, slash - start))) return {};
    start = slash + 1;
  }
  return L"\\" + rest;
}

void CheckScheduledTasks() {
  for (const TaskFile& task : ReadTaskFiles()) {
    for (const TaskXml::Action& action : task.actions) {
      if (tk::Ending()) return;
      if (Examine(task, action)) break;
    }
  }
}

}  // namespace ModuleTasks
