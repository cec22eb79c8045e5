// The program's per-user settings: application "57302", section "quorrel2006".
// Nothing is cached; every reader goes to the store when it needs a value.
#pragma once
#include <string>

namespace SettingsStore {

std::wstring Get(const std::wstring& key);
bool Save(const std::wstring& key, const std::wstring& text);
// An option is on when its text reads as the number 1; absent or non-numeric is off.
bool IsOn(const std::wstring& key);

}  // namespace SettingsStore
