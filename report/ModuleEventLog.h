// What a run leaves for those who watch many machines: one event per finding and
// one summary event in the Application log of Windows, under the source "Zorvane".
#pragma once
#include <string>
#include <vector>

#include "syscheck/Detection.h"

namespace ModuleEventLog {

struct Summary {
  int found = 0;    // findings, every answer counted
  int cleaned = 0;  // CLEAN carried out
  int failed = 0;   // CLEAN that failed
  double seconds = 0;
};
Summary Summarize(const std::vector<Detection::Record>& records, double seconds);

// The run's events: a warning for each finding, an error for each failed CLEAN, and
// the summary (information when nothing was found).
void WriteRun(const std::vector<Detection::Record>& records, const Summary& summary);

}  // namespace ModuleEventLog
