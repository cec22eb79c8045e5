#include "syscheck/checks/Winlogon.h"

#include "platform/Registry.h"
#include "syscheck/Detection.h"
#include "syscheck/ModuleBackup.h"

namespace Winlogon {

const wchar_t kKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
const wchar_t kShell[] = L"Shell";
const wchar_t kUserinit[] = L"Userinit";

namespace {

// A missing key is made, as the repair would make it: Windows always has one.
bool Read(const std::wstring& name, Reg::View view, Reg::Value* value) {
  Reg::Key key;
  return Reg::Create(Reg::LocalMachine, kKey, &key, view) == Reg::Ok && Reg::QueryValue(key, name, value) == Reg::Ok;
}

bool Write(const std::wstring& name, Reg::View view, const std::wstring& text) {
  Reg::Key key;
  return Reg::Create(Reg::LocalMachine, kKey, &key, view) == Reg::Ok && Reg::SetString(key, name, text) == Reg::Ok;
}

bool Repair(const Rule& rule, Reg::View view, const Reg::Value& shown, const std::wstring& subject) {
  if (!Reg::Holds(Reg::LocalMachine, kKey, shown, view)) return false;
  bool ended = rule.endPrograms(shown.Text(), subject);
  bool written = Write(rule.valueName, view, rule.restored);
  return ended && written;
}

void ExamineValueIn(const Rule& rule, Reg::View view) {
  Reg::Value value;
  std::wstring subject;
  if (!Read(rule.valueName, view, &value) || !rule.subjectOf(value.Text(), &subject)) return;
  Detection::Finding finding;
  finding.tag = rule.tag;
  finding.message = Detection::kMessage;
  finding.subject = subject;
  finding.keepsTrustList = true;
  finding.clean = [&rule, view, &value, &subject] { return Repair(rule, view, value, subject); };
  finding.places = {ModuleBackup::ValuePlace(Reg::LocalMachine, kKey, rule.valueName, view)};
  finding.view = view;
  Detection::Handle(finding);
}

}  // namespace

void ExamineValue(const Rule& rule) {
  for (Reg::View view : Reg::ViewsOf(Reg::LocalMachine, kKey)) ExamineValueIn(rule, view);
}

}  // namespace Winlogon
