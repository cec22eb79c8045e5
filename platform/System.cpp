#include "platform/System.h"

#include <windows.h>

#include <mmsystem.h>
#include <shellapi.h>
#include <shlobj.h>

#include <commdlg.h>
#include <cwchar>
#include <sddl.h>
#include <vector>

#include "platform/Folders.h"
#include "platform/ScopedHandle.h"
#include "platform/Text.h"

namespace System {

// Read in UTF-16: a folder named outside the code page must not come back with "?".
std::wstring ProgramFolder() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameW(nullptr, path.data(), (DWORD)path.size());
    if (length == 0) return {};
    if (length < path.size()) {
      std::wstring full(path.data(), length);
      size_t slash = full.find_last_of(L"\\/");
      return slash == std::wstring::npos ? std::wstring() : full.substr(0, slash);
    }
    path.resize(path.size() * 2);
  }
}

std::wstring ProgramFile(const std::wstring& name) { return ProgramFolder() + name; }

namespace {

// Under WOW64 this process sees %ProgramFiles% and %CommonProgramFiles% as the x86
// folders; the 64-bit programs that start entries (Task Scheduler, services, Explorer,
// Winlogon) see the 64-bit ones, which WOW64 keeps as ProgramW6432 and CommonProgramW6432.
std::wstring AsWindowsStartsIt(const std::wstring& text) {
  static const struct {
    const wchar_t *name, *native;
  } kRenamed[] = {{L"ProgramFiles", L"ProgramW6432"}, {L"CommonProgramFiles", L"CommonProgramW6432"}};
  if (!IsWow64() || text.find(L'%') == std::wstring::npos) return text;
  std::wstring out;
  size_t at = 0;
  for (;;) {
    size_t open = text.find(L'%', at);
    size_t close = open == std::wstring::npos ? open : text.find(L'%', open + 1);
    if (close == std::wstring::npos) return out + text.substr(at);
    std::wstring name = text.substr(open + 1, close - open - 1);
    out += text.substr(at, open - at + 1);
    for (const auto& renamed : kRenamed)
      if (_wcsicmp(name.c_str(), renamed.name) == 0 && GetEnvironmentVariableW(renamed.native, nullptr, 0) > 0)
        name = renamed.native;
    out += name + L'%';
    at = close + 1;
  }
}

}  // namespace

std::wstring ExpandEnvironment(const std::wstring& written) {
  const std::wstring text = AsWindowsStartsIt(written);
  DWORD needed = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
  if (needed == 0) return written;
  std::wstring expanded(needed, L'\0');
  DWORD length = ExpandEnvironmentStringsW(text.c_str(), &expanded[0], needed);
  if (length == 0 || length > needed) return written;
  expanded.resize(length - 1);  // the count includes the NUL
  return expanded;
}

namespace {

std::wstring MessageOf(unsigned long code) {
  wchar_t* buffer = nullptr;
  DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, (LPWSTR)&buffer, 0, nullptr);
  std::wstring text(buffer ? buffer : L"", length);
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ')) text.pop_back();
  return text;
}

}  // namespace

// An HRESULT that wraps a Win32 code has that code's words where the system has none for it.
std::wstring ErrorText(unsigned long code) {
  std::wstring text = MessageOf(code);
  if (text.empty() && HRESULT_FACILITY(code) == FACILITY_WIN32 && (code & 0x80000000))
    text = MessageOf(HRESULT_CODE(code));
  return text;
}

std::wstring CurrentUserSid() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  ScopedHandle closer(token);
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, nullptr, 0, &size);
  std::vector<BYTE> user(size ? size : 1);
  if (!GetTokenInformation(token, TokenUser, user.data(), size, &size)) return {};
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &text)) return {};
  std::wstring sid = text;
  LocalFree(text);
  return sid;
}

// Skips the program's name as the system's parser reads it: quoted, or up to the first space.
std::wstring CommandArguments() {
  const wchar_t* line = GetCommandLineW();
  bool quoted = false;
  for (; *line && (quoted || (*line != L' ' && *line != L'\t')); line++)
    if (*line == L'"') quoted = !quoted;
  while (*line == L' ' || *line == L'\t') line++;
  return line;
}

std::vector<std::wstring> CommandArgumentList() {
  std::vector<std::wstring> list;
  int count = 0;
  wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!words) return list;
  for (int i = 1; i < count; i++) list.push_back(words[i]);
  LocalFree(words);
  return list;
}

std::wstring TodayShortDate() {
  char buffer[128] = {};
  int length = GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, buffer, sizeof buffer);
  return length > 0 ? Text::FromAnsi(buffer) : std::wstring();
}

std::wstring LocalTimestamp() {
  SYSTEMTIME now = {};
  GetLocalTime(&now);
  wchar_t text[32] = {};
  swprintf(text, 32, L"%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
           now.wSecond);
  return text;
}

std::wstring UtcOffset() {
  TIME_ZONE_INFORMATION zone = {};
  DWORD which = GetTimeZoneInformation(&zone);
  long bias = zone.Bias;  // minutes to add to local time for UTC
  if (which == TIME_ZONE_ID_STANDARD) bias += zone.StandardBias;
  if (which == TIME_ZONE_ID_DAYLIGHT) bias += zone.DaylightBias;
  long ahead = -bias;
  long minutes = ahead < 0 ? -ahead : ahead;
  wchar_t text[16] = {};
  swprintf(text, 16, L"%lc%02ld:%02ld", ahead < 0 ? L'-' : L'+', minutes / 60, minutes % 60);
  return text;
}

std::wstring ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  return GetComputerNameW(name, &size) ? std::wstring(name, size) : std::wstring();
}

void SleepMs(unsigned long milliseconds) { Sleep(milliseconds); }

double Milliseconds() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return (double)now.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

// Read in UTF-16: the ANSI result turns a folder such as "Ðata" into another name.
std::wstring BrowseForFolder(void* ownerWindow, const std::wstring& title) {
  CoInitialize(nullptr);
  BROWSEINFOW info = {};
  info.hwndOwner = (HWND)ownerWindow;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  LPITEMIDLIST item = SHBrowseForFolderW(&info);
  if (!item) return {};
  wchar_t path[MAX_PATH] = {};
  BOOL ok = SHGetPathFromIDListW(item, path);
  CoTaskMemFree(item);
  return ok ? std::wstring(path) : std::wstring();
}

// Read in UTF-16, with room for a long path: the name may lie outside the code page.
std::wstring BrowseForFile(void* ownerWindow, const std::wstring& title) {
  std::vector<wchar_t> path(32768, L'\0');
  OPENFILENAMEW info = {};
  info.lStructSize = sizeof info;
  info.hwndOwner = (HWND)ownerWindow;
  info.lpstrFilter = L"程序和库 (*.exe;*.dll)\0*.exe;*.dll\0所有文件 (*.*)\0*.*\0";
  info.lpstrFile = path.data();
  info.nMaxFile = (DWORD)path.size();
  info.lpstrTitle = title.c_str();
  info.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  if (!GetOpenFileNameW(&info)) return {};
  return path.data();
}

namespace {
// The ANSI call where it carries the path exactly, the wide one elsewhere.
void PlayWithWinmm(const std::wstring& path) {
  if (Folders::FitsAnsiCalls(path))
    PlaySoundA(Text::ToAnsi(path).c_str(), nullptr, SND_ASYNC);
  else
    PlaySoundW(path.c_str(), nullptr, SND_ASYNC);
}
SoundPlayer g_player = PlayWithWinmm;
}  // namespace

void PlaySoundAsync(const std::wstring& path) { g_player(path); }

void SetSoundPlayer(SoundPlayer player) { g_player = player ? player : PlayWithWinmm; }

bool StartExplorer(const std::wstring& folder) {
  std::wstring command = L"explorer " + folder;  // wide: the folder may hold any name
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWMAXIMIZED;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  ScopedHandle thread(process.hThread), started(process.hProcess);  // nothing waits for the browser
  return true;
}

namespace {
void OpenWithShell(void* parentWindow, const std::wstring& verb, const std::wstring& target) {
  if (Folders::FitsAnsiCalls(target)) {
    ShellExecuteA((HWND)parentWindow, Text::ToAnsi(verb).c_str(), Text::ToAnsi(target).c_str(), nullptr, nullptr,
                  SW_SHOWNORMAL);
    return;
  }
  ShellExecuteW((HWND)parentWindow, verb.c_str(), target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
Opener g_opener = OpenWithShell;
}  // namespace

void OpenDocument(void* parentWindow, const std::wstring& target) { g_opener(parentWindow, L"open", target); }

void SetOpener(Opener opener) { g_opener = opener ? opener : OpenWithShell; }

namespace {
using FolderQuery = UINT(WINAPI*)(LPWSTR, UINT);

// Asked again with room for the whole name when the first buffer is too small.
std::wstring FolderFrom(FolderQuery query) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    UINT length = query(buffer.data(), (UINT)buffer.size());
    if (length == 0) return {};
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(length);
  }
}
}  // namespace

std::wstring LocalAppDataFolder() {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path))) return {};
  std::wstring folder = path;
  while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  return folder;
}

std::wstring WindowsFolder() { return FolderFrom(GetSystemWindowsDirectoryW); }

// GetSystemWow64DirectoryW is looked up at run time: Windows 2000 lacks it, and
// 32-bit Windows answers it with no folder.
std::vector<std::wstring> SystemFolders() {
  std::vector<std::wstring> folders;
  std::wstring system = FolderFrom(GetSystemDirectoryW);
  if (!system.empty()) folders.push_back(system);
  auto wow64 = reinterpret_cast<FolderQuery>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetSystemWow64DirectoryW")));
  std::wstring other = wow64 ? FolderFrom(wow64) : std::wstring();
  if (!other.empty()) folders.push_back(other);
  return folders;
}

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

// IsWow64Process is missing before XP SP2, where there is no 64-bit Windows either.
bool IsWow64() {
#ifdef _WIN64
  return false;
#else
  static const bool wow64 = [] {
    using IsWow64Process = BOOL(WINAPI*)(HANDLE, BOOL*);
    auto isWow64Process = reinterpret_cast<IsWow64Process>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process")));
    BOOL answer = FALSE;
    return isWow64Process && isWow64Process(GetCurrentProcess(), &answer) && answer;
  }();
  return wow64;
#endif
}

bool Is64BitWindows() {
#ifdef _WIN64
  return true;
#else
  return IsWow64();
#endif
}

}  // namespace System
