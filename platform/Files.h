// File facilities: a file's first bytes, the quoted-text list format, and
// replacing a text file safely. Paths are UTF-16; the files hold ANSI text.
#pragma once
#include <string>
#include <vector>

namespace Files {

// Reads at most `maxBytes` from the start of a file, opened for reading only and
// shared with writers and deleters. False when the file cannot be opened or read.
bool ReadHead(const std::wstring& path, size_t maxBytes, std::string* bytes);
// Every field of a list of double-quoted entries ("" inside one stands for a quote).
// False, with the fields untouched, when the file cannot be read.
bool ReadQuotedFields(const std::wstring& path, std::vector<std::wstring>* fields);
// Splits list text into fields; exposed for the tests of damaged files.
std::vector<std::wstring> ParseQuotedFields(const std::string& ansiText);
// Appends one entry line, creating the file. A damaged last line without its line
// break gets one first, so the new entry always stands on a line of its own.
bool AppendQuotedLine(const std::wstring& path, const std::wstring& text);
// Writes the text in the ANSI code page through a temporary file in the same
// folder that is then moved over the target: a failure leaves the old file whole.
// On failure `error` holds the system's error code.
bool ReplaceWithText(const std::wstring& path, const std::wstring& text, unsigned long* error);
// The same with Text::Escape's visible escapes (line breaks and tabs kept), so no
// character is lost or changed on its way into the file.
bool ReplaceWithEscapedText(const std::wstring& path, const std::wstring& text, unsigned long* error);
bool FolderExists(const std::wstring& path);

}  // namespace Files
