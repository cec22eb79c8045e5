// What the Shell and Userinit checks share: the machine's Winlogon key, one value
// read whole, and the repair that writes the value back to a fixed text.
#pragma once
#include <string>

namespace Winlogon {

// Under HKEY_LOCAL_MACHINE.
extern const wchar_t kKey[];
// The two values the checks examine and repair.
extern const wchar_t kShell[];
extern const wchar_t kUserinit[];

// What differs between the two checks.
struct Rule {
  const wchar_t* valueName;  // "Shell", "Userinit"
  const wchar_t* tag;        // "RES", "RUI"
  const wchar_t* restored;   // written back on CLEAN
  // Sets the subject of the value's text; false when the text is no finding.
  bool (*subjectOf)(const std::wstring& text, std::wstring* subject);
  // Ends the programs the value starts beside the standard one, given its text and
  // subject; false when one survived.
  bool (*endPrograms)(const std::wstring& text, const std::wstring& subject);
};

// Reads the value in each view of the key, and puts a finding to the user. CLEAN
// ends the programs the rule finds in it and writes the value back in its view,
// when it still holds what was shown.
void ExamineValue(const Rule& rule);

}  // namespace Winlogon
