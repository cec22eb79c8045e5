#include "syscheck/checks/ModuleShellExecuteHooks.h"

#include <string>
#include <vector>

#include "platform/Registry.h"
#include "syscheck/checks/ModuleInprocServers.h"

namespace ModuleShellExecuteHooks {

const wchar_t kShellExecuteHooks[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\ShellExecuteHooks";

namespace {

bool RemoveHook(const std::wstring& classId, Reg::View view) {
  return Reg::DeleteValue(Reg::LocalMachine, kShellExecuteHooks, classId, view) == Reg::Ok;
}

std::vector<ModuleBackup::Place> HookPlaces(const std::wstring& classId, Reg::View view) {
  return {ModuleBackup::ValuePlace(Reg::LocalMachine, kShellExecuteHooks, classId, view)};
}

void CheckIn(Reg::View view) {
  std::vector<Reg::Value> values;
  if (Reg::ReadValues(Reg::LocalMachine, kShellExecuteHooks, &values, view) != Reg::Ok) return;
  std::vector<std::wstring> classIds;
  for (const Reg::Value& value : values) classIds.push_back(value.name);
  ModuleInprocServers::AskAboutEach(
      L"RESH", view, classIds, [view](const std::wstring& classId) { return RemoveHook(classId, view); },
      [view](const std::wstring& classId) { return HookPlaces(classId, view); });
}

}  // namespace

void CheckShellExecuteHooks() {
  for (Reg::View view : Reg::ViewsOf(Reg::LocalMachine, kShellExecuteHooks)) CheckIn(view);
}

}  // namespace ModuleShellExecuteHooks
