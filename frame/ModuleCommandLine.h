// The program run unattended from a command line, for administrators who check
// many machines: the system check and the suspicious-file scan with no window,
// the findings as JSON Lines, the outcome as the exit code.
#pragma once
#include <string>
#include <vector>

namespace ModuleCommandLine {

enum ExitCode { kNothingFound = 0, kFindings = 1, kCleanFailed = 2, kBadArguments = 3, kAnotherRun = 4 };

struct Request {
  bool usage = false;  // "/?"
  bool check = false;
  bool clean = false;
  std::wstring scanPath;
  std::wstring reportFile;
};
// Reads the arguments (switches in any case, "-" for "/"): empty when they make a
// request, else the one line that names the problem.
std::wstring Parse(const std::vector<std::wstring>& words, Request* request);

// The program was started with arguments of the command line: not none, and not
// the logon start, which opens the window as ever.
bool Given();
// The whole run, from the arguments to the exit code.
int Run();

}  // namespace ModuleCommandLine
