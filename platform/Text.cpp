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

namespace {

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// The code page must give these units back unchanged: the default character and
// best-fit look-alikes ("ª" written as "a") would make two texts write the same.
bool HeldExactly(const wchar_t* units, int count) {
  char bytes[16];
  BOOL usedDefault = FALSE;
  int length =
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, units, count, bytes, sizeof bytes, nullptr, &usedDefault);
  if (length <= 0 || usedDefault) return false;
  wchar_t back[8];
  int backCount = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes, length, back, 8);
  return backCount == count && std::equal(units, units + count, back);
}

void AppendEscape(std::wstring* out, unsigned long code) {
  static const wchar_t kDigits[] = L"0123456789ABCDEF";
  wchar_t hex[8];
  int n = 0;
  do {
    hex[n++] = kDigits[code % 16];
    code /= 16;
  } while (code != 0);
  *out += L"&#x";
  while (n > 0) *out += hex[--n];
  *out += L';';
}

int HexValue(wchar_t c) {
  if (c >= L'0' && c <= L'9') return c - L'0';
  if (c >= L'A' && c <= L'F') return c - L'A' + 10;
  return -1;
}

}  // namespace

std::wstring Escape(const std::wstring& text, LineBreaks breaks) {
  std::wstring out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); i++) {
    wchar_t c = text[i];
    bool next = i + 1 < text.size();
    if (c == L'&') {
      out += (next && text[i + 1] == L'#') ? L"&#x26;" : L"&";  // the '#' follows as itself
    } else if (c >= 0x20 && c < 0x80) {
      out += c;
    } else if (breaks == LineBreaks::Kept && (c == L'\t' || (c == L'\r' && next && text[i + 1] == L'\n'))) {
      out += c;
    } else if (breaks == LineBreaks::Kept && c == L'\n' && i > 0 && text[i - 1] == L'\r') {
      out += c;
    } else {
      unsigned long code = c;
      int units = 1;
      if (IsHighSurrogate(c) && next && IsLowSurrogate(text[i + 1])) {
        code = 0x10000 + ((unsigned long)(c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
        units = 2;
      }
      if (code >= 0x20 && HeldExactly(&text[i], units))
        out.append(text, i, (size_t)units);
      else
        AppendEscape(&out, code);
      i += (size_t)units - 1;
    }
  }
  return out;
}

bool Unescape(const std::wstring& escaped, std::wstring* text, LineBreaks breaks) {
  std::wstring out;
  out.reserve(escaped.size());
  for (size_t i = 0; i < escaped.size();) {
    if (escaped.compare(i, 3, L"&#x") != 0) {
      out += escaped[i++];
      continue;
    }
    size_t j = i + 3;
    unsigned long code = 0;
    for (; j < escaped.size() && j < i + 9 && HexValue(escaped[j]) >= 0; j++) code = code * 16 + HexValue(escaped[j]);
    if (j == i + 3 || j >= escaped.size() || escaped[j] != L';' || code > 0x10FFFF) return false;
    if (code >= 0x10000) {
      out += (wchar_t)(0xD800 + ((code - 0x10000) >> 10));
      out += (wchar_t)(0xDC00 + ((code - 0x10000) & 0x3FF));
    } else {
      out += (wchar_t)code;
    }
    i = j + 1;
  }
  // One text has one written form: anything else (a needless or padded escape,
  // a raw control character, a bare "&#") was not written by Escape.
  if (Escape(out, breaks) != escaped) return false;
  text->swap(out);
  return true;
}

std::string ToAnsiEscaped(const std::wstring& text, LineBreaks breaks) { return ToAnsi(Escape(text, breaks)); }

bool FromAnsiEscaped(const std::string& bytes, std::wstring* text, LineBreaks breaks) {
  std::wstring wide = FromAnsi(bytes);
  std::wstring decoded;
  // Bytes the code page does not read back the same (a cut or invalid sequence) are damage.
  if (!Unescape(wide, &decoded, breaks) || ToAnsi(wide) != bytes) return false;
  text->swap(decoded);
  return true;
}

std::string ToUtf8(const std::wstring& text) {
  if (text.empty()) return {};
  int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string out((size_t)length, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), &out[0], length, nullptr, nullptr);
  return out;
}

std::wstring FromUtf8(const char* bytes, size_t length) {
  if (length == 0) return {};
  int count = MultiByteToWideChar(CP_UTF8, 0, bytes, (int)length, nullptr, 0);
  if (count <= 0) return {};
  std::wstring out((size_t)count, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes, (int)length, &out[0], count);
  return out;
}

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
