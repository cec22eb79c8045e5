// The quoted-text list format (the trust list): read as a stream in any of its
// encodings, and appended to one entry at a time.
#include <windows.h>

#include <cstring>

#include "platform/Files.h"
#include "platform/FilesParts.h"
#include "platform/ScopedHandle.h"
#include "platform/Text.h"

namespace Files {
namespace {

enum class Encoding { Ansi, Utf8, Utf16LE, Utf16BE };

bool IsWideLineEnd(wchar_t c) { return c == L'\r' || c == L'\n'; }

// Splits a list's bytes into lines and lines into entries. Fed in pieces of any
// size; holds at most one line of kMaxListLine units.
class ListReader {
 public:
  explicit ListReader(const std::function<bool(const std::wstring&)>& visit) : visit_(visit) {}
  bool Stopped() const { return stopped_; }

  void Feed(const char* data, size_t size) {
    if (!started_) {
      head_.append(data, size);
      if (head_.size() < 3) return;
      Start();
      return;
    }
    if (encoding_ == Encoding::Utf16LE || encoding_ == Encoding::Utf16BE)
      FeedWide(data, size);
    else
      FeedBytes(data, size);
  }

  void Finish() {
    if (!started_) Start();
    if (stopped_ || skipping_) return;
    if (encoding_ == Encoding::Utf16LE || encoding_ == Encoding::Utf16BE) {
      if (!wideLine_.empty()) ParseLine(wideLine_, false, true);
    } else if (!line_.empty()) {
      EmitBytes(false);
    }
  }

 private:
  void Start() {
    started_ = true;
    std::string head;
    head.swap(head_);
    size_t skip = 0;
    if (head.compare(0, 3, "\xEF\xBB\xBF") == 0) {
      encoding_ = Encoding::Utf8, skip = 3;
    } else if (head.compare(0, 2, "\xFF\xFE") == 0) {
      encoding_ = Encoding::Utf16LE, skip = 2;
    } else if (head.compare(0, 2, "\xFE\xFF") == 0) {
      encoding_ = Encoding::Utf16BE, skip = 2;
    }
    if (head.size() > skip) Feed(head.data() + skip, head.size() - skip);
  }

  void FeedBytes(const char* data, size_t size) {
    while (size > 0 && !stopped_) {
      const char* lf = (const char*)memchr(data, '\n', size);
      size_t take = lf ? (size_t)(lf - data) : size;
      if (!skipping_ && line_.size() + take > kMaxListLine) {
        skipping_ = true;  // longer than any entry: passed over without being kept
        line_.clear();
        line_.shrink_to_fit();
      }
      if (!skipping_) line_.append(data, take);
      if (!lf) return;
      if (!skipping_) EmitBytes(true);
      line_.clear();
      skipping_ = false;
      data = lf + 1;
      size -= take + 1;
    }
  }

  void EmitBytes(bool hadBreak) {
    if (encoding_ == Encoding::Utf8) {
      ParseLine(Text::FromUtf8(line_.data(), line_.size()), hadBreak, true);
    } else {
      std::wstring wide = Text::FromAnsi(line_);
      // Bytes the code page does not read back the same cannot hold a marked entry.
      ParseLine(wide, hadBreak, Text::ToAnsi(wide) == line_);
    }
  }

  void FeedWide(const char* data, size_t size) {
    for (size_t i = 0; i < size && !stopped_; i++) {
      if (!hasOdd_) {
        odd_ = (unsigned char)data[i];
        hasOdd_ = true;
        continue;
      }
      hasOdd_ = false;
      unsigned char second = (unsigned char)data[i];
      wchar_t unit = encoding_ == Encoding::Utf16LE ? (wchar_t)(odd_ | second << 8) : (wchar_t)(odd_ << 8 | second);
      if (unit == L'\n') {
        if (!skipping_) ParseLine(wideLine_, true, true);
        wideLine_.clear();
        skipping_ = false;
      } else if (!skipping_ && wideLine_.size() >= kMaxListLine) {
        skipping_ = true;
        wideLine_.clear();
        wideLine_.shrink_to_fit();
      } else if (!skipping_) {
        wideLine_ += unit;
      }
    }
  }

  // One field at a time: a quoted field ends at its closing quote (what follows up
  // to a comma or the line's end is discarded, bar the mark), any other at a comma.
  void ParseLine(const std::wstring& line, bool hadBreak, bool exact) {
    size_t i = 0, n = line.size();
    while (i < n && !stopped_) {
      while (i < n && (line[i] == L' ' || line[i] == L'\t')) i++;
      if (i >= n) break;
      std::wstring field;
      bool keep = true;
      if (line[i] == L'"') {
        bool closed = false;
        for (i++; i < n && !IsWideLineEnd(line[i]); i++) {
          if (line[i] != L'"') {
            field += line[i];
          } else if (i + 1 < n && line[i + 1] == L'"') {
            field += L'"';
            i++;
          } else {
            i++;
            closed = true;
            break;
          }
        }
        size_t rest = i;
        while (i < n && line[i] != L',' && !IsWideLineEnd(line[i])) i++;
        std::wstring after = line.substr(rest, i - rest);
        bool endsFile = i >= n && !hadBreak;
        if (!closed) {
          keep = false;  // a line cut short: its beginning is no entry anybody trusted
        } else if (!after.empty() && after[0] == L'&') {
          keep = after == L"&" && exact && Text::Unescape(field, &field);
        } else if (endsFile && after.empty() && field.find(L"&#") != std::wstring::npos) {
          keep = false;  // may be a marked entry cut just before its mark
        }
      } else {
        while (i < n && line[i] != L',' && !IsWideLineEnd(line[i])) field += line[i++];
      }
      if (i < n && line[i] == L',') {
        i++;
      } else if (i < n && line[i] == L'\r') {
        i += (i + 1 < n && line[i + 1] == L'\n') ? 2 : 1;
      } else if (i < n) {
        i++;
      }
      if (keep && !visit_(field)) stopped_ = true;
    }
  }

  const std::function<bool(const std::wstring&)>& visit_;
  bool started_ = false, stopped_ = false, skipping_ = false, hasOdd_ = false;
  unsigned char odd_ = 0;
  Encoding encoding_ = Encoding::Ansi;
  std::string head_, line_;
  std::wstring wideLine_;
};

}  // namespace

std::vector<std::wstring> ParseQuotedFields(const std::string& fileBytes) {
  std::vector<std::wstring> fields;
  std::function<bool(const std::wstring&)> keep = [&fields](const std::wstring& field) {
    fields.push_back(field);
    return true;
  };
  ListReader reader(keep);
  reader.Feed(fileBytes.data(), fileBytes.size());
  reader.Finish();
  return fields;
}

bool ForEachQuotedField(const std::wstring& path, const std::function<bool(const std::wstring&)>& visit) {
  ScopedHandle file(OpenForReading(path));
  if (!file.Valid()) return false;
  ListReader reader(visit);
  std::string buffer(1 << 20, '\0');
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), &buffer[0], (DWORD)buffer.size(), &read, nullptr)) return false;
    if (read == 0) break;
    reader.Feed(buffer.data(), read);
    if (reader.Stopped()) return true;
  }
  reader.Finish();
  return true;
}

bool ReadQuotedFields(const std::wstring& path, std::vector<std::wstring>* fields) {
  std::vector<std::wstring> read;
  if (!ForEachQuotedField(path, [&read](const std::wstring& field) {
        read.push_back(field);
        return true;
      }))
    return false;
  fields->swap(read);
  return true;
}

namespace {

Encoding ListEncoding(HANDLE file) {
  char head[3] = {};
  DWORD read = 0;
  LARGE_INTEGER zero = {};
  SetFilePointerEx(file, zero, nullptr, FILE_BEGIN);
  if (!ReadFile(file, head, 3, &read, nullptr)) return Encoding::Ansi;
  std::string bytes(head, read);
  if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return Encoding::Utf8;
  if (bytes.compare(0, 2, "\xFF\xFE") == 0) return Encoding::Utf16LE;
  if (bytes.compare(0, 2, "\xFE\xFF") == 0) return Encoding::Utf16BE;
  return Encoding::Ansi;
}

// The line in the list's own encoding; the entry is already free of characters
// the ANSI code page cannot hold, so every encoding carries it exactly.
std::string Encode(const std::wstring& line, Encoding encoding) {
  if (encoding == Encoding::Ansi) return Text::ToAnsi(line);
  if (encoding == Encoding::Utf8) return Text::ToUtf8(line);
  std::string bytes;
  for (wchar_t c : line) {
    char low = (char)(c & 0xFF), high = (char)(c >> 8);
    bytes += encoding == Encoding::Utf16LE ? low : high;
    bytes += encoding == Encoding::Utf16LE ? high : low;
  }
  return bytes;
}

bool EndsWithLineBreak(HANDLE file, long long size, Encoding encoding) {
  bool wide = encoding == Encoding::Utf16LE || encoding == Encoding::Utf16BE;
  unsigned char last[2] = {};
  DWORD want = wide ? 2 : 1, read = 0;
  LARGE_INTEGER at;
  at.QuadPart = size - want;
  SetFilePointerEx(file, at, nullptr, FILE_BEGIN);
  if (!ReadFile(file, last, want, &read, nullptr) || read != want) return false;
  if (!wide) return last[0] == '\n';
  return encoding == Encoding::Utf16LE ? (last[0] == '\n' && last[1] == 0) : (last[0] == 0 && last[1] == '\n');
}

}  // namespace

bool AppendQuotedLine(const std::wstring& path, const std::wstring& text, unsigned long* error) {
  std::wstring escaped = Text::Escape(text);
  std::wstring line = L"\"";
  for (wchar_t c : escaped) line += (c == L'"') ? std::wstring(L"\"\"") : std::wstring(1, c);
  line += escaped == text ? L"\"\r\n" : L"\"&\r\n";
  ScopedHandle file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) {
    *error = GetLastError();
    return false;
  }
  // Windows refuses to write a read-only file; so does this where the file system
  // would let an administrator through (Wine run as root).
  BY_HANDLE_FILE_INFORMATION info = {};
  if (GetFileInformationByHandle(file.Get(), &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY)) {
    *error = ERROR_ACCESS_DENIED;
    return false;
  }
  LARGE_INTEGER size = {};
  if (!GetFileSizeEx(file.Get(), &size)) {
    *error = GetLastError();
    return false;
  }
  Encoding encoding = size.QuadPart > 0 ? ListEncoding(file.Get()) : Encoding::Ansi;
  bool wide = encoding == Encoding::Utf16LE || encoding == Encoding::Utf16BE;
  std::string bytes = Encode(line, encoding);
  // A line the reader would skip, or one that would shift every unit after it, is never written.
  if ((wide ? bytes.size() / 2 : bytes.size()) - 1 > kMaxListLine) {
    *error = ERROR_INVALID_PARAMETER;
    return false;
  }
  if (wide && size.QuadPart % 2 != 0) {
    *error = ERROR_INVALID_DATA;
    return false;
  }
  long long bom = encoding == Encoding::Utf8 ? 3 : wide ? 2 : 0;
  if (size.QuadPart > bom && !EndsWithLineBreak(file.Get(), size.QuadPart, encoding))
    bytes = Encode(L"\r\n", encoding) + bytes;
  LARGE_INTEGER zero = {};
  SetFilePointerEx(file.Get(), zero, nullptr, FILE_END);
  if (WriteAll(file.Get(), bytes)) return true;
  *error = GetLastError() != 0 ? GetLastError() : ERROR_WRITE_FAULT;
  // Nothing half written stays behind: the list keeps exactly what it held.
  SetFilePointerEx(file.Get(), size, nullptr, FILE_BEGIN);
  SetEndOfFile(file.Get());
  return false;
}

}  // namespace Files
