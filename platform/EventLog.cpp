#include "platform/EventLog.h"

#include <windows.h>

#include <algorithm>

namespace EventLog {
namespace {

WORD TypeOf(Type type) {
  switch (type) {
    case Type::Information: return EVENTLOG_INFORMATION_TYPE;
    case Type::Warning: return EVENTLOG_WARNING_TYPE;
    case Type::Error: return EVENTLOG_ERROR_TYPE;
  }
  return EVENTLOG_INFORMATION_TYPE;
}

// The most characters each string may keep so that together they fit: the short
// ones keep all of theirs, the rest share what is left equally.
size_t Cap(const std::vector<std::wstring>& strings, size_t limit) {
  std::vector<size_t> lengths;
  for (const std::wstring& text : strings) lengths.push_back(text.size());
  std::sort(lengths.begin(), lengths.end());
  size_t left = limit;
  for (size_t i = 0; i < lengths.size(); i++) {
    size_t share = left / (lengths.size() - i);
    if (lengths[i] > share) return share;
    left -= lengths[i];
  }
  return limit;
}

// The text's first characters and what it was, in at most `cap` characters; a
// character of two code units is never halved.
std::wstring Cut(const std::wstring& text, size_t cap) {
  std::wstring said = L"…（共 " + std::to_wstring(text.size()) + L" 个字符）";
  size_t keep = cap > said.size() ? cap - said.size() : 0;
  if (keep > 0 && text[keep - 1] >= 0xD800 && text[keep - 1] <= 0xDBFF) keep--;
  return text.substr(0, keep) + said;
}

}  // namespace

std::vector<std::wstring> Fit(std::vector<std::wstring> strings, size_t limit) {
  size_t total = 0;
  for (std::wstring& text : strings) {
    std::replace(text.begin(), text.end(), L'\0', L'\x2400');
    total += text.size();
  }
  if (total <= limit) return strings;
  size_t cap = Cap(strings, limit);
  for (std::wstring& text : strings)
    if (text.size() > cap) text = Cut(text, cap);
  return strings;
}

bool Report(const std::wstring& source, Type type, unsigned long id, const std::vector<std::wstring>& strings) {
  std::vector<std::wstring> fitted = Fit(strings);
  std::vector<LPCWSTR> pointers;
  for (const std::wstring& text : fitted) pointers.push_back(text.c_str());
  HANDLE log = RegisterEventSourceW(nullptr, source.c_str());
  if (!log) return false;
  BOOL written = ReportEventW(log, TypeOf(type), 0, id, nullptr, (WORD)pointers.size(), 0,
                              pointers.empty() ? nullptr : pointers.data(), nullptr);
  DeregisterEventSource(log);
  return written != FALSE;
}

}  // namespace EventLog
