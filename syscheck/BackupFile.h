// A backup file: what one CLEAN changed in the registry or on the disk, written
// before the change and completed after it (ModuleBackup writes, lists and restores them).
//
// The file is ASCII text, one field per line, every line "label value":
//
//   Zorvane registry backup 1
//   time 2026-12-10 14:03:22
//   tag <hex>                      the report line's tag, UTF-16LE as hex
//   subject <hex>                  the report line's subject, likewise
//   changes <count>
//   then per change:
//     place value | place key | place file | place task
//     (a file place has only its "path" line, the file's full path, then its states;
//     a task place, the file of a scheduled task, has the same lines)
//     root <hex of the root key>   80000000 classes, 80000001 user, 80000002 machine
//     view 32 | view 64            the registry view: 64 is the 64-bit registry of 64-bit
//                                  Windows, 32 the 32-bit one (the only one of 32-bit
//                                  Windows); the same in files of either build
//     path <hex>                   the key's path, UTF-16LE as hex
//     name <hex>                   a value place only
//     before <state>               what the place held before the CLEAN
//     after <state>                what it held after; "after unknown" when that
//                                  could not be recorded
//   end
//
// A state is "absent" or "present" followed, for a value, by "type <decimal>" and
// "data <hex>"; for a key, by its tree: "values <count>", each as "value <hex
// name>", "type", "data", then "subkeys <count>", each as "subkey <hex name>" and
// its own tree. A tree that is a symbolic link starts with the line "link " and
// has no subkeys: its one value names its target. A file's state is "present"
// and "data <hex>", its bytes. Hex is upper-case, two digits
// a byte; an empty field is "label " with nothing after the space. A file that
// does not read exactly so, to its "end" line, is damaged and is never restored
// in part.
#pragma once
#include <string>
#include <vector>

#include "platform/Registry.h"

namespace ModuleBackup {

// One place a CLEAN changes: a registry value, a whole key with everything under
// it, or a file (`path` is then the file's full path, root and view unused).
struct Place {
  Reg::Root root = Reg::CurrentUser;
  std::wstring path;
  std::wstring name;
  bool wholeKey = false;
  bool file = false;
  bool task = false;          // the file is a scheduled task's: the restore registers it again
  Reg::View view = Reg::Own;  // a backup is restored in the view it was taken from
};
Place ValuePlace(Reg::Root root, const std::wstring& path, const std::wstring& name, Reg::View view = Reg::Own);
Place KeyPlace(Reg::Root root, const std::wstring& path, Reg::View view = Reg::Own);
Place FilePlace(const std::wstring& path);
Place TaskPlace(const std::wstring& file);

// What a place holds at one moment.
struct State {
  bool present = false;
  Reg::Value value;  // a value place; a file's bytes are its data
  Reg::Tree tree;    // a key place
};
bool operator==(const State& a, const State& b);

struct Change {
  Place place;
  State before;
  State after;
  bool afterKnown = false;
};

struct Backup {
  std::wstring file;  // the whole path
  std::wstring time;  // "2026-12-10 14:03:22"
  std::wstring tag;
  std::wstring subject;
  std::vector<Change> changes;
  bool damaged = false;
};

// The file's text, and its reading; exposed for the tests of damaged files.
std::string Format(const Backup& backup);
bool Parse(const std::string& text, Backup* backup);

}  // namespace ModuleBackup
