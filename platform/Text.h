// Conversion between the program's UTF-16 text and the system ANSI code page.
// Every text that crosses into an ANSI Win32 call or a file goes through here.
#pragma once
#include <string>

namespace Text {

// UTF-16 to the ANSI code page; characters the code page lacks become '?' (never a
// look-alike), so FromAnsi(ToAnsi(x)) == x exactly when the code page holds x.
std::string ToAnsi(const std::wstring& text);
// ANSI code page bytes to UTF-16; stops at nothing, embedded NULs are kept.
std::wstring FromAnsi(const std::string& bytes);
std::wstring FromAnsi(const char* bytes, size_t length);

// ASCII-only case folding, as the Windows file system compares image names.
std::wstring Lower(std::wstring text);
std::wstring Upper(std::wstring text);
std::wstring Trim(const std::wstring& text);
// At most about `keep` characters for display: a longer text keeps its start and
// its end, with the full length stated in between.
std::wstring ShortenMiddle(const std::wstring& text, size_t keep);

// Reads leading decimal digits the way a numeric conversion of a setting does:
// optional spaces, optional sign, digits. Returns false when there are none.
bool ParseNumber(const std::wstring& text, long long* value);

}  // namespace Text
