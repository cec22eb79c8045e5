#include "syscheck/SystemCheck.h"

#include "common/SettingsStore.h"
#include "platform/System.h"
#include "report/FormReport.h"
#include "report/ModuleEventLog.h"
#include "syscheck/Detection.h"
#include "syscheck/FormScanIng.h"
#include "syscheck/checks/Checks.h"

namespace SystemCheck {
namespace {

bool CheckRunning;

// One message for every CLEAN the system refused, before the report.
void AskForAnAdministrator(tk::Form& owner) {
  if (Detection::NeedsAdministrator.empty()) return;
  std::wstring items;
  for (const std::wstring& item : Detection::NeedsAdministrator) items += L"\r\n" + item;
  tk::MsgBox(owner,
             L"下列项目需要管理员权限才能清除，这次没有清除：" + items +
                 L"\r\n\r\n请以管理员身份运行 Zorvane（右键单击它，选择“以管理员身份运行”），再查杀一次来清除它们。",
             tk::Icon::Exclamation);
}

void Conclude(tk::Form& owner) {
  AskForAnAdministrator(owner);
  bool found = FormReport::HasFindings();
  if (found && SettingsStore::IsOn(SettingsStore::kCheckShowReportAfterScan)) {
    tk::Show(owner);  // the report comes with the window, also when it was sent to the tray meanwhile
    tk::ShowModal(FormReport::Get(), &owner);
  } else if (!found)
    tk::MsgBox(owner, L"系统安全,未发现任何病毒木马！", tk::Icon::Information);
}

// The checks in order, from an empty record; the seconds they took.
double RunChecks() {
  double started = System::Milliseconds();
  Detection::ForgetAnswers();
  Detection::ForgetRecords();
  const std::vector<Checks::Check>& checks = Checks::InOrder();
  for (size_t i = 0; i < checks.size() && !tk::Ending(); i++) {
    // An entry the eight checks asked about is not asked again at a further place.
    Detection::KeepAnswers = i < Checks::kOriginalCount;
    checks[i].run();
  }
  Detection::KeepAnswers = false;
  Detection::ForgetAnswers();
  return (System::Milliseconds() - started) / 1000;
}

std::wstring AnswerClean(const std::wstring&) { return L"CLEAN"; }
std::wstring AnswerSkip(const std::wstring&) { return L"SKIP"; }

}  // namespace

bool Running() { return CheckRunning; }

void RunSystemCheck(tk::Form& owner) {
  if (CheckRunning || tk::Ending()) return;
  CheckRunning = true;
  Detection::Owner = &owner;
  Detection::NeedsAdministrator.clear();
  FormScanIng::ShowModal(owner);
  double seconds = RunChecks();
  ModuleEventLog::WriteRun(Detection::Records, ModuleEventLog::Summarize(Detection::Records, seconds));
  if (!tk::Ending()) Conclude(owner);
  CheckRunning = false;
}

void RunUnattended(bool clean) {
  if (CheckRunning || tk::Ending()) return;
  CheckRunning = true;
  Detection::Owner = nullptr;  // no message box either
  Detection::NeedsAdministrator.clear();
  FormReport::WithoutWindow();
  Detection::Prompt = clean ? AnswerClean : AnswerSkip;
  RunChecks();
  Detection::Prompt = Detection::PromptDetection;
  CheckRunning = false;
}

}  // namespace SystemCheck
