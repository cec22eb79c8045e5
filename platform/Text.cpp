#include "platform/Text.h"

#include <windows.h>

#include <algorithm>

namespace Text {

// ASCII is the same in every ANSI code page; most names are ASCII, and the walk
// converts one per directory entry, so those skip the system call.
std::string ToAnsi(const std::wstring& text) {
  if (text.empty()) return {};
  if (std::all_of(text.begin(), text.end(), [](wchar_t c) { return c < 0x80; }))
    return std::string(text.begin(), text.end());
  // No best fit: "ª" must not turn into "a", or a changed name would pass for the real one.
  const DWORD flags = WC_NO_BEST_FIT_CHARS;
  int length = WideCharToMultiByte(CP_ACP, flags, text.data(), (int)text.size(), nullptr, 0, "?", nullptr);
  if (length <= 0) return {};
  std::string out((size_t)length, '\0');
  WideCharToMultiByte(CP_ACP, flags, text.data(), (int)text.size(), &out[0], length, "?", nullptr);
  return out;
}

std::wstring FromAnsi(const char* bytes, size_t length) {
  if (length == 0) return {};
  if (std::all_of(bytes, bytes + length, [](char c) { return (unsigned char)c < 0x80; }))
    return std::wstring(bytes, bytes + length);
  int count = MultiByteToWideChar(CP_ACP, 0, bytes, (int)length, nullptr, 0);
  if (count <= 0) return {};
  std::wstring out((size_t)count, L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes, (int)length, &out[0], count);
  return out;
}

std::wstring FromAnsi(const std::string& bytes) { return FromAnsi(bytes.data(), bytes.size()); }

std::wstring Lower(std::wstring text) {
  for (auto& c : text)
    if (c >= L'A' && c <= L'Z') c = (wchar_t)(c - L'A' + L'a');
  return text;
}

std::wstring Upper(std::wstring text) {
  for (auto& c : text)
    if (c >= L'a' && c <= L'z') c = (wchar_t)(c - L'a' + L'A');
  return text;
}

std::wstring Trim(const std::wstring& text) {
  size_t begin = text.find_first_not_of(L' ');
  if (begin == std::wstring::npos) return {};
  size_t end = text.find_last_not_of(L' ');
  return text.substr(begin, end - begin + 1);
}

std::wstring ShortenMiddle(const std::wstring& text, size_t keep) {
  if (text.size() <= keep) return text;
  // Never cut between the two halves of a surrogate pair.
  auto isHigh = [](wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; };
  size_t head = keep / 2, tail = text.size() - keep / 2;
  if (head > 0 && isHigh(text[head - 1])) head--;
  if (isHigh(text[tail - 1])) tail--;
  return text.substr(0, head) + L" …（共 " + std::to_wstring(text.size()) + L" 个字符）… " + text.substr(tail);
}

bool ParseNumber(const std::wstring& text, long long* value) {
  size_t i = 0;
  while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) i++;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  size_t digits = i;
  long long n = 0;
  while (i < text.size() && text[i] >= L'0' && text[i] <= L'9' && n < 100000000000LL) n = n * 10 + (text[i++] - L'0');
  if (i == digits) return false;
  *value = negative ? -n : n;
  return true;
}

}  // namespace Text
