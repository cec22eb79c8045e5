#include "syscheck/checks/ModuleStartupFolders.h"

#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/Registry.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "platform/Toolkit.h"
#include "syscheck/Detection.h"
#include "syscheck/ModuleBackup.h"
#include "syscheck/checks/ModuleShortcut.h"
#include "syscheck/checks/ModuleSuspicious.h"

namespace ModuleStartupFolders {
namespace {

const wchar_t kShellFolders[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const wchar_t kTag[] = L"RSF";
// Shortcuts are small; anything larger is no link Windows would start.
constexpr size_t kLargestShortcut = 1u << 20;
// What Windows starts as a program or script when it opens the file. Other files
// open in a viewer (a text, a picture) and start nothing of their own.
const wchar_t* const kRunnable[] = {L".exe", L".com", L".bat", L".cmd", L".pif", L".scr", L".vbs", L".vbe", L".js",
                                    L".jse", L".wsf", L".wsh", L".ps1", L".hta", L".msi", L".cpl", L".jar"};

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
  return text.size() >= tail.size() && Text::Lower(text.substr(text.size() - tail.size())) == tail;
}

std::wstring Normal(std::wstring folder) {
  folder = Text::Trim(folder);
  while (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();
  return folder;
}

void AddOnce(std::vector<std::wstring>* folders, const std::wstring& folder) {
  std::wstring normal = Normal(folder);
  if (normal.empty()) return;
  for (const std::wstring& known : *folders)
    if (Text::Lower(known) == Text::Lower(normal)) return;
  folders->push_back(normal);
}

// The shell-folder setting `name` of the hive, in each registry view.
void AddSetting(std::vector<std::wstring>* folders, Reg::Root hive, const wchar_t* name) {
  for (Reg::View view : Reg::ViewsOf(hive, kShellFolders)) {
    std::vector<Reg::Value> values;
    if (Reg::ReadValues(hive, kShellFolders, &values, view) != Reg::Ok) continue;
    for (const Reg::Value& value : values)
      if (Text::Lower(value.name) == Text::Lower(name) && value.IsText())
        AddOnce(folders, System::ExpandEnvironment(value.Text()));
  }
}

std::wstring Quoted(const std::wstring& path) { return L"\"" + path + L"\""; }

// The command a shortcut starts, "" when it names no file.
std::wstring ShortcutCommand(const std::wstring& folder, const std::wstring& path) {
  std::string bytes;
  ModuleShortcut::Shortcut shortcut;
  if (!Files::ReadHead(path, kLargestShortcut, &bytes) || !ModuleShortcut::Read(bytes, folder, &shortcut)) return {};
  if (shortcut.target.empty()) return {};
  return shortcut.arguments.empty() ? Quoted(shortcut.target) : Quoted(shortcut.target) + L" " + shortcut.arguments;
}

bool IsRunnable(const std::wstring& name) {
  for (const wchar_t* extension : kRunnable)
    if (EndsWith(name, extension)) return true;
  return false;
}

void Ask(const std::wstring& path, const std::wstring& subject) {
  Detection::Finding finding;
  finding.tag = kTag;
  finding.message = Detection::kMessage;
  finding.subject = subject;
  finding.keepsTrustList = true;
  finding.clean = [path] {
    std::wstring literal;
    unsigned long error = 0;
    return Files::LiteralPath(path, &literal) && Files::Remove(literal, &error);
  };
  finding.places = {ModuleBackup::FilePlace(path)};
  Detection::Handle(finding);
}

void ExamineFile(const std::wstring& folder, const std::wstring& name) {
  std::wstring path = folder + L"\\" + name, literal;
  if (!Files::LiteralPath(path, &literal)) return;
  if (EndsWith(name, L".lnk")) {
    std::wstring command = ShortcutCommand(folder, literal);
    if (!command.empty() && ModuleSuspicious::JudgeCommand(command) != ModuleSuspicious::Reason::None)
      Ask(path, path + L" -> " + command);
    return;
  }
  if (IsRunnable(name) && ModuleSuspicious::JudgeFile(path) != ModuleSuspicious::Reason::None) Ask(path, path);
}

// The files right inside the folder, read first: a removal never makes the walk skip one.
void ExamineFolder(const std::wstring& folder) {
  std::vector<std::wstring> names;
  Folders::Entry entry;
  Folders::Listing listing = Folders::First(folder, L"\\*", &entry);
  for (bool more = (bool)listing; more; more = Folders::Next(listing, &entry))
    if (!(entry.attributes & Folders::kDirectory)) names.push_back(entry.name);
  for (const std::wstring& name : names) {
    if (tk::Ending()) return;
    ExamineFile(folder, name);
  }
}

}  // namespace

std::vector<std::wstring> Folders() {
  std::vector<std::wstring> folders;
  AddOnce(&folders, System::ExpandEnvironment(L"%APPDATA%\\Microsoft\\Windows\\Start Menu\\Programs\\Startup"));
  AddSetting(&folders, Reg::CurrentUser, L"Startup");
  AddOnce(&folders, System::ExpandEnvironment(L"%ProgramData%\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp"));
  AddSetting(&folders, Reg::LocalMachine, L"Common Startup");
  // A variable that is not set stays as it is written: no folder.
  std::vector<std::wstring> real;
  for (const std::wstring& folder : folders)
    if (folder.find(L'%') == std::wstring::npos) real.push_back(folder);
  return real;
}

void CheckStartupFolders() {
  for (const std::wstring& folder : Folders()) {
    if (tk::Ending()) return;
    ExamineFolder(folder);
  }
}

bool IsStartupItem(const std::wstring& path) {
  size_t slash = path.rfind(L'\\');
  if (slash == std::wstring::npos) return false;
  // One plain name: no stream, no step out of the folder.
  if (!Files::IsPlainName(path.substr(slash + 1))) return false;
  std::wstring folder = Text::Lower(path.substr(0, slash));
  for (const std::wstring& known : Folders())
    if (Text::Lower(known) == folder) return true;
  return false;
}

}  // namespace ModuleStartupFolders
