#include "syscheck/ModuleShellExecuteHooks.h"

#include <string>
#include <vector>

#include "platform/Registry.h"
#include "syscheck/ModuleInprocServers.h"

namespace ModuleShellExecuteHooks {

const wchar_t kShellExecuteHooks[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\ShellExecuteHooks";

namespace {

bool RemoveHook(const std::wstring& classId) {
  return Reg::DeleteValue(Reg::LocalMachine, kShellExecuteHooks, classId) == Reg::Ok;
}

std::vector<ModuleBackup::Place> HookPlaces(const std::wstring& classId) {
  return {ModuleBackup::ValuePlace(Reg::LocalMachine, kShellExecuteHooks, classId)};
}

}  // namespace

void CheckShellExecuteHooks() {
  std::vector<Reg::Value> values;
  if (Reg::ReadValues(Reg::LocalMachine, kShellExecuteHooks, &values) != Reg::Ok) return;
  std::vector<std::wstring> classIds;
  for (const Reg::Value& value : values) classIds.push_back(value.name);
  ModuleInprocServers::AskAboutEach(L"RESH", classIds, RemoveHook, HookPlaces);
}

}  // namespace ModuleShellExecuteHooks
