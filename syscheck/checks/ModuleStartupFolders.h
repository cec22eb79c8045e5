// The Startup folders: every program, script and shortcut in the user's own and in
// all users' Startup folder starts at logon, wherever the shell folders' settings
// point those folders. Judged by the shared rules of the further places; CLEAN
// moves the file into its backup.
#pragma once
#include <string>
#include <vector>

namespace ModuleStartupFolders {

// The folders whose files start at logon: the standard places, and where the
// user's and the machine's shell-folder settings point them; each once.
std::vector<std::wstring> Folders();
void CheckStartupFolders();
// A file right inside one of the folders: what a backup of this check may name.
bool IsStartupItem(const std::wstring& path);

}  // namespace ModuleStartupFolders
