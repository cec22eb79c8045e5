// The trust list "Allow.dat": one double-quoted entry per line, only ever
// extended. A missing or unreadable list reads as empty. The list beside the
// program is every user's; a user who cannot write there keeps one of their own in
// the data folder, and both are read.
#pragma once
#include <string>
#include <vector>

namespace TrustList {

// The list this user's trust is written to.
std::wstring Path();
// Every entry, read afresh.
std::vector<std::wstring> Entries();
// Exact, case-sensitive whole-text match against every entry; reads the list
// only as far as the first match.
bool IsTrusted(const std::wstring& text);
// Appends the entry (escaped and marked when the code page cannot carry it as it
// is). False, with the system's error code in `error` when given, when it was not
// stored: the caller must not report the text as trusted.
bool AddTrusted(const std::wstring& text, unsigned long* error = nullptr);

}  // namespace TrustList
