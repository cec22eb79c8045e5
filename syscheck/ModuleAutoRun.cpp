#include "syscheck/ModuleAutoRun.h"

#include <vector>

#include "platform/Text.h"
#include "platform/Toolkit.h"
#include "syscheck/Detection.h"
#include "syscheck/ModuleBackup.h"
#include "syscheck/ModuleProcess.h"

namespace ModuleAutoRun {

const RunPlace kRunPlaces[4] = {
    {Reg::CurrentUser, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
    {Reg::CurrentUser, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunServices"},
    {Reg::LocalMachine, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
    {Reg::LocalMachine, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunServices"},
};

bool IsFinding(const std::wstring& command) {
  return command.find(L"\\WINNT\\") != std::wstring::npos || command.find(L"\\WINDOWS\\") != std::wstring::npos;
}

std::wstring ProgramName(const std::wstring& command) {
  size_t slash = command.rfind(L'\\');
  return slash == std::wstring::npos ? command : command.substr(slash + 1);
}

void WalkRunKey(Reg::Root hive, const std::wstring& subKey, const std::function<void(const RunValue& value)>& visit) {
  std::vector<Reg::Value> values;
  if (Reg::ReadValues(hive, subKey, &values) != Reg::Ok) return;
  for (const Reg::Value& value : values) visit({value, Text::Trim(value.Text())});
}

namespace {

bool CleanRunValue(Reg::Root hive, const std::wstring& subKey, const RunValue& run) {
  // The user decided on the value shown; one changed meanwhile is not what they decided on.
  if (!Reg::Holds(hive, subKey, run.stored)) return false;
  std::wstring program = ProgramName(run.command);
  bool ended = program.empty() || ModuleProcess::KillProcessByName(program);
  bool deleted = Reg::DeleteValue(hive, subKey, run.stored.name) == Reg::Ok;
  return ended && deleted;
}

}  // namespace

void ExamineRunKey(Reg::Root hive, const std::wstring& subKey) {
  WalkRunKey(hive, subKey, [hive, &subKey](const RunValue& run) {
    if (tk::Ending() || !IsFinding(run.command)) return;
    Detection::Finding finding;
    finding.tag = L"RAR";
    finding.message = Detection::kMessage;
    finding.subject = run.command;
    finding.keepsTrustList = true;
    finding.clean = [hive, &subKey, &run] { return CleanRunValue(hive, subKey, run); };
    finding.places = {ModuleBackup::ValuePlace(hive, subKey, run.stored.name)};
    Detection::Handle(finding);
  });
}

void CheckRunKeys() {
  for (const RunPlace& place : kRunPlaces) ExamineRunKey(place.hive, place.subKey);
}

}  // namespace ModuleAutoRun
