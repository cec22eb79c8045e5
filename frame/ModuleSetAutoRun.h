// Start with Windows, for the user running the program: a logon task of this
// user's own that starts the program with the highest rights the user has, kept
// in step with the option CheckAutoRun at every start and after the settings
// dialog's OK. A Run value of the user's stands in where there is no Task Scheduler.
#pragma once
#include <string>

namespace ModuleSetAutoRun {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr wchar_t kValueName[] = L"Quorrel";
// The task the setup makes for every user of the machine.
constexpr wchar_t kAllUsersTask[] = L"Quorrel-AllUsers";
// The argument the logon tasks start the program with.
constexpr wchar_t kLogonArgument[] = L"/logon";

// The Run value's data for a program folder: the path of "Quorrel2006.exe" in double
// quotes, so that a folder with spaces cannot make Windows start another program.
std::wstring RunCommand(const std::wstring& folder);
// The name of a user's own logon task: "Quorrel-" and the user's SID.
std::wstring UserTaskName(const std::wstring& sid);
// The definition of that task for the program in `folder`.
std::wstring UserTaskXml(const std::wstring& folder, const std::wstring& sid);
// Whether a task's program path (quoted or not) is the Quorrel2006.exe of `folder`.
bool StartsProgramIn(const std::wstring& path, const std::wstring& folder);

// What could not be done: the start could not be made (option on) or taken away
// (option off), with the system's code (a registry code or an HRESULT).
enum class Failed { Nothing, Setting, Removing };
struct Result {
  Failed what = Failed::Nothing;
  unsigned long code = 0;
};

// Option on: the all-users task of the setup, when it starts this copy, covers the
// user, whose own entries go; otherwise the user's own task (or Run value) is made.
// Option off: the user's own task and Run value naming this copy go. Either way the
// machine's Run values naming this copy go where the system allows it (an earlier
// version wrote them; they do nothing for a program that asks for elevation).
// Another user's entries and those of another copy are never touched.
Result SetAutoRun();

}  // namespace ModuleSetAutoRun
