#include "platform/Files.h"

#include <windows.h>

#include "platform/ScopedHandle.h"
#include "platform/Text.h"

namespace Files {
namespace {

bool WriteAll(HANDLE file, const std::string& bytes) {
  DWORD written = 0;
  return bytes.empty() ||
         (WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr) && written == bytes.size());
}

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

}  // namespace

// Paths the ANSI calls cannot carry go through the wide call with its long-path prefix.
static HANDLE OpenForReading(const std::wstring& path) {
  const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  std::string ansi = Text::ToAnsi(path);
  if (path.size() < MAX_PATH && ansi.size() < MAX_PATH && Text::FromAnsi(ansi) == path)
    return CreateFileA(ansi.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  std::wstring wide = path.compare(0, 4, L"\\\\?\\") == 0 ? path : L"\\\\?\\" + path;
  return CreateFileW(wide.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

bool ReadHead(const std::wstring& path, size_t maxBytes, std::string* bytes) {
  ScopedHandle file(OpenForReading(path));
  if (!file.Valid()) return false;
  // Lists are read with a generous cap: room only for what the file holds. A small
  // head (the scan's 32000 bytes) is cheaper to allocate than to ask the size for.
  LARGE_INTEGER size = {};
  size_t capacity = maxBytes;
  if (maxBytes > (1u << 20) && GetFileSizeEx(file.Get(), &size) && (unsigned long long)size.QuadPart < maxBytes)
    capacity = (size_t)size.QuadPart;
  std::string buffer(capacity, '\0');
  size_t total = 0;
  maxBytes = capacity;
  while (total < maxBytes) {
    DWORD wanted = (DWORD)(maxBytes - total), read = 0;
    if (!ReadFile(file.Get(), &buffer[total], wanted, &read, nullptr)) return false;
    total += read;
    if (read < wanted) break;  // a short read is the end of a file; spare the call that returns 0
  }
  buffer.resize(total);
  bytes->swap(buffer);
  return true;
}

std::vector<std::wstring> ParseQuotedFields(const std::string& text) {
  std::vector<std::wstring> fields;
  size_t i = 0, n = text.size();
  while (i < n) {
    while (i < n && (text[i] == ' ' || text[i] == '\t')) i++;
    if (i >= n) break;
    std::string field;
    if (text[i] == '"') {
      // A quoted entry ends at its line's end even without its closing quote,
      // so a damaged line never swallows the entries after it.
      for (i++; i < n && !IsLineEnd(text[i]); i++) {
        if (text[i] != '"') {
          field += text[i];
        } else if (i + 1 < n && text[i + 1] == '"') {
          field += '"';
          i++;
        } else {
          i++;
          break;
        }
      }
      while (i < n && text[i] != ',' && !IsLineEnd(text[i])) i++;  // rest after the closing quote
    } else {
      while (i < n && text[i] != ',' && !IsLineEnd(text[i])) field += text[i++];
    }
    // The separator: a comma, or one line end (CR LF counts as one).
    if (i < n && text[i] == ',') {
      i++;
    } else if (i < n && text[i] == '\r') {
      i += (i + 1 < n && text[i + 1] == '\n') ? 2 : 1;
    } else if (i < n) {
      i++;
    }
    fields.push_back(Text::FromAnsi(field));
  }
  return fields;
}

bool ReadQuotedFields(const std::wstring& path, std::vector<std::wstring>* fields) {
  std::string text;
  // Lists are small text files; a cap keeps a hostile file from exhausting memory.
  if (!ReadHead(path, 64 * 1024 * 1024, &text)) return false;
  *fields = ParseQuotedFields(text);
  return true;
}

bool AppendQuotedLine(const std::wstring& path, const std::wstring& text) {
  ScopedHandle file(CreateFileA(Text::ToAnsi(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return false;
  LARGE_INTEGER size = {};
  GetFileSizeEx(file.Get(), &size);
  std::string line;
  if (size.QuadPart > 0) {
    char last = 0;
    DWORD read = 0;
    LARGE_INTEGER back;
    back.QuadPart = -1;
    SetFilePointerEx(file.Get(), back, nullptr, FILE_END);
    if (ReadFile(file.Get(), &last, 1, &read, nullptr) && read == 1 && last != '\n') line = "\r\n";
  }
  std::string quoted;
  for (char c : Text::ToAnsi(text)) quoted += (c == '"') ? std::string("\"\"") : std::string(1, c);
  line += "\"" + quoted + "\"\r\n";
  LARGE_INTEGER zero = {};
  SetFilePointerEx(file.Get(), zero, nullptr, FILE_END);
  return WriteAll(file.Get(), line);
}

// Writes and flushes a new file. A file that was created but not filled is
// closed before it is deleted, so a failure leaves nothing behind.
static bool WriteNewFile(const std::string& ansiPath, const std::string& bytes, unsigned long* error) {
  bool written = false;
  {
    ScopedHandle file(
        CreateFileA(ansiPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) {
      *error = GetLastError();
      return false;
    }
    written = WriteAll(file.Get(), bytes) && FlushFileBuffers(file.Get());
    if (!written) *error = GetLastError();
  }
  if (!written) DeleteFileA(ansiPath.c_str());
  return written;
}

static bool ReplaceWithBytes(const std::wstring& path, const std::string& bytes, unsigned long* error) {
  std::string ansiTemp = Text::ToAnsi(path + L".~tmp");
  if (!WriteNewFile(ansiTemp, bytes, error)) return false;
  if (!MoveFileExA(ansiTemp.c_str(), Text::ToAnsi(path).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    *error = GetLastError();
    DeleteFileA(ansiTemp.c_str());
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

bool FolderExists(const std::wstring& path) {
  DWORD attributes = GetFileAttributesA(Text::ToAnsi(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace Files
