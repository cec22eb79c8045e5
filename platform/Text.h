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

// Visible escapes for the ANSI files the program writes: "&#x" + upper-case hex
// code point + ";" for each character the code page cannot hold exactly (best-fit
// look-alikes included), each control character and each "&#" (as "&#x26;#"), so
// two different texts never write the same. A log keeps its CR LF breaks and tabs.
enum class LineBreaks { Escaped, Kept };
std::wstring Escape(const std::wstring& text, LineBreaks breaks = LineBreaks::Escaped);
// The inverse. False, with `text` untouched, for anything Escape would not have
// written (a malformed escape, a raw control character, a needless escape).
bool Unescape(const std::wstring& escaped, std::wstring* text, LineBreaks breaks = LineBreaks::Escaped);
std::string ToAnsiEscaped(const std::wstring& text, LineBreaks breaks = LineBreaks::Escaped);
bool FromAnsiEscaped(const std::string& bytes, std::wstring* text, LineBreaks breaks = LineBreaks::Escaped);

// UTF-8 (files saved with a UTF-8 byte-order mark); invalid bytes read as U+FFFD.
std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const char* bytes, size_t length);

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
