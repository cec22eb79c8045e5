#include "syscheck/checks/ModuleBHO.h"

#include <string>
#include <vector>

#include "platform/Registry.h"
#include "syscheck/checks/ModuleInprocServers.h"

namespace ModuleBHO {

const wchar_t kBrowserHelperObjects[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\Browser Helper Objects";

namespace {

// An object's subkey may hold subkeys of its own; the whole tree goes, or the
// object stays registered.
bool RemoveObject(const std::wstring& classId, Reg::View view) {
  if (!ModuleInprocServers::Nameable(classId)) return false;
  return Reg::DeleteTree(Reg::LocalMachine, std::wstring(kBrowserHelperObjects) + L"\\" + classId, view) == Reg::Ok;
}

// An identifier no path can name has no place: its removal fails before any change.
std::vector<ModuleBackup::Place> ObjectPlaces(const std::wstring& classId, Reg::View view) {
  if (!ModuleInprocServers::Nameable(classId)) return {};
  return {ModuleBackup::KeyPlace(Reg::LocalMachine, std::wstring(kBrowserHelperObjects) + L"\\" + classId, view)};
}

void CheckIn(Reg::View view) {
  std::vector<std::wstring> classIds;
  if (Reg::ReadSubkeys(Reg::LocalMachine, kBrowserHelperObjects, &classIds, view) != Reg::Ok) return;
  ModuleInprocServers::AskAboutEach(
      L"RBHO", view, classIds, [view](const std::wstring& classId) { return RemoveObject(classId, view); },
      [view](const std::wstring& classId) { return ObjectPlaces(classId, view); });
}

}  // namespace

void CheckBrowserHelperObjects() {
  for (Reg::View view : Reg::ViewsOf(Reg::LocalMachine, kBrowserHelperObjects)) CheckIn(view);
}

}  // namespace ModuleBHO
