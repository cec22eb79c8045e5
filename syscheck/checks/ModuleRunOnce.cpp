#include "syscheck/checks/ModuleRunOnce.h"

#include <string>

#include "platform/Toolkit.h"
#include "syscheck/Detection.h"
#include "syscheck/ModuleBackup.h"
#include "syscheck/checks/ModuleAutoRun.h"
#include "syscheck/checks/ModuleProcess.h"
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
  Reason reason = place.fixed ? ModuleSuspicious::JudgeFixed(command, {}) : ModuleSuspicious::JudgeCommand(command);
  return reason != Reason::None;
}

bool CleanValue(const Place& place, Reg::View view, const ModuleAutoRun::RunValue& run) {
  // The user decided on the value shown; one changed meanwhile is not what they decided on.
  if (!Reg::Holds(place.hive, place.subKey, run.stored, view)) return false;
  bool ended = ModuleProcess::EndProgram(run.command);
  bool deleted = Reg::DeleteValue(place.hive, place.subKey, run.stored.name, view) == Reg::Ok;
  return ended && deleted;
}

void ExamineIn(const Place& place, Reg::View view) {
  ModuleAutoRun::WalkRunKey(place.hive, place.subKey, view, [&place, view](const ModuleAutoRun::RunValue& run) {
    if (tk::Ending() || run.command.empty() || !IsFinding(place, run.command)) return;
    Detection::Finding finding;
    finding.tag = place.tag;
    finding.message = Detection::kMessage;
    finding.subject = run.command;
    finding.keepsTrustList = true;
    finding.clean = [&place, view, &run] { return CleanValue(place, view, run); };
    finding.places = {ModuleBackup::ValuePlace(place.hive, place.subKey, run.stored.name, view)};
    finding.view = view;
    Detection::Handle(finding);
  });
}

void CheckTagged(const wchar_t* tag) {
  for (const Place& place : kPlaces) {
    if (std::wstring(place.tag) != tag) continue;
    for (Reg::View view : Reg::ViewsOf(place.hive, place.subKey)) ExamineIn(place, view);
  }
}

}  // namespace

void CheckRunOnce() { CheckTagged(L"RRO"); }

void CheckPolicyRun() { CheckTagged(L"RPR"); }

}  // namespace ModuleRunOnce
