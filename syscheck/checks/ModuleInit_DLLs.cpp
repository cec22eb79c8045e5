#include "syscheck/checks/ModuleInit_DLLs.h"

#include "platform/Registry.h"
#include "syscheck/Detection.h"
#include "syscheck/ModuleBackup.h"

namespace ModuleInit_DLLs {

const wchar_t kKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const wchar_t kValue[] = L"AppInit_DLLs";

namespace {
// A list this short names no library.
constexpr size_t kHarmlessLength = 4;

bool Read(Reg::View view, Reg::Value* value) {
  Reg::Key key;
  return Reg::Open(Reg::LocalMachine, kKey, &key, view) == Reg::Ok && Reg::QueryValue(key, kValue, value) == Reg::Ok;
}

// Empties the list and keeps the value with its type; text keeps its terminating NUL.
bool Empty(Reg::View view, const Reg::Value& shown) {
  if (!Reg::Holds(Reg::LocalMachine, kKey, shown, view)) return false;
  Reg::Key key;
  if (Reg::Create(Reg::LocalMachine, kKey, &key, view) != Reg::Ok) return false;
  std::string empty = shown.IsText() ? std::string(sizeof(wchar_t), '\0') : std::string();
  return Reg::SetValue(key, kValue, shown.type, empty) == Reg::Ok;
}

void CheckIn(Reg::View view) {
  Reg::Value value;
  if (!Read(view, &value)) return;
  std::wstring list = value.Text();
  if (list.size() <= kHarmlessLength) return;
  Detection::Finding finding;
  finding.tag = L"RID";
  finding.message = Detection::kMessage;
  finding.subject = list;
  finding.keepsTrustList = true;
  finding.clean = [view, &value] { return Empty(view, value); };
  finding.places = {ModuleBackup::ValuePlace(Reg::LocalMachine, kKey, kValue, view)};
  finding.view = view;
  Detection::Handle(finding);
}

}  // namespace

void CheckAppInitDlls() {
  for (Reg::View view : Reg::ViewsOf(Reg::LocalMachine, kKey)) CheckIn(view);
}

}  // namespace ModuleInit_DLLs
