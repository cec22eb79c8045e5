#include "frame/ModuleSetAutoRun.h"

#include "common/SettingsStore.h"
#include "platform/Registry.h"
#include "platform/System.h"
#include "platform/Text.h"

namespace ModuleSetAutoRun {
namespace {

// The folder a Run command names: the path inside its quotes, or the whole text
// (older entries were written without quotes), up to the last backslash.
std::wstring FolderOf(const std::wstring& command) {
  std::wstring path = Text::Trim(command);
  if (!path.empty() && path[0] == L'"') {
    size_t close = path.find(L'"', 1);
    path = path.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1);
  }
  size_t slash = path.rfind(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// Only an entry of this copy of the program is ours to remove; one that names
// another folder belongs to another installation.
void RemoveOwnIn(Reg::Root root, Reg::View view, const std::wstring& folder) {
  Reg::Key key;
  Reg::Value value;
  if (Reg::Open(root, kRunKey, &key, view) != Reg::Ok || Reg::QueryValue(key, kValueName, &value) != Reg::Ok) return;
  if (!value.IsText() || Text::Lower(FolderOf(value.Text())) != Text::Lower(folder)) return;
  Reg::DeleteValue(key, kValueName);
}

// Also from the 32-bit view of a 64-bit Windows, where earlier versions wrote.
void RemoveOwn(Reg::Root root, const std::wstring& folder) {
  for (Reg::View view : Reg::ViewsOf(root, kRunKey)) RemoveOwnIn(root, view, folder);
}

// An entry an earlier 32-bit version left in the 32-bit view would start the
// program a second time at logon.
void RemoveOwnBesidesNative(Reg::Root root, const std::wstring& folder) {
  for (Reg::View view : Reg::ViewsOf(root, kRunKey))
    if (view != Reg::NativeView()) RemoveOwnIn(root, view, folder);
}

// The view Windows itself reads its Run entries from.
long Write(Reg::Root root, const std::wstring& command) {
  Reg::Key key;
  long rc = Reg::Create(root, kRunKey, &key, Reg::NativeView());
  if (rc != Reg::Ok) return rc;
  return Reg::SetString(key, kValueName, command);
}

}  // namespace

std::wstring RunCommand(const std::wstring& folder) { return L"\"" + folder + L"\\Quorrel2006.exe\""; }

void SetAutoRun() {
  std::wstring folder = System::ProgramFolder();
  if (folder.empty()) return;
  if (!SettingsStore::IsOn(SettingsStore::kCheckAutoRun)) {
    RemoveOwn(Reg::LocalMachine, folder);
    RemoveOwn(Reg::CurrentUser, folder);
    return;
  }
  // One entry is enough: the machine's starts the program for this user as well.
  if (Write(Reg::LocalMachine, RunCommand(folder)) == Reg::Ok) {
    RemoveOwnBesidesNative(Reg::LocalMachine, folder);
    RemoveOwn(Reg::CurrentUser, folder);
    return;
  }
  if (Write(Reg::CurrentUser, RunCommand(folder)) == Reg::Ok) RemoveOwnBesidesNative(Reg::CurrentUser, folder);
}

}  // namespace ModuleSetAutoRun
