// The ShellExecute hooks check: every hook registered with the shell.
#pragma once

namespace ModuleShellExecuteHooks {

// One value per class identifier (its data unused), under the machine's key.
extern const wchar_t kShellExecuteHooks[];

// Asks about each registered hook; CLEAN removes its value.
void CheckShellExecuteHooks();

}  // namespace ModuleShellExecuteHooks
