#include "platform/Settings.h"

#include "platform/Registry.h"

namespace Settings {

std::wstring SectionPath(const std::wstring& application, const std::wstring& section) {
  return L"Software\\VB and VBA Program Settings\\" + application + L"\\" + section;
}

std::wstring GetSetting(const std::wstring& application, const std::wstring& section, const std::wstring& key) {
  Reg::Key k = 0;
  if (Reg::Open(Reg::CurrentUser, SectionPath(application, section), &k) != Reg::Ok) return {};
  Reg::Value value;
  long rc = Reg::QueryValue(k, key, &value);
  Reg::Close(k);
  return rc == Reg::Ok ? value.Text() : std::wstring();
}

bool SaveSetting(const std::wstring& application, const std::wstring& section, const std::wstring& key,
                 const std::wstring& text) {
  Reg::Key k = 0;
  if (Reg::Create(Reg::CurrentUser, SectionPath(application, section), &k) != Reg::Ok) return false;
  long rc = Reg::SetString(k, key, text);
  Reg::Close(k);
  return rc == Reg::Ok;
}

}  // namespace Settings
