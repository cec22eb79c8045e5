// What every check does with a suspicious item: ask the user, carry the answer
// out, and record one report line.
#pragma once
#include <functional>
#include <string>

namespace Detection {

// The one program-wide answer: "NONE", "CLEAN", "SKIP" or "ALLOW".
extern std::wstring UserChoice;

// True once the main window is gone: a running check stops walking.
bool Cancelled();

// Brings the main window back, shows the prompt modally and returns the answer.
std::wstring PromptDetection(const std::wstring& warning);

struct Finding {
  std::wstring tag;            // "P", "RAR", ...
  std::wstring message;        // "发现可疑程序，可能是木马!"
  std::wstring subject;        // shown in the prompt
  std::wstring reportSubject;  // in the report line; the subject when empty
  bool keepsTrustList = false;
  // Removes the item; false when the removal did not succeed.
  std::function<bool()> clean;
};

enum class Outcome { Trusted, Cleaned, CleanFailed, Skipped, Allowed, Ignored };

// The whole cycle for one finding: trust test, prompt, action, report line.
Outcome Handle(const Finding& finding);

}  // namespace Detection
