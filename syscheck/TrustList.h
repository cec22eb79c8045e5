// The trust list "\Allow.dat": one double-quoted entry per line, only ever
// extended. A missing or unreadable list reads as empty.
#pragma once
#include <string>
#include <vector>

namespace TrustList {

std::wstring Path();
// Every entry, read afresh.
std::vector<std::wstring> Entries();
// Exact, case-sensitive whole-text match against every entry.
bool IsTrusted(const std::wstring& text);
bool IsTrusted(const std::vector<std::wstring>& entries, const std::wstring& text);
bool AddTrusted(const std::wstring& text);

}  // namespace TrustList
