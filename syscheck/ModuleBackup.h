// Backups of what a CLEAN changes in the registry, and their restore. Each CLEAN
// gets one file in the "backup" folder beside the program, written before the
// change, so a removal made by mistake can be undone.
//
// Restoring puts back the "before" state: a value or key that was absent is
// removed again (a key the CLEAN created stays, empty, as Windows keeps it).
#pragma once
#include <string>
#include <vector>

#include "syscheck/BackupFile.h"

namespace ModuleBackup {

// The "backup" folder beside the program.
std::wstring Folder();

// Records the places' current state in a new file, made atomically and flushed,
// creating the folder when missing. False, with nothing left behind, when a place
// cannot be read or the file cannot be written.
bool Save(const std::vector<Place>& places, const std::wstring& tag, const std::wstring& subject, Backup* backup);
// After the CLEAN: records what the places hold now. A backup of a CLEAN that
// changed nothing is deleted: there is nothing to restore.
void Seal(Backup* backup);

// Every backup file in the folder, oldest first; one that cannot be read whole, or
// names places no CLEAN of its check changes (Checks::Permits), is marked damaged.
std::vector<Backup> List();
// A place holds something other than what the CLEAN left there (or, when that is
// unknown, something other than the backup): restoring would overwrite it. A place
// that cannot be read counts as changed, and is added to `unreadable` when given:
// such a backup cannot be restored.
bool ChangedSince(const Backup& backup, std::vector<Place>* unreadable = nullptr);
// Writes the "before" states back and deletes the file. When a place cannot be
// written, the places already written get back what they held, so a backup is
// restored whole or not at all; false, with the system's code in `error`. True
// once the registry holds the "before" states; `error` is then 0, or the code of
// the file that could not be deleted.
bool Restore(const Backup& backup, unsigned long* error);
bool Delete(const Backup& backup, unsigned long* error);

// A registry root as the program names it: "HKCR", "HKCU", "HKLM".
const wchar_t* RootName(Reg::Root root);
// The place as the restore window shows it, short for its narrow list: "HKCU\...\Run : x".
std::wstring Describe(const Place& place);

}  // namespace ModuleBackup
