// The trust list "\Allow.dat": one double-quoted entry per line, only ever
// extended. A missing or unreadable list reads as empty.
#pragma once
#include <string>

namespace TrustList {

std::wstring Path();
// Exact, case-sensitive whole-text match against every entry.
bool IsTrusted(const std::wstring& text);
bool AddTrusted(const std::wstring& text);

}  // namespace TrustList
