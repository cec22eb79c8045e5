#include "syscheck/SystemCheck.h"

#include "common/SettingsStore.h"
#include "report/FormReport.h"
#include "syscheck/Detection.h"
#include "syscheck/FormScanIng.h"
#include "syscheck/ModuleAutoRun.h"
#include "syscheck/ModuleBHO.h"
#include "syscheck/ModuleExplorerShell.h"
#include "syscheck/ModuleFileUnion.h"
#include "syscheck/ModuleInit_DLLs.h"
#include "syscheck/ModuleProcess.h"
#include "syscheck/ModuleShellExecuteHooks.h"
#include "syscheck/ModuleUserInit.h"

namespace SystemCheck {
namespace {

bool CheckRunning;

// The checks in the order they run.
void (*const kChecks[])() = {
    ModuleProcess::CheckMemory,
    ModuleAutoRun::CheckRunKeys,
    ModuleFileUnion::CheckFileAssociations,
    ModuleExplorerShell::CheckExplorerShell,
    ModuleUserInit::CheckUserInit,
    ModuleBHO::CheckBrowserHelperObjects,
    ModuleShellExecuteHooks::CheckShellExecuteHooks,
    ModuleInit_DLLs::CheckAppInitDlls,
};

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
  for (auto check : kChecks) {
    if (tk::Ending()) break;
    check();
  }
  if (!tk::Ending()) Conclude(owner);
  CheckRunning = false;
}

}  // namespace SystemCheck
