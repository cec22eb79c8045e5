// The run's findings for machines rather than people: UTF-8 JSON Lines, one
// object per finding and a last summary object, for collectors to gather from
// many computers.
#pragma once
#include <string>
#include <vector>

#include "report/ModuleEventLog.h"
#include "syscheck/Detection.h"

namespace ModuleJsonReport {

// A JSON string, quotes included: quote and backslash escaped, every control
// character as \u00XX, text in UTF-8, an unpaired surrogate as \uXXXX.
std::string Quote(const std::wstring& text);
// One finding's object, without the line end. `offset` is the local time's "+08:00".
std::string FindingLine(const Detection::Record& record, const std::wstring& host, const std::wstring& offset);
std::string SummaryLine(const ModuleEventLog::Summary& summary, const std::wstring& host, const std::wstring& time);
// The whole report: the findings' lines in order, then the summary's; each ends in LF.
std::string Format(const std::vector<Detection::Record>& records, const ModuleEventLog::Summary& summary);

// Where a report asked for as `file` goes: the file itself, or, when it names a
// folder (an existing one, or any ending in "\"), "check-YYYYMMDD-HHMMSS.jsonl" in it.
std::wstring Target(const std::wstring& file, const std::wstring& localTimestamp);
// Writes it through a temporary file beside it; false with the system's code.
bool Write(const std::wstring& path, const std::vector<Detection::Record>& records,
           const ModuleEventLog::Summary& summary, unsigned long* error);

}  // namespace ModuleJsonReport
