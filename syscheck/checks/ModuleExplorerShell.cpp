#include "syscheck/checks/ModuleExplorerShell.h"

#include "platform/Text.h"
#include "syscheck/checks/ModuleProcess.h"
#include "syscheck/checks/Winlogon.h"

namespace ModuleExplorerShell {
namespace {

// Whatever follows the first space is started beside the shell.
bool ShellTail(const std::wstring& text, std::wstring* subject) {
  size_t space = text.find(L' ');
  if (space == std::wstring::npos) return false;
  *subject = Text::Trim(text.substr(space + 1));
  return true;
}

// The program started beside the shell; a shell whose own path holds spaces (its
// program runs past the first space) is itself that program.
bool EndAdded(const std::wstring& text, const std::wstring& subject) {
  std::wstring value = Text::Trim(text);
  std::wstring shell = ModuleProcess::ProgramFile(value);
  if (shell != ModuleProcess::ProgramFile(value.substr(0, value.find(L' ')))) {
    return ModuleProcess::EndProgram(L"\"" + shell + L"\"");
  }
  return ModuleProcess::EndProgram(subject);
}

const Winlogon::Rule kShell = {Winlogon::kShell, L"RES", L"Explorer.exe", ShellTail, EndAdded};

}  // namespace

void CheckExplorerShell() { Winlogon::ExamineValue(kShell); }

}  // namespace ModuleExplorerShell
