#include "syscheck/Detection.h"

#include <map>

#include "platform/System.h"
#include "report/FormReport.h"
#include "syscheck/FormMsg.h"
#include "syscheck/TrustList.h"

namespace Detection {

std::wstring UserChoice = L"NONE";
std::vector<std::wstring> NeedsAdministrator;
tk::Form* Owner;
std::wstring (*Prompt)(const std::wstring& warning) = PromptDetection;
bool KeepAnswers;
std::vector<Record> Records;

namespace {
std::map<std::wstring, std::wstring> Answered;
}

void ForgetAnswers() { Answered.clear(); }

std::wstring PromptDetection(const std::wstring& warning) {
  UserChoice = L"NONE";
  if (tk::Ending() || !Owner) return UserChoice;  // the program is closing: ask nothing more
  tk::Show(*Owner);
  FormMsg::SetWarning(warning);
  tk::ShowModal(FormMsg::Get(), Owner);
  // The prompt sets the answer before it unloads. When the program is ending the
  // prompt answers nothing and goes away with it.
  bool running = tk::DoEvents();
  while (running && UserChoice == L"NONE" && FormMsg::IsLoaded()) running = tk::DoEvents();
  if (!running) FormMsg::Unload();
  return UserChoice;
}

namespace {

std::wstring Marker(const Finding& finding) { return finding.view == Reg::Bits32 ? L" [32位]" : L""; }

std::wstring LineSubject(const Finding& finding, bool cleaned) {
  if (cleaned && !finding.cleanedSubject.empty()) return finding.cleanedSubject + Marker(finding);
  return (finding.reportSubject.empty() ? finding.subject : finding.reportSubject) + Marker(finding);
}

// A trust that was not stored is reported as such, and the user learns why: the
// next check will ask again.
Outcome Trust(const Finding& finding, const std::wstring& head) {
  unsigned long error = 0;
  if (TrustList::AddTrusted(finding.subject, &error)) {
    FormReport::AppendReportLine(head + LineSubject(finding, false) + L" 信任,未清除!");
    return Outcome::Allowed;
  }
  FormReport::AppendReportLine(head + LineSubject(finding, false) + L" 信任失败,未清除!");
  if (Owner)
    tk::MsgBox(*Owner, L"无法写入信任列表（错误 " + std::to_wstring(error) + L"）：" + TrustList::Path(),
               tk::Icon::Error);
  return Outcome::TrustFailed;
}

// Backed up first, so a CLEAN made by mistake can be undone; a backup that
// cannot be written refuses the change rather than make one that cannot be.
bool Clean(const Finding& finding) {
  if (!finding.clean) return false;
  if (finding.places.empty()) return finding.clean();
  ModuleBackup::Backup backup;
  if (!ModuleBackup::Save(finding.places, finding.tag, LineSubject(finding, false), &backup)) return false;
  bool removed = finding.clean();
  ModuleBackup::Seal(&backup);
  return removed;
}

// A CLEAN that failed where the system refuses this program the change.
bool Refused(const Finding& finding) {
  for (const ModuleBackup::Place& place : finding.places)
    if (!place.file && Reg::Refused(place.root, place.path, place.wholeKey, place.view)) return true;
  return false;
}

void Remember(const Finding& finding, Outcome outcome) {
  Record record;
  record.time = System::LocalTimestamp();
  record.tag = finding.tag;
  record.hasPlace = !finding.places.empty();
  if (record.hasPlace) record.place = finding.places[0];
  record.subject = finding.subject;
  record.data = LineSubject(finding, outcome == Outcome::Cleaned);
  record.outcome = outcome;
  Records.push_back(record);
}

}  // namespace

Outcome Handle(const Finding& finding) {
  if (finding.keepsTrustList && TrustList::IsTrusted(finding.subject)) return Outcome::Trusted;
  std::wstring head = L"(" + finding.tag + L")：" + finding.message + L" -> ";
  auto earlier = Answered.find(finding.subject);
  std::wstring answer = !KeepAnswers && earlier != Answered.end()
                            ? earlier->second
                            : Prompt(L"警告" + head + finding.subject + Marker(finding));
  if (KeepAnswers) Answered[finding.subject] = answer;
  Outcome outcome = Outcome::Ignored;
  if (answer == L"CLEAN") {
    bool removed = Clean(finding);
    FormReport::AppendReportLine(head + LineSubject(finding, true) + (removed ? L" 已清除!" : L" 清除失败!"));
    if (!removed && Refused(finding))
      NeedsAdministrator.push_back(L"(" + finding.tag + L") " + LineSubject(finding, false));
    outcome = removed ? Outcome::Cleaned : Outcome::CleanFailed;
  } else if (answer == L"SKIP") {
    FormReport::AppendReportLine(head + LineSubject(finding, false) + L" 跳过,未清除!");
    outcome = Outcome::Skipped;
  } else if (answer == L"ALLOW" && finding.keepsTrustList) {
    outcome = Trust(finding, head);
  }
  UserChoice = L"NONE";
  Remember(finding, outcome);
  return outcome;
}

void ForgetRecords() { Records.clear(); }

}  // namespace Detection
