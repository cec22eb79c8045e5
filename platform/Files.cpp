// Files: paths that name only files, reading a file's bytes, replacing a text
// file safely, folders, and the real System32 of 64-bit Windows. The quoted-text
// list format is in FilesList.cpp.
#include "platform/Files.h"

#include <windows.h>

#include <cstring>

#include "platform/FilesParts.h"
#include "platform/ScopedHandle.h"
#include "platform/System.h"
#include "platform/Text.h"

namespace Files {

bool WriteAll(HANDLE file, const std::string& bytes) {
  DWORD written = 0;
  return bytes.empty() ||
         (WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr) && written == bytes.size());
}

namespace {

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

// The path calls answer the length they need (with the NUL) when the buffer is short.
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

bool IsPlainName(const std::wstring& name) {
  if (name.empty() || name == L"." || name == L"..") return false;
  for (wchar_t c : name)
    if (c < 0x20 || wcschr(L"\\/:*?\"<>|", c)) return false;
  return true;
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

HANDLE OpenForReading(const std::wstring& path) {
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
  if (maxBytes > (64u << 10) && GetFileSizeEx(file.Get(), &size) && (unsigned long long)size.QuadPart < maxBytes)
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

bool ReplaceWithBytes(const std::wstring& path, const std::string& bytes, unsigned long* error) {
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

// A drive's type, asked at most once a few seconds: asking costs milliseconds under
// Wine, and a check asks for every entry it judges.
static UINT DriveType(wchar_t letter) {
  constexpr DWORD kFreshMs = 3000;
  static UINT types[26];
  static DWORD asked[26];  // 0: never
  int index = towupper(letter) - L'A';
  if (index < 0 || index >= 26) return DRIVE_NO_ROOT_DIR;
  DWORD now = GetTickCount();  // the difference holds across its wrap
  if (!asked[index] || now - asked[index] > kFreshMs) {
    wchar_t root[] = {letter, L':', L'\\', 0};
    types[index] = GetDriveTypeW(root);
    asked[index] = now ? now : 1;
  }
  return types[index];
}

bool OnRemovableOrNetworkDrive(const std::wstring& path) {
  if (path.compare(0, 2, L"\\\\") == 0)
    return path.compare(0, 4, L"\\\\?\\") != 0 && path.compare(0, 4, L"\\\\.\\") != 0;
  if (path.size() < 3 || path[1] != L':' || path[2] != L'\\') return false;
  UINT type = DriveType(path[0]);
  return type == DRIVE_REMOVABLE || type == DRIVE_REMOTE;
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

std::wstring LongPath(const std::wstring& path) {
  std::wstring full = path;
  FullPath(path, &full);
  std::wstring longer = full;
  // Every short name the system makes holds a "~"; asking for the long form reads
  // each folder on the way, which costs milliseconds under Wine.
  if (full.find(L'~') == std::wstring::npos) return full;
  AskPath([&](wchar_t* buffer, DWORD capacity) { return GetLongPathNameW(full.c_str(), buffer, capacity); }, &longer);
  return longer;
}

bool FullPath(const std::wstring& path, std::wstring* full) {
  return AskPath(
      [&](wchar_t* buffer, DWORD capacity) { return GetFullPathNameW(path.c_str(), capacity, buffer, nullptr); }, full);
}

bool CanWriteIn(const std::wstring& folder) {
  std::wstring probe = folder + L"\\~zv" + std::to_wstring(GetCurrentProcessId()) + L".tmp";
  HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
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
