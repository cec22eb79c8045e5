// The Application log of Windows: events of a source whose messages the program's
// own image carries (the setup registers the source and names the image).
#pragma once
#include <string>
#include <vector>

namespace EventLog {

enum class Type { Information, Warning, Error };

// Writes one event of `source` with its insertion strings, fitted first; false
// when the log cannot be reached or refuses it. A run never fails for that.
bool Report(const std::wstring& source, Type type, unsigned long id, const std::vector<std::wstring>& strings);

// The system takes at most this many characters of strings for one event.
constexpr size_t kMaxStringsLength = 31839;
// The strings as the log can take them: a NUL inside one (which would end it
// unseen) shows as U+2400, and when together they are too long the longest are
// cut, each visibly, with its whole length said, so that every field keeps a share.
std::vector<std::wstring> Fit(std::vector<std::wstring> strings, size_t limit = kMaxStringsLength);

}  // namespace EventLog
