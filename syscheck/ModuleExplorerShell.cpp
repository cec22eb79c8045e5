#include "syscheck/ModuleExplorerShell.h"

#include "platform/Text.h"
#include "syscheck/Winlogon.h"

namespace ModuleExplorerShell {
namespace {

// Whatever follows the first space is started beside the shell.
bool ShellTail(const std::wstring& text, std::wstring* subject) {
  size_t space = text.find(L' ');
  if (space == std::wstring::npos) return false;
  *subject = Text::Trim(text.substr(space + 1));
  return true;
}

const Winlogon::Rule kShell = {Winlogon::kShell, L"RES", L"Explorer.exe", ShellTail};

}  // namespace

void CheckExplorerShell() { Winlogon::ExamineValue(kShell); }

}  // namespace ModuleExplorerShell
