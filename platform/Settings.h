// The per-user settings store: one string value per key under
// HKCU\Software\VB and VBA Program Settings\<application>\<section>.
#pragma once
#include <string>

namespace Settings {

// The stored text, or an empty text when the key (or its section) is absent.
std::wstring GetSetting(const std::wstring& application, const std::wstring& section, const std::wstring& key);
// Creates or overwrites the value; false when the store refused it, with the
// system's error code in `error` when one is asked for.
bool SaveSetting(const std::wstring& application, const std::wstring& section, const std::wstring& key,
                 const std::wstring& text, unsigned long* error = nullptr);
// The registry path of a section, below HKEY_CURRENT_USER.
std::wstring SectionPath(const std::wstring& application, const std::wstring& section);

}  // namespace Settings
