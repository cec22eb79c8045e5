// The Winlogon Shell check: a second program started behind the desktop shell.
#pragma once

namespace ModuleExplorerShell {

void CheckExplorerShell();

}  // namespace ModuleExplorerShell
