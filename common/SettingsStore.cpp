#include "common/SettingsStore.h"

#include "platform/Settings.h"
#include "platform/Text.h"

namespace SettingsStore {
namespace {
const wchar_t kApplication[] = L"57302";
const wchar_t kSection[] = L"quorrel2006";
}  // namespace

std::wstring Get(const std::wstring& key) { return Settings::GetSetting(kApplication, kSection, key); }

bool Save(const std::wstring& key, const std::wstring& text, unsigned long* error) {
  return Settings::SaveSetting(kApplication, kSection, key, text, error);
}

bool IsOn(const std::wstring& key) {
  long long value = 0;
  return Text::ParseNumber(Get(key), &value) && value == 1;
}

}  // namespace SettingsStore
