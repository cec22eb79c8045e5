// Process-wide facilities: the program folder, the date, sound, and starting
// the file browser or a document.
#pragma once
#include <string>
#include <vector>

namespace System {

// Folder of the running executable, without a trailing backslash.
std::wstring ProgramFolder();
// A file beside the program, named as "\sk.bmp" or "\log".
std::wstring ProgramFile(const std::wstring& name);
// The text with its %NAME% references replaced by the environment's values, as
// Windows expands them for the programs it starts: on 64-bit Windows the 32-bit build
// gives %ProgramFiles% and %CommonProgramFiles% the 64-bit folders, as the 64-bit
// Task Scheduler, services and Explorer do. Unknown names stay as written.
std::wstring ExpandEnvironment(const std::wstring& text);
// The system's own words for an error code (a Win32 code or an HRESULT), without
// the line end; empty when it has none.
std::wstring ErrorText(unsigned long code);
// The SID of the user this process runs as, in its text form ("S-1-5-21-...");
// empty when it cannot be read.
std::wstring CurrentUserSid();
// The program's command line after the program's own name, as given.
std::wstring CommandArguments();
// The same, split as the C runtime splits them (quotes group, backslashes escape them).
std::vector<std::wstring> CommandArgumentList();
// Today's date in the user's short date form (e.g. 2026/12/10).
std::wstring TodayShortDate();
// The local date and time to the second, sortable: "2026-12-10 14:03:22".
std::wstring LocalTimestamp();
// The local time's offset from UTC as ISO 8601 writes it: "+08:00", "-05:30".
std::wstring UtcOffset();
// This computer's NetBIOS name; empty when it cannot be asked.
std::wstring ComputerName();
void SleepMs(unsigned long milliseconds);
// A steady millisecond clock for pacing work; its zero is arbitrary.
double Milliseconds();
// Starts a WAV file playing and returns at once (SND_ASYNC only).
void PlaySoundAsync(const std::wstring& path);
// Tests count the sounds started by putting their own player here; null restores PlaySoundA.
using SoundPlayer = void (*)(const std::wstring& path);
void SetSoundPlayer(SoundPlayer player);
// Runs "explorer " + folder in a new, maximized, focused window.
bool StartExplorer(const std::wstring& folder);
// Opens a document or web address with the program the shell chooses for it
// (ShellExecuteA "open", `parentWindow` as parent); returns at once, nothing is examined.
void OpenDocument(void* parentWindow, const std::wstring& target);
// Tests record the open requests by putting their own opener here; null restores ShellExecuteA.
using Opener = void (*)(void* parentWindow, const std::wstring& verb, const std::wstring& target);
void SetOpener(Opener opener);
// The shell's folder browser; the chosen file-system folder, or empty when cancelled.
std::wstring BrowseForFolder(void* ownerWindow, const std::wstring& title);
// The shell's file chooser for one existing file; its path, or empty when cancelled.
std::wstring BrowseForFile(void* ownerWindow, const std::wstring& title);
// The Windows folder of the system (not a user's own under Terminal Services),
// without a trailing backslash; empty when it cannot be asked.
std::wstring WindowsFolder();
// The folders of the system's own programs: System32, and SysWOW64 where Windows
// is 64-bit. Each as the system names it, without a trailing backslash.
std::vector<std::wstring> SystemFolders();
// The user's own folder for the data of programs that stay on this machine
// (%LOCALAPPDATA%), without a trailing backslash; empty when it cannot be asked.
std::wstring LocalAppDataFolder();
// The id of this process.
unsigned long CurrentProcessId();
// Windows is 64-bit: the registry has two views (the 64-bit one and the 32-bit
// one under Wow6432Node). Always so for the 64-bit build; the 32-bit build asks once.
bool Is64BitWindows();
// This is the 32-bit build on 64-bit Windows (WOW64), where System32 is redirected
// to SysWOW64. Never so for the 64-bit build, which sees every folder as it is.
bool IsWow64();

}  // namespace System
