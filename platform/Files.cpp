#include "platform/Files.h"

#include <windows.h>

#include <cstring>

#include "platform/ScopedHandle.h"
#include "platform/System.h"
#include "platform/Text.h"

namespace Files {
namespace {

bool WriteAll(HANDLE file, const std::string& bytes) {
  DWORD written = 0;
  return bytes.empty() ||
         (WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr) && written == bytes.size());
}

bool DriveRootAt(const std::wstring& path, size_t at) {
  if (path.size() < at + 3) return false;
  wchar_t letter = path[at] | 0x20;
  return letter >= L'a' && letter <= L'z' && path[at + 1] == L':' && path[at + 2] == L'\\';
}

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
  size_t length = wcslen(prefix);
  return text.size() >= length && _wcsnicmp(text.c_str(), prefix, length) == 0;
}

bool EndsWith(const std::wstring& text, const wchar_t* suffix) {
  size_t length = wcslen(suffix);
  return text.size() >= length && text.compare(text.size() - length, length, suffix) == 0;
}

// \\server\..., where the server is no "." or "?" of the device namespace.
bool IsShare(const std::wstring& path) {
  if (!StartsWith(path, L"\\\\")) return false;
  std::wstring server = path.substr(2, path.find(L'\\', 2) - 2);
  return !server.empty() && server != L"." && server != L"?";
}

// A full path of a drive or share that the system would take as it is: no forward
// slash, no empty, "." or ".." name. The scan's paths are all of this kind.
bool IsPlain(const std::wstring& path) {
  if (!DriveRootAt(path, 0) && !IsShare(path)) return false;
  if (path.find(L'/') != std::wstring::npos || path.find(L"\\\\", 1) != std::wstring::npos) return false;
  if (path.find(L"\\.\\") != std::wstring::npos || path.find(L"\\..\\") != std::wstring::npos) return false;
  return !EndsWith(path, L"\\.") && !EndsWith(path, L"\\..");
}

// The \\?\ form of a full path; false for one of the device namespace.
bool Prefixed(const std::wstring& full, std::wstring* literal) {
  if (StartsWith(full, L"\\\\?\\")) {
    if (!DriveRootAt(full, 4) && !StartsWith(full.substr(4), L"UNC\\")) return false;
    *literal = full;
  } else if (DriveRootAt(full, 0)) {
    *literal = L"\\\\?\\" + full;
  } else if (IsShare(full)) {
    *literal = L"\\\\?\\UNC" + full.substr(1);
  } else {
    return false;
  }
  return true;
}

// The folder part with its last separator ("C:" for "C:name", empty for a bare
// name), and the last name.
void SplitName(const std::wstring& path, std::wstring* folder, std::wstring* name) {
  size_t cut = path.find_last_of(L"\\/");
  if (cut == std::wstring::npos && path.size() >= 2 && path[1] == L':') cut = 1;
  size_t begin = cut == std::wstring::npos ? 0 : cut + 1;
  *folder = path.substr(0, begin);
  *name = path.substr(begin);
}

bool FullPath(const std::wstring& path, std::wstring* full) {
  DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return false;
  std::wstring buffer(size, L'\0');
  DWORD length = GetFullPathNameW(path.c_str(), size, &buffer[0], nullptr);
  if (length == 0 || length >= size) return false;
  buffer.resize(length);
  full->swap(buffer);
  return true;
}

HANDLE NotAFile() {
  SetLastError(kNotAFile);
  return INVALID_HANDLE_VALUE;
}

}  // namespace

bool LiteralPath(const std::wstring& path, std::wstring* literal) {
  if (StartsWith(path, L"\\\\?\\") || IsPlain(path)) return Prefixed(path, literal);
  // Made full whole, "C:\x\COM1.dll" would turn into "\\.\COM1": the name stays as written.
  std::wstring folder, name, full;
  SplitName(path, &folder, &name);
  if (name == L"." || name == L"..") folder = path, name.clear();
  if (!FullPath(folder.empty() ? L"." : folder, &full)) return false;
  if (!name.empty() && full.back() != L'\\') full += L'\\';
  return Prefixed(full + name, literal);
}

bool IsDeviceName(const std::wstring& name) {
  std::wstring base = Text::Upper(name.substr(0, name.find_first_of(L".:")));
  while (!base.empty() && base.back() == L' ') base.pop_back();
  for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
    if (base == device) return true;
  if (base.size() != 4 || (base.compare(0, 3, L"COM") != 0 && base.compare(0, 3, L"LPT") != 0)) return false;
  wchar_t digit = base[3];
  return (digit >= L'0' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' || digit == L'\u00B3';
}

static HANDLE OpenForReading(const std::wstring& path) {
  std::wstring literal, folder, name;
  if (!LiteralPath(path, &literal)) return NotAFile();
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE file =
      CreateFileW(literal.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    DWORD error = GetLastError();
    SplitName(path, &folder, &name);
    // Where no such file exists, Windows would have opened the device of that name.
    bool missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    if (missing && IsDeviceName(name)) return NotAFile();
    SetLastError(error);
    return file;
  }
  // A link can still lead to a device or a pipe, whose reads may never return.
  if (GetFileType(file) == FILE_TYPE_DISK) return file;
  CloseHandle(file);
  return NotAFile();
}

static bool Failed(unsigned long* error) {
  if (error) *error = GetLastError();
  return false;
}

// Reads up to `capacity` bytes from `offset` on, each read positioned by itself.
static bool ReadUpTo(HANDLE file, uint64_t offset, size_t capacity, std::string* bytes, unsigned long* error) {
  std::string buffer(capacity, '\0');
  size_t total = 0;
  while (total < capacity) {
    DWORD wanted = (DWORD)(capacity - total), read = 0;
    OVERLAPPED at = {};
    at.Offset = (DWORD)(offset + total);
    at.OffsetHigh = (DWORD)((offset + total) >> 32);
    if (!ReadFile(file, &buffer[total], wanted, &read, &at) && GetLastError() != ERROR_HANDLE_EOF) return Failed(error);
    total += read;
    if (read < wanted) break;  // a short read is the end of a file; spare the call that returns 0
  }
  buffer.resize(total);
  bytes->swap(buffer);
  return true;
}

bool ReadHead(const std::wstring& path, size_t maxBytes, std::string* bytes, unsigned long* error) {
  ScopedHandle file(OpenForReading(path));
  if (!file.Valid()) return Failed(error);
  // Lists are read with a generous cap: room only for what the file holds. A small
  // head (the scan's 32000 bytes) is cheaper to allocate than to ask the size for.
  LARGE_INTEGER size = {};
  size_t capacity = maxBytes;
  if (maxBytes > (1u << 20) && GetFileSizeEx(file.Get(), &size) && (unsigned long long)size.QuadPart < maxBytes)
    capacity = (size_t)size.QuadPart;
  return ReadUpTo(file.Get(), 0, capacity, bytes, error);
}

bool Reader::Open() {
  if (!file_.Valid()) file_.Reset(OpenForReading(path_));
  return file_.Valid();
}

bool Reader::ReadAt(uint64_t offset, size_t maxBytes, std::string* bytes, unsigned long* error) {
  if (!Open()) return Failed(error);
  return ReadUpTo(file_.Get(), offset, maxBytes, bytes, error);
}

bool Reader::Size(uint64_t* size) {
  LARGE_INTEGER bytes = {};
  if (!Open() || !GetFileSizeEx(file_.Get(), &bytes)) return false;
  *size = (uint64_t)bytes.QuadPart;
  return true;
}

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

// Writes and flushes a new file. A file that was created but not filled is
// closed before it is deleted, so a failure leaves nothing behind.
static bool WriteNewFile(const std::wstring& path, const std::string& bytes, unsigned long* error) {
  bool written = false;
  {
    ScopedHandle file(
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
      *error = GetLastError();
      return false;
    }
    written = WriteAll(file.Get(), bytes) && FlushFileBuffers(file.Get());
    if (!written) *error = GetLastError();
  }
  if (!written) DeleteFileW(path.c_str());
  return written;
}

static bool ReplaceWithBytes(const std::wstring& path, const std::string& bytes, unsigned long* error) {
  std::wstring temp = path + L".~tmp";
  if (!WriteNewFile(temp, bytes, error)) return false;
  if (!MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    *error = GetLastError();
    DeleteFileW(temp.c_str());
    return false;
  }
  return true;
}

bool ReplaceWithText(const std::wstring& path, const std::wstring& text, unsigned long* error) {
  return ReplaceWithBytes(path, Text::ToAnsi(text), error);
}

bool ReplaceWithEscapedText(const std::wstring& path, const std::wstring& text, unsigned long* error) {
  return ReplaceWithBytes(path, Text::ToAnsiEscaped(text, Text::LineBreaks::Kept), error);
}

bool IsDiskFile(const std::wstring& path) {
  ScopedHandle file(OpenForReading(path));
  return file.Valid();
}

bool FolderExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool FileExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {
// Both calls answer the length they need (with the NUL) when the buffer is short.
using PathQuery = std::function<DWORD(wchar_t* buffer, DWORD capacity)>;
bool AskPath(const PathQuery& query, std::wstring* path) {
  DWORD needed = query(nullptr, 0);
  if (needed == 0) return false;
  std::wstring answer(needed, L'\0');
  DWORD length = query(&answer[0], needed);
  if (length == 0 || length >= needed) return false;
  answer.resize(length);
  path->swap(answer);
  return true;
}
}  // namespace

std::wstring LongPath(const std::wstring& path) {
  std::wstring full = path;
  AskPath([&](wchar_t* buffer, DWORD capacity) { return GetFullPathNameW(path.c_str(), capacity, buffer, nullptr); },
          &full);
  std::wstring longer = full;
  AskPath([&](wchar_t* buffer, DWORD capacity) { return GetLongPathNameW(full.c_str(), buffer, capacity); }, &longer);
  return longer;
}

bool CreateFolder(const std::wstring& path) {
  CreateDirectoryW(path.c_str(), nullptr);
  return FolderExists(path);
}

bool Remove(const std::wstring& path, unsigned long* error) {
  if (DeleteFileW(path.c_str())) return true;
  *error = GetLastError();
  return false;
}

namespace {

#ifndef _WIN64
using Disable = BOOL(WINAPI*)(void**);
using Revert = BOOL(WINAPI*)(void*);

// Looked up at run time: 32-bit Windows before XP x64 has neither.
template <typename Function>
Function Lookup(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), name)));
}

bool StartsWithFolder(const std::wstring& path, const std::wstring& folder) {
  if (path.size() <= folder.size() || path[folder.size()] != L'\\') return false;
  return Text::Lower(path.substr(0, folder.size())) == Text::Lower(folder);
}
#endif

}  // namespace

// A 64-bit program is never redirected: it has nothing to turn off and no alias.
#ifdef _WIN64
RealSystemFolder::RealSystemFolder() = default;

RealSystemFolder::~RealSystemFolder() = default;

std::wstring RealSystemAlias(const std::wstring& path) { return path; }
#else
RealSystemFolder::RealSystemFolder() {
  static const Disable disable = System::IsWow64() ? Lookup<Disable>("Wow64DisableWow64FsRedirection") : nullptr;
  off_ = disable && disable(&former_);
}

RealSystemFolder::~RealSystemFolder() {
  static const Revert revert = Lookup<Revert>("Wow64RevertWow64FsRedirection");
  if (off_) revert(former_);
}

std::wstring RealSystemAlias(const std::wstring& path) {
  if (!System::IsWow64()) return path;
  wchar_t windows[MAX_PATH];
  UINT length = GetSystemWindowsDirectoryW(windows, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return path;
  std::wstring base(windows, length);
  if (!base.empty() && base.back() == L'\\') base.pop_back();
  std::wstring system32 = base + L"\\System32";
  if (!StartsWithFolder(path, system32)) return path;
  return base + L"\\Sysnative" + path.substr(system32.size());
}
#endif

}  // namespace Files
