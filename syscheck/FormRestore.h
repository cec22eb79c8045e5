// The window "恢复已清除项目": the backups of what the checks cleaned, one row
// each, to restore or delete. It lives with the checks whose backups it shows;
// the main window only opens it.
#pragma once
#include <string>

#include "platform/Toolkit.h"
#include "syscheck/ModuleBackup.h"

namespace FormRestore {

// Lists the backups and shows the window modally over `owner`; returns when it closes.
void ShowModal(tk::Form& owner);
tk::Form& Get();
void Unload();
// A row as the list shows it: every place the backup changes, each shortened as
// the prompt shortens a long text.
std::wstring RowText(const ModuleBackup::Backup& backup);

extern tk::Control* ListBackups;
// The selected backups' places, whole, one a line: what 恢复 will write.
extern tk::Control* TextPlaces;
extern tk::Control* LabelNote;
extern tk::Control* LabelFolder;
extern tk::Control* CommandRestore;
extern tk::Control* CommandDelete;
extern tk::Control* CommandClose;

}  // namespace FormRestore
