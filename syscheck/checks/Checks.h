// The checks of the system check, in the order they run: one module pair each in
// this folder, and this table. A check's entry names the tag of its findings and
// the registry places its CLEAN changes: a backup is restored only when it names
// exactly such places, so a file planted in the backup folder cannot make a
// restore write anywhere else.
#pragma once
#include <vector>

#include "syscheck/ModuleBackup.h"

namespace Checks {

struct Check {
  const wchar_t* tag;  // "P", "RAR", ...
  void (*run)();       // walks its places and puts each finding to the user
  // The changes of one backup are those of one CLEAN of this check: the same places
  // (key paths and value names, either view) in the same number, each holding what
  // the check removes or rewrites. None for a check that backs nothing up.
  bool (*permits)(const std::vector<ModuleBackup::Change>& changes);
};

const std::vector<Check>& InOrder();
// The first checks of the order are the eight the system check always had; the
// further places come after them.
constexpr size_t kOriginalCount = 8;

// The backup's changes are those of one CLEAN of the check its tag names.
bool Permits(const ModuleBackup::Backup& backup);

}  // namespace Checks
