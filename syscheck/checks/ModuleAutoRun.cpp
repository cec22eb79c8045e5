#include "syscheck/checks/ModuleAutoRun.h"

#include <vector>

#include "platform/Text.h"
#include "platform/Toolkit.h"
#include "syscheck/Detection.h"
#include "syscheck/ModuleBackup.h"
#include "syscheck/checks/ModuleProcess.h"

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

void WalkRunKey(Reg::Root hive, const std::wstring& subKey, Reg::View view,
                const std::function<void(const RunValue& value)>& visit) {
  std::vector<Reg::Value> values;
  if (Reg::ReadValues(hive, subKey, &values, view) != Reg::Ok) return;
  for (const Reg::Value& value : values) visit({value, Text::Trim(value.Text())});
}

namespace {

bool CleanRunValue(Reg::Root hive, const std::wstring& subKey, Reg::View view, const RunValue& run) {
  // The user decided on the value shown; one changed meanwhile is not what they decided on.
  if (!Reg::Holds(hive, subKey, run.stored, view)) return false;
  bool ended = ModuleProcess::EndProgram(run.command);
  bool deleted = Reg::DeleteValue(hive, subKey, run.stored.name, view) == Reg::Ok;
  return ended && deleted;
}

void ExamineRunKeyIn(Reg::Root hive, const std::wstring& subKey, Reg::View view, const wchar_t* tag,
                     const std::function<bool(const std::wstring&)>& isFinding) {
  WalkRunKey(hive, subKey, view, [hive, &subKey, view, tag, &isFinding](const RunValue& run) {
    if (tk::Ending() || !isFinding(run.command)) return;
    Detection::Finding finding;
    finding.tag = tag;
    finding.message = Detection::kMessage;
    finding.subject = run.command;
    finding.keepsTrustList = true;
    finding.clean = [hive, &subKey, view, &run] { return CleanRunValue(hive, subKey, view, run); };
    finding.places = {ModuleBackup::ValuePlace(hive, subKey, run.stored.name, view)};
    finding.view = view;
    Detection::Handle(finding);
  });
}

}  // namespace

void ExamineRunKey(Reg::Root hive, const std::wstring& subKey) { ExamineRunKey(hive, subKey, L"RAR", IsFinding); }

void ExamineRunKey(Reg::Root hive, const std::wstring& subKey, const wchar_t* tag,
                   const std::function<bool(const std::wstring&)>& isFinding) {
  for (Reg::View view : Reg::ViewsOf(hive, subKey)) ExamineRunKeyIn(hive, subKey, view, tag, isFinding);
}

void CheckRunKeys() {
  for (const RunPlace& place : kRunPlaces) ExamineRunKey(place.hive, place.subKey);
}

}  // namespace ModuleAutoRun
