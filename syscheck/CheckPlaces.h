// The registry places each check's CLEAN changes, by the check's tag. A backup is
// restored only when it names exactly the places a CLEAN of its check names, so a
// file planted in the backup folder cannot make a restore write anywhere else.
#pragma once
#include "syscheck/ModuleBackup.h"

namespace CheckPlaces {

// The backup's changes are those of one CLEAN of the check its tag names: the
// same places (key paths and value names, either view) in the same number, each
// holding what that check removes or rewrites.
bool Permits(const ModuleBackup::Backup& backup);

}  // namespace CheckPlaces
