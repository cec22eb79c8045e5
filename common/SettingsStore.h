// The program's per-user settings: application "57302", section "quorrel2006".
// Nothing is cached; every reader goes to the store when it needs a value.
#pragma once
#include <string>

namespace SettingsStore {

// The keys: the names of the settings dialog's check boxes, plus the two the
// program keeps for itself.
constexpr wchar_t kCheckOnTimeScan[] = L"CheckOnTimeScan";
constexpr wchar_t kCheckAutoRun[] = L"CheckAutoRun";
constexpr wchar_t kCheckSoundAlart[] = L"CheckSoundAlart";
constexpr wchar_t kCheckShowReportAfterScan[] = L"CheckShowReportAfterScan";
constexpr wchar_t kCheckAutoDetectNewVersion[] = L"CheckAutoDetectNewVersion";
constexpr wchar_t kCheckAutoDetectNewDB[] = L"CheckAutoDetectNewDB";
constexpr wchar_t kInited[] = L"Inited";                      // the defaults have been seeded
constexpr wchar_t kEnableOnTimeScan[] = L"EnableOnTimeScan";  // "1" while hidden in the tray

std::wstring Get(const std::wstring& key);
// False when the store refused the value; `error` then holds the system's code.
bool Save(const std::wstring& key, const std::wstring& text, unsigned long* error = nullptr);
// An option is on when its text reads as the number 1; absent or non-numeric is off.
bool IsOn(const std::wstring& key);

}  // namespace SettingsStore
