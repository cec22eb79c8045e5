// What makes an entry of the further autostart places a finding: one rule set for
// every such place. The eight original checks keep their own tests.
#pragma once
#include <string>
#include <vector>

namespace ModuleSuspicious {

enum class Reason {
  None,
  // The program or library lies where any user can write: a profile, Temp,
  // ProgramData outside a program's own folder, Public, the recycle bin, a
  // removable or network drive.
  WritableFolder,
  // A script host or system program fetches or runs hidden content.
  HiddenContent,
  // The file named does not exist: a leftover anyone may fill.
  MissingFile,
  // The place holds nothing on a clean Windows, and this is not what Windows puts there.
  Unlisted,
};

// A command line as an autostart place holds it (a Run value, a task's action).
Reason JudgeCommand(const std::wstring& command);
// A library or program named by its path alone (AppCertDlls, ServiceDll).
Reason JudgeFile(const std::wstring& path);
// An entry of a place that is empty or fixed on a clean Windows: a finding unless
// it is one of `windowsOwn` (letter case and surrounding spaces aside), and even
// then when the command rules find it.
Reason JudgeFixed(const std::wstring& entry, const std::vector<std::wstring>& windowsOwn);

// The command line a service's ImagePath stands for, as the service manager and
// the kernel read it: "\SystemRoot\" and a path without a drive lie in the Windows
// folder, and "\??\" stands before a plain path.
std::wstring ServiceCommand(const std::wstring& imagePath);

// The parts of the rules, for the tests.
bool InWritableFolder(const std::wstring& path);
bool RunsHiddenContent(const std::wstring& command);

}  // namespace ModuleSuspicious
