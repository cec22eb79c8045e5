#include "syscheck/SystemCheck.h"

#include "frame/FormMain.h"
#include "frame/SettingsStore.h"
#include "platform/Toolkit.h"
#include "report/FormReport.h"
#include "syscheck/Detection.h"
#include "syscheck/FormScanIng.h"
#include "syscheck/ModuleAutoRun.h"
#include "syscheck/ModuleProcess.h"

namespace SystemCheck {
namespace {

bool CheckRunning;

void (*const kChecks[])() = {ModuleProcess::CheckMemory, ModuleAutoRun::CheckRunKeys};

}  // namespace

bool Running() { return CheckRunning; }

void RunSystemCheck() {
  if (CheckRunning) return;
  CheckRunning = true;
  tk::ShowModal(FormScanIng::Get(), &FormMain::Get());
  for (auto check : kChecks) {
    if (Detection::Cancelled()) break;
    check();
  }
  if (!Detection::Cancelled()) {
    bool found = FormReport::HasFindings();
    if (found && SettingsStore::IsOn(L"CheckShowReportAfterScan"))
      tk::ShowModal(FormReport::Get(), &FormMain::Get());
    else if (!found)
      tk::MsgBox(L"系统安全,未发现任何病毒木马！", tk::Icon::Information);
  }
  CheckRunning = false;
}

}  // namespace SystemCheck
