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
                 const std::wstring& text, unsigned long* error) {
  Reg::Key k;
  long rc = Reg::Create(Reg::CurrentUser, SectionPath(application, section), &k);
  if (rc == Reg::Ok) rc = Reg::SetString(k, key, text);
  if (rc != Reg::Ok && error) *error = (unsigned long)rc;
  return rc == Reg::Ok;
}

}  // namespace Settings
