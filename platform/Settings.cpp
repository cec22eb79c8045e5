#include "platform/Settings.h"

#include "platform/Registry.h"

namespace Settings {

std::wstring SectionPath(const std::wstring& application, const std::wstring& section) {
  return L"Software\\VB and VBA Program Settings\\" + application + L"\\" + section;
}

std::wstring GetSetting(const std::wstring& application, const std::wstring& section, const std::wstring& key) {
  Reg::Key k;
  if (Reg::Open(Reg::CurrentUser, SectionPath(application, section), &k) != Reg::Ok) return {};
  Reg::Value value;
  if (Reg::QueryValue(k, key, &value) != Reg::Ok) return {};
  return value.Text();
}

bool SaveSetting(const std::wstring& application, const std::wstring& section, const std::wstring& key,
                 const std::wstring& text) {
  Reg::Key k;
  if (Reg::Create(Reg::CurrentUser, SectionPath(application, section), &k) != Reg::Ok) return false;
  return Reg::SetString(k, key, text) == Reg::Ok;
}

}  // namespace Settings
