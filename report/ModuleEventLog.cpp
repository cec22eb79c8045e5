#include "report/ModuleEventLog.h"

namespace ModuleEventLog {

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

void WriteRun(const std::vector<Detection::Record>&, const Summary&) {}

}  // namespace ModuleEventLog
