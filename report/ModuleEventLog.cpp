#include "report/ModuleEventLog.h"

#include <cstdio>

#include "platform/EventLog.h"
#include "platform/System.h"
#include "syscheck/ModuleBackup.h"

namespace ModuleEventLog {
namespace {

std::wstring OrDash(const std::wstring& text) { return text.empty() ? L"-" : text; }

std::wstring Seconds(double seconds) {
  wchar_t text[32] = {};
  swprintf(text, 32, L"%.1f", seconds);
  return text;
}

}  // namespace

const wchar_t* OutcomeWord(Detection::Outcome outcome) {
  switch (outcome) {
    case Detection::Outcome::Cleaned: return L"cleaned";
    case Detection::Outcome::CleanFailed: return L"clean_failed";
    case Detection::Outcome::Skipped: return L"skipped";
    case Detection::Outcome::Allowed: return L"allowed";
    case Detection::Outcome::TrustFailed: return L"trust_failed";
    case Detection::Outcome::Trusted:  // no record is made of a trusted entry
    case Detection::Outcome::Ignored: break;
  }
  return L"ignored";
}

Detection::Record ScanRecord(const std::wstring& file, const std::wstring& company) {
  Detection::Record record;
  record.time = System::LocalTimestamp();
  record.tag = L"SCAN";
  record.hasPlace = true;
  record.place = ModuleBackup::FilePlace(file);
  record.subject = file;
  record.data = company;
  record.outcome = Detection::Outcome::Skipped;
  return record;
}

Summary Summarize(const std::vector<Detection::Record>& records, double seconds) {
  Summary summary;
  summary.seconds = seconds;
  for (const Detection::Record& record : records) {
    summary.found++;
    if (record.outcome == Detection::Outcome::Cleaned) summary.cleaned++;
    if (record.outcome == Detection::Outcome::CleanFailed) summary.failed++;
  }
  return summary;
}

std::vector<std::wstring> FindingStrings(const Detection::Record& record) {
  std::wstring root = L"-", view = L"-", key = L"-", name = L"-";
  if (record.hasPlace && record.place.file) {
    root = L"file";
    key = record.place.path;
  } else if (record.hasPlace) {
    root = ModuleBackup::RootName(record.place.root);
    view = Reg::Reaches64(record.place.view) ? L"64" : L"32";
    key = OrDash(record.place.path);
    name = record.place.wholeKey ? L"-" : record.place.name;
  }
  return {record.time,         System::ComputerName(),     record.tag, root, view, key, name, OrDash(record.subject),
          OrDash(record.data), OutcomeWord(record.outcome)};
}

std::vector<std::wstring> SummaryStrings(const Summary& summary) {
  return {std::to_wstring(summary.found), std::to_wstring(summary.cleaned), std::to_wstring(summary.failed),
          Seconds(summary.seconds), kVersion};
}

void WriteRun(const std::vector<Detection::Record>& records, const Summary& summary) {
  for (const Detection::Record& record : records) {
    bool failed = record.outcome == Detection::Outcome::CleanFailed;
    EventLog::Report(kSource, failed ? EventLog::Type::Error : EventLog::Type::Warning,
                     failed ? kCleanFailed : kFinding, FindingStrings(record));
  }
  bool found = summary.found > 0;
  EventLog::Report(kSource, found ? EventLog::Type::Warning : EventLog::Type::Information,
                   found ? kRunFindings : kRunClean, SummaryStrings(summary));
}

}  // namespace ModuleEventLog
