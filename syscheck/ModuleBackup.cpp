#include "syscheck/ModuleBackup.h"

#include <algorithm>
#include <cstdio>

#include "common/DataFolder.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/System.h"
#include "platform/Tasks.h"
#include "platform/Text.h"
#include "syscheck/checks/Checks.h"
#include "syscheck/checks/ModuleTasks.h"
#include "syscheck/checks/TaskXml.h"

namespace ModuleBackup {
namespace {

const wchar_t kExtension[] = L".bak";
// A value holds at most about 1M UTF-16 units, two hex digits a byte; room for many.
constexpr size_t kLargestFile = 64u << 20;
// The system's codes for a restore refused before it starts.
constexpr unsigned long kInvalidData = 13;
constexpr unsigned long kAccessDenied = 5;

// A file larger than this is not backed up, and so not removed: its bytes, twice
// over as hex, must fit a backup file that can be read back.
constexpr size_t kLargestBackedUpFile = 24u << 20;

// --- the files a CLEAN removes ---

bool IsMissing(unsigned long error) { return error == 2 || error == 3; }  // no such file, no such folder

// A device's name is never taken for one: the path is kept literal.
bool CaptureFile(const Place& place, State* state) {
  std::wstring literal;
  std::string bytes;
  unsigned long error = 0;
  if (!Files::LiteralPath(place.path, &literal)) return false;
  bool read = Files::ReadHead(literal, kLargestBackedUpFile + 1, &bytes, &error);
  // A missing file of a device's name is no file at all to the reading.
  bool missing = IsMissing(error) || (error == Files::kNotAFile && !Files::Exists(literal));
  if (!read && !missing) return false;
  if (read && bytes.size() > kLargestBackedUpFile) return false;
  State captured;
  captured.present = read;
  captured.value.data.swap(bytes);
  *state = std::move(captured);
  return true;
}

long ApplyFile(const Place& place, const State& state) {
  std::wstring literal;
  unsigned long error = 0;
  if (!Files::LiteralPath(place.path, &literal)) return kInvalidData;
  bool done = state.present ? Files::ReplaceWithBytes(literal, state.value.data, &error)
                            : Files::Remove(literal, &error) || IsMissing(error);
  return done ? Reg::Ok : (long)error;
}

// --- scheduled tasks: files the scheduler knows as well ---

// A task file lies in the real System32, which the 32-bit build reaches with its
// redirection off; nothing is loaded meanwhile.
bool CaptureTask(const Place& place, State* state) {
  Files::RealSystemFolder real;
  return CaptureFile(place, state);
}

// Registered again from its own XML where there is a scheduler, which writes the
// file its own way; then the file holds exactly the bytes it held.
long ApplyTask(const Place& place, const State& state) {
  const std::wstring task = ModuleTasks::TaskPathOf(place.path);
  if (task.empty()) return kInvalidData;
  if (Tasks::Available() == Tasks::Ok) {
    long rc = state.present ? Tasks::Register(task, TaskXml::Decode(state.value.data), Tasks::Logon::AsWritten)
                            : Tasks::Delete(task);
    if (rc != Tasks::Ok && (state.present || rc != Tasks::NotFound)) return rc;
  }
  Files::RealSystemFolder real;
  return ApplyFile(place, state);
}

// --- the registry ---

// False when the place cannot be read; a missing key or value is a state of its own.
bool Capture(const Place& place, State* state) {
  if (place.task) return CaptureTask(place, state);
  if (place.file) return CaptureFile(place, state);
  State read;
  long rc;
  if (place.wholeKey) {
    rc = Reg::ReadTree(place.root, place.path, &read.tree, place.view);
  } else {
    Reg::Key key;
    rc = Reg::Open(place.root, place.path, &key, place.view);
    if (rc == Reg::Ok) rc = Reg::QueryValue(key, place.name, &read.value);
  }
  if (rc != Reg::Ok && rc != Reg::NotFound) return false;
  read.present = rc == Reg::Ok;
  *state = std::move(read);
  return true;
}

long Absent(long rc) { return rc == Reg::NotFound ? Reg::Ok : rc; }

long Apply(const Place& place, const State& state) {
  if (place.task) return ApplyTask(place, state);
  if (place.file) return ApplyFile(place, state);
  if (place.wholeKey) {
    long rc = Absent(Reg::DeleteTree(place.root, place.path, place.view));
    return rc == Reg::Ok && state.present ? Reg::WriteTree(place.root, place.path, state.tree, place.view) : rc;
  }
  if (!state.present) return Absent(Reg::DeleteValue(place.root, place.path, place.name, place.view));
  Reg::Key key;
  long rc = Reg::Create(place.root, place.path, &key, place.view);
  return rc == Reg::Ok ? Reg::SetValue(key, place.name, state.value.type, state.value.data) : rc;
}

// Puts a place back as it stood before a restore began. A removal that stopped
// part-way still gets back all it had removed: what remains is part of `state`.
long PutBack(const Place& place, const State& state) {
  long rc = Apply(place, state);
  if (rc == Reg::Ok || !place.wholeKey || !state.present) return rc;
  return Reg::WriteTree(place.root, place.path, state.tree, place.view);
}

// --- the backup files ---

std::wstring NewFileName(const std::wstring& time) {
  std::wstring stem;
  for (wchar_t c : time)
    if (c != L'-' && c != L':') stem += c == L' ' ? L'-' : c;
  for (int n = 1;; n++) {
    wchar_t number[16];
    swprintf(number, 16, L"-%03d", n);
    std::wstring file = Folder() + L"\\" + stem + number + kExtension;
    if (!Files::Exists(file) && !Files::Exists(file + L".~tmp")) return file;
  }
}

bool Write(const Backup& backup) {
  unsigned long error = 0;
  return Files::ReplaceWithText(backup.file, Text::FromAnsi(Format(backup)), &error);
}

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::vector<std::wstring> BackupFiles() {
  std::vector<std::wstring> files;
  Folders::Entry entry;
  Folders::Listing listing = Folders::First(Folder(), L"\\*", &entry);
  for (bool more = (bool)listing; more; more = Folders::Next(listing, &entry))
    if (!(entry.attributes & Folders::kDirectory) && EndsWith(entry.name, kExtension)) files.push_back(entry.name);
  std::sort(files.begin(), files.end());  // the names begin with the date and time
  return files;
}

Backup Load(const std::wstring& name) {
  Backup backup;
  std::string bytes;
  bool whole = Files::ReadHead(Folder() + L"\\" + name, kLargestFile + 1, &bytes) && bytes.size() <= kLargestFile;
  // A file that names places no CLEAN of its check changes was not written by one.
  if (!whole || !Parse(bytes, &backup) || !Checks::Permits(backup)) backup.damaged = true;
  backup.file = Folder() + L"\\" + name;
  return backup;
}

}  // namespace

const wchar_t* RootName(Reg::Root root) {
  if (root == Reg::ClassesRoot) return L"HKCR";
  return root == Reg::CurrentUser ? L"HKCU" : L"HKLM";
}

std::wstring Folder() { return DataFolder::File(L"backup"); }

bool Save(const std::vector<Place>& places, const std::wstring& tag, const std::wstring& subject, Backup* backup) {
  Backup saved;
  saved.tag = tag;
  saved.subject = subject;
  for (const Place& place : places) {
    saved.changes.push_back({place, {}, {}, false});
    if (!Capture(place, &saved.changes.back().before)) return false;
  }
  if (!DataFolder::Make(L"backup")) return false;
  saved.time = System::LocalTimestamp();
  saved.file = NewFileName(saved.time);
  if (!Write(saved)) return false;
  *backup = std::move(saved);
  return true;
}

void Seal(Backup* backup) {
  bool changed = false;
  for (Change& change : backup->changes) {
    change.afterKnown = Capture(change.place, &change.after);
    changed = changed || !change.afterKnown || !(change.after == change.before);
  }
  unsigned long error = 0;
  if (!changed)
    Files::Remove(backup->file, &error);
  else
    Write(*backup);  // on failure the file keeps the "before" states and "after unknown"
}

std::vector<Backup> List() {
  std::vector<Backup> backups;
  for (const std::wstring& name : BackupFiles()) backups.push_back(Load(name));
  return backups;
}

bool ChangedSince(const Backup& backup, std::vector<Place>* unreadable) {
  bool changed = false;
  for (const Change& change : backup.changes) {
    State now;
    if (!Capture(change.place, &now)) {
      if (unreadable) unreadable->push_back(change.place);
      changed = true;
      continue;
    }
    changed = changed || (change.afterKnown ? !(now == change.after) : now.present && !(now == change.before));
  }
  return changed;
}

bool Restore(const Backup& backup, unsigned long* error) {
  *error = 0;
  if (backup.damaged) {
    *error = kInvalidData;
    return false;
  }
  std::vector<State> now(backup.changes.size());
  for (size_t i = 0; i < now.size(); i++) {
    if (!Capture(backup.changes[i].place, &now[i])) {
      *error = kAccessDenied;  // a place that cannot be read could not be put back either
      return false;
    }
  }
  for (size_t i = 0; i < now.size(); i++) {
    long rc = Apply(backup.changes[i].place, backup.changes[i].before);
    if (rc == Reg::Ok) continue;
    for (size_t undo = i + 1; undo-- > 0;) PutBack(backup.changes[undo].place, now[undo]);
    *error = (unsigned long)rc;
    return false;
  }
  Delete(backup, error);  // the registry is back either way; `error` tells of the file
  return true;
}

bool Delete(const Backup& backup, unsigned long* error) { return Files::Remove(backup.file, error); }

// A place of the 32-bit view on 64-bit Windows is marked as its finding was.
std::wstring Describe(const Place& place) {
  if (place.file) return place.path;
  std::wstring text = std::wstring(RootName(place.root)) + L"\\" + place.path;
  if (!place.wholeKey) text += L" : " + (place.name.empty() ? std::wstring(L"(默认)") : place.name);
  return place.view == Reg::Bits32 ? text + L" [32位]" : text;
}

}  // namespace ModuleBackup
