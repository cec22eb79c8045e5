#include "frame/ModuleSetAutoRun.h"

#include "common/SettingsStore.h"
#include "platform/Registry.h"
#include "platform/System.h"
#include "platform/Tasks.h"
#include "platform/Text.h"

namespace ModuleSetAutoRun {
namespace {

constexpr wchar_t kProgramName[] = L"Quorrel2006.exe";

// The path inside its quotes, or the whole text (older entries were written without quotes).
std::wstring Unquoted(const std::wstring& command) {
  std::wstring path = Text::Trim(command);
  if (path.empty() || path[0] != L'"') return path;
  size_t close = path.find(L'"', 1);
  return path.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1);
}

// The folder a Run command names, up to the last backslash.
std::wstring FolderOf(const std::wstring& command) {
  std::wstring path = Unquoted(command);
  size_t slash = path.rfind(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring XmlText(const std::wstring& text) {
  std::wstring escaped;
  for (wchar_t c : text) {
    if (c == L'&')
      escaped += L"&amp;";
    else if (c == L'<')
      escaped += L"&lt;";
    else if (c == L'>')
      escaped += L"&gt;";
    else
      escaped += c;
  }
  return escaped;
}

// Only an entry of this copy of the program is ours to remove; one that names
// another folder belongs to another installation. Nothing there is no failure.
long RemoveOwnIn(Reg::Root root, Reg::View view, const std::wstring& folder) {
  Reg::Key key;
  Reg::Value value;
  if (Reg::Open(root, kRunKey, &key, view) != Reg::Ok || Reg::QueryValue(key, kValueName, &value) != Reg::Ok)
    return Reg::Ok;
  if (!value.IsText() || Text::Lower(FolderOf(value.Text())) != Text::Lower(folder)) return Reg::Ok;
  return Reg::DeleteValue(key, kValueName);
}

// From every view: earlier 32-bit versions wrote in the 32-bit one. The first refusal is the result.
long RemoveOwn(Reg::Root root, const std::wstring& folder) {
  long first = Reg::Ok;
  for (Reg::View view : Reg::ViewsOf(root, kRunKey)) {
    long rc = RemoveOwnIn(root, view, folder);
    if (first == Reg::Ok) first = rc;
  }
  return first;
}

// The view Windows itself reads its Run entries from.
long WriteUserRun(const std::wstring& folder) {
  Reg::Key key;
  long rc = Reg::Create(Reg::CurrentUser, kRunKey, &key, Reg::NativeView());
  if (rc != Reg::Ok) return rc;
  return Reg::SetString(key, kValueName, RunCommand(folder));
}

long RemoveUserTask(const std::wstring& sid) {
  long rc = Tasks::Delete(UserTaskName(sid));
  return rc == Tasks::NotFound ? Tasks::Ok : rc;
}

// The setup's task starts this copy for everybody; one that cannot be read covers nobody.
bool CoveredForAllUsers(const std::wstring& folder) {
  std::wstring path;
  return Tasks::ActionPath(kAllUsersTask, &path) == Tasks::Ok && StartsProgramIn(path, folder);
}

// The user's own task and Run value, or the first refusal.
long Leave(const std::wstring& folder, const std::wstring& sid, bool scheduler) {
  long task = scheduler && !sid.empty() ? RemoveUserTask(sid) : Tasks::Ok;
  long run = RemoveOwn(Reg::CurrentUser, folder);
  return task != Tasks::Ok ? task : run;
}

long Enter(const std::wstring& folder, const std::wstring& sid, bool scheduler) {
  if (!scheduler || sid.empty()) return WriteUserRun(folder);
  if (CoveredForAllUsers(folder)) return Leave(folder, sid, scheduler);
  long rc = Tasks::Register(UserTaskName(sid), UserTaskXml(folder, sid));
  if (rc != Tasks::Ok) return rc;
  return RemoveOwn(Reg::CurrentUser, folder);  // Windows would start the program twice
}

}  // namespace

std::wstring RunCommand(const std::wstring& folder) { return L"\"" + folder + L"\\" + kProgramName + L"\""; }

std::wstring UserTaskName(const std::wstring& sid) { return L"Quorrel-" + sid; }

std::wstring UserTaskXml(const std::wstring& folder, const std::wstring& sid) {
  const std::wstring user = L"<UserId>" + XmlText(sid) + L"</UserId>";
  return L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
         L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n"
         L"  <Triggers><LogonTrigger><Enabled>true</Enabled>" +
         user +
         L"</LogonTrigger></Triggers>\r\n"
         L"  <Principals><Principal id=\"Author\">" +
         user +
         L"<LogonType>InteractiveToken</LogonType><RunLevel>HighestAvailable</RunLevel></Principal></Principals>\r\n"
         L"  <Settings><MultipleInstancesPolicy>IgnoreNew</MultipleInstancesPolicy>"
         L"<DisallowStartIfOnBatteries>false</DisallowStartIfOnBatteries>"
         L"<StopIfGoingOnBatteries>false</StopIfGoingOnBatteries>"
         L"<ExecutionTimeLimit>PT0S</ExecutionTimeLimit><Enabled>true</Enabled></Settings>\r\n"
         L"  <Actions Context=\"Author\"><Exec><Command>" +
         XmlText(folder + L"\\" + kProgramName) + L"</Command><Arguments>" + kLogonArgument +
         L"</Arguments></Exec></Actions>\r\n"
         L"</Task>\r\n";
}

bool StartsProgramIn(const std::wstring& path, const std::wstring& folder) {
  const std::wstring program = Unquoted(path);
  return Text::Lower(FolderOf(program)) == Text::Lower(folder) &&
         Text::Lower(program.substr(program.rfind(L'\\') + 1)) == Text::Lower(kProgramName);
}

Result SetAutoRun() {
  const std::wstring folder = System::ProgramFolder();
  if (folder.empty()) return {};
  // Refused to a user without administrative rights; an administrator's start removes them.
  RemoveOwn(Reg::LocalMachine, folder);
  const std::wstring sid = System::CurrentUserSid();
  const bool scheduler = Tasks::Available() == Tasks::Ok;
  if (SettingsStore::IsOn(SettingsStore::kCheckAutoRun)) {
    long rc = Enter(folder, sid, scheduler);
    return rc == Reg::Ok ? Result{} : Result{Failed::Setting, (unsigned long)rc};
  }
  long rc = Leave(folder, sid, scheduler);
  return rc == Reg::Ok ? Result{} : Result{Failed::Removing, (unsigned long)rc};
}

}  // namespace ModuleSetAutoRun
