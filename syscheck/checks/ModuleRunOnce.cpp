#include "syscheck/checks/ModuleRunOnce.h"

#include <string>

#include "syscheck/checks/ModuleAutoRun.h"
#include "syscheck/checks/ModuleSuspicious.h"

namespace ModuleRunOnce {

const Place kPlaces[4] = {
    {L"RRO", Reg::CurrentUser, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", false},
    {L"RRO", Reg::LocalMachine, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", false},
    {L"RPR", Reg::CurrentUser, L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run", true},
    {L"RPR", Reg::LocalMachine, L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer\\Run", true},
};

namespace {

bool IsFinding(const Place& place, const std::wstring& command) {
  using ModuleSuspicious::Reason;
  if (command.empty()) return false;
  Reason reason = place.fixed ? ModuleSuspicious::JudgeFixed(command, {}) : ModuleSuspicious::JudgeCommand(command);
  return reason != Reason::None;
}

void CheckTagged(const wchar_t* tag) {
  for (const Place& place : kPlaces)
    if (std::wstring(place.tag) == tag)
      ModuleAutoRun::ExamineRunKey(place.hive, place.subKey, place.tag,
                                   [&place](const std::wstring& command) { return IsFinding(place, command); });
}

}  // namespace

void CheckRunOnce() { CheckTagged(L"RRO"); }

void CheckPolicyRun() { CheckTagged(L"RPR"); }

}  // namespace ModuleRunOnce
