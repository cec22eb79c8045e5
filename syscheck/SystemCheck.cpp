#include "syscheck/SystemCheck.h"

#include "common/SettingsStore.h"
#include "report/FormReport.h"
#include "syscheck/Detection.h"
#include "syscheck/FormScanIng.h"
#include "syscheck/checks/Checks.h"

namespace SystemCheck {
namespace {

bool CheckRunning;

void Conclude(tk::Form& owner) {
  bool found = FormReport::HasFindings();
  if (found && SettingsStore::IsOn(SettingsStore::kCheckShowReportAfterScan)) {
    tk::Show(owner);  // the report comes with the window, also when it was sent to the tray meanwhile
    tk::ShowModal(FormReport::Get(), &owner);
  } else if (!found)
    tk::MsgBox(owner, L"系统安全,未发现任何病毒木马！", tk::Icon::Information);
}

}  // namespace

bool Running() { return CheckRunning; }

void RunSystemCheck(tk::Form& owner) {
  if (CheckRunning || tk::Ending()) return;
  CheckRunning = true;
  Detection::Owner = &owner;
  FormScanIng::ShowModal(owner);
  for (const Checks::Check& check : Checks::InOrder()) {
    if (tk::Ending()) break;
    check.run();
  }
  if (!tk::Ending()) Conclude(owner);
  CheckRunning = false;
}

}  // namespace SystemCheck
