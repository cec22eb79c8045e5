// What every check does with a suspicious item: ask the user, carry the answer
// out, and record one report line.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "platform/Toolkit.h"
#include "syscheck/ModuleBackup.h"

namespace Detection {

// The one program-wide answer: "NONE", "CLEAN", "SKIP" or "ALLOW".
extern std::wstring UserChoice;

// The message of every check but the memory check.
constexpr wchar_t kMessage[] = L"发现可疑程序，可能是木马!";

// The form that owns the prompt and the checks' message boxes; the system check
// hands it over when it starts.
extern tk::Form* Owner;

// Brings the owner back, shows the prompt modally over it and returns the answer;
// "NONE" when the program is ending.
std::wstring PromptDetection(const std::wstring& warning);
// Where the checks ask: PromptDetection, or a stand-in that answers without a window.
extern std::wstring (*Prompt)(const std::wstring& warning);

struct Finding {
  std::wstring tag;             // "P", "RAR", ...
  std::wstring message;         // kMessage, or the check's own
  std::wstring subject;         // shown in the prompt, tested against and added to the trust list
  std::wstring reportSubject;   // in the report line; the subject when empty
  std::wstring cleanedSubject;  // in the report line after CLEAN; reportSubject (or subject) when empty
  bool keepsTrustList = false;
  // Removes the item; false when the removal did not succeed.
  std::function<bool()> clean;
  // The registry places `clean` changes. Their state is backed up before it runs;
  // when the backup cannot be written, `clean` does not run and CLEAN fails.
  std::vector<ModuleBackup::Place> places;
  // The registry view the item was found in: one found in the 32-bit view of a
  // 64-bit Windows is marked in the prompt and the report line, not in the trust list.
  Reg::View view = Reg::Own;
};

// The report lines' subjects of this check's CLEANs that the system refused for
// lack of rights: they need the program run as an administrator.
extern std::vector<std::wstring> NeedsAdministrator;

// While true (the eight original checks of a system check run), each answer is
// kept by its subject; while false, a finding whose subject was answered so is not
// asked again but handled as answered then. ForgetAnswers starts a run afresh.
extern bool KeepAnswers;
void ForgetAnswers();

enum class Outcome { Trusted, Cleaned, CleanFailed, Skipped, Allowed, TrustFailed, Ignored };

// The whole cycle for one finding: trust test, prompt, backup and action, report line.
Outcome Handle(const Finding& finding);

// What became of one finding of this run, for the machine-readable report and the
// event log. A trusted entry is no finding and leaves no record.
struct Record {
  std::wstring time;  // local time, "2026-12-11 07:30:00"
  std::wstring tag;
  // Where it was: the first place its CLEAN changes (none for a process).
  bool hasPlace = false;
  ModuleBackup::Place place;
  std::wstring subject;  // as the prompt shows it and the trust list keeps it
  std::wstring data;     // as the report line shows it
  Outcome outcome = Outcome::Ignored;
};
// This run's records in the order the findings came; ForgetRecords starts a run.
extern std::vector<Record> Records;
void ForgetRecords();

}  // namespace Detection
