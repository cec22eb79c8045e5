// The autorun keys check: Run and RunServices of the current user and the machine.
// The walker and the finding test are shared with the real-time monitor.
#pragma once
#include <functional>
#include <string>

#include "platform/Registry.h"

namespace ModuleAutoRun {

struct RunPlace {
  Reg::Root hive;
  const wchar_t* subKey;
};
// The four places, in the order they are examined.
extern const RunPlace kRunPlaces[4];

struct RunValue {
  Reg::Value stored;     // name, type and data exactly as read
  std::wstring command;  // the data as text, trimmed
};

// A command that points into the Windows folder, as written by the system
// ("\WINDOWS\" or "\WINNT\", case-sensitive).
bool IsFinding(const std::wstring& command);

// Reads every value of one key in one view first, names and data whole, then
// visits each. The key is not held open across a visit (and its prompt): a
// visitor deletes by the stored name, and values added or removed meanwhile do
// not change the walk.
void WalkRunKey(Reg::Root hive, const std::wstring& subKey, Reg::View view,
                const std::function<void(const RunValue& value)>& visit);

void CheckRunKeys();
// Examines the key in each of its views (Reg::ViewsOf).
void ExamineRunKey(Reg::Root hive, const std::wstring& subKey);
// The same walk and CLEAN for another place of commands, with its own tag and test.
void ExamineRunKey(Reg::Root hive, const std::wstring& subKey, const wchar_t* tag,
                   const std::function<bool(const std::wstring&)>& isFinding);

}  // namespace ModuleAutoRun
