#include "platform/System.h"

#include <windows.h>

#include <mmsystem.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cwchar>
#include <vector>

#include "platform/ScopedHandle.h"
#include "platform/Text.h"

namespace System {

std::wstring ProgramFolder() {
  std::vector<char> path(MAX_PATH);
  for (;;) {
    DWORD length = GetModuleFileNameA(nullptr, path.data(), (DWORD)path.size());
    if (length == 0) return {};
    if (length < path.size()) {
      std::wstring full = Text::FromAnsi(path.data(), length);
      size_t slash = full.find_last_of(L"\\/");
      return slash == std::wstring::npos ? std::wstring() : full.substr(0, slash);
    }
    path.resize(path.size() * 2);
  }
}

std::wstring ProgramFile(const std::wstring& name) { return ProgramFolder() + name; }

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

namespace {
void PlayWithWinmm(const std::wstring& path) { PlaySoundA(Text::ToAnsi(path).c_str(), nullptr, SND_ASYNC); }
SoundPlayer g_player = PlayWithWinmm;
}  // namespace

void PlaySoundAsync(const std::wstring& path) { g_player(path); }

void SetSoundPlayer(SoundPlayer player) { g_player = player ? player : PlayWithWinmm; }

bool StartExplorer(const std::wstring& folder) {
  std::string command = Text::ToAnsi(L"explorer " + folder);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWMAXIMIZED;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return false;
  ScopedHandle thread(process.hThread), started(process.hProcess);  // nothing waits for the browser
  return true;
}

namespace {
void OpenWithShell(void* parentWindow, const std::wstring& verb, const std::wstring& target) {
  ShellExecuteA((HWND)parentWindow, Text::ToAnsi(verb).c_str(), Text::ToAnsi(target).c_str(), nullptr, nullptr,
                SW_SHOWNORMAL);
}
Opener g_opener = OpenWithShell;
}  // namespace

void OpenDocument(void* parentWindow, const std::wstring& target) { g_opener(parentWindow, L"open", target); }

void SetOpener(Opener opener) { g_opener = opener ? opener : OpenWithShell; }

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

}  // namespace System
