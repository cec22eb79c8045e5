// What a run leaves for those who watch many machines: one event per finding and
// one summary event in the Application log of Windows, under the source "Zorvane".
#pragma once
#include <string>
#include <vector>

#include "syscheck/Detection.h"

namespace ModuleEventLog {

constexpr wchar_t kSource[] = L"Zorvane";
// The event ids, each a message of assets/ZorvaneEvents.mc.
constexpr unsigned long kRunClean = 1000;     // information: a run that found nothing
constexpr unsigned long kFinding = 1001;      // warning: one finding, whatever its answer
constexpr unsigned long kCleanFailed = 1002;  // error: a finding whose CLEAN failed
constexpr unsigned long kRunFindings = 1003;  // warning: a run that found something
constexpr wchar_t kVersion[] = L"3.3";

struct Summary {
  int found = 0;    // findings, every answer counted
  int cleaned = 0;  // CLEAN carried out
  int failed = 0;   // CLEAN that failed
  double seconds = 0;
};
// The words the event log and the machine-readable report use for an outcome:
// "cleaned", "clean_failed", ...
const wchar_t* OutcomeWord(Detection::Outcome outcome);

// A suspicious file the scan lists: it is left as it is, so it stands as skipped.
Detection::Record ScanRecord(const std::wstring& file, const std::wstring& company);

Summary Summarize(const std::vector<Detection::Record>& records, double seconds);

// The run's events: a warning for each finding, an error for each failed CLEAN, and
// the summary (information when nothing was found). A log that cannot be written
// is passed over.
void WriteRun(const std::vector<Detection::Record>& records, const Summary& summary);

// A finding's insertion strings, in the order the messages number them: time,
// computer, check, root, view, key, value name, subject, data, outcome ("-" where a
// field does not apply, as for a process, which has no place).
std::vector<std::wstring> FindingStrings(const Detection::Record& record);
// The summary's: found, cleaned, failed, seconds, version.
std::vector<std::wstring> SummaryStrings(const Summary& summary);

}  // namespace ModuleEventLog
