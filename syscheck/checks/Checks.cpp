#include "syscheck/checks/Checks.h"

#include <string>
#include <vector>

#include "platform/Text.h"
#include "syscheck/checks/ModuleAutoRun.h"
#include "syscheck/checks/ModuleBHO.h"
#include "syscheck/checks/ModuleExplorerShell.h"
#include "syscheck/checks/ModuleFileUnion.h"
#include "syscheck/checks/ModuleInit_DLLs.h"
#include "syscheck/checks/ModuleProcess.h"
#include "syscheck/checks/ModuleRunOnce.h"
#include "syscheck/checks/ModuleShellExecuteHooks.h"
#include "syscheck/checks/ModuleStartupFolders.h"
#include "syscheck/checks/ModuleTasks.h"
#include "syscheck/checks/ModuleUserInit.h"
#include "syscheck/checks/ModuleValuePlaces.h"
#include "syscheck/checks/Winlogon.h"

namespace Checks {
namespace {

using ModuleBackup::Change;
using Changes = std::vector<Change>;

// The registry compares key and value names without regard to letter case.
bool Same(const std::wstring& a, const std::wstring& b) { return Text::Lower(a) == Text::Lower(b); }

bool IsValueIn(const Change& change, Reg::Root root, const std::wstring& path) {
  return !change.place.wholeKey && !change.place.file && change.place.root == root && Same(change.place.path, path);
}

bool IsValue(const Change& change, Reg::Root root, const std::wstring& path, const std::wstring& name) {
  return IsValueIn(change, root, path) && Same(change.place.name, name);
}

// The checks but the file associations' clean only what they found there.
bool One(const Changes& changes, const std::function<bool(const Change&)>& fits) {
  return changes.size() == 1 && changes[0].before.present && fits(changes[0]);
}

bool RunValue(const Changes& changes) {
  return One(changes, [](const Change& change) {
    for (const ModuleAutoRun::RunPlace& run : ModuleAutoRun::kRunPlaces)
      if (IsValueIn(change, run.hive, run.subKey)) return true;
    return false;
  });
}

// The repair writes all five commands, whether or not each was there.
bool Associations(const Changes& changes) {
  std::vector<ModuleBackup::Place> repairs = ModuleFileUnion::RepairPlaces();
  if (changes.size() != repairs.size()) return false;
  for (size_t i = 0; i < repairs.size(); i++)
    if (!IsValue(changes[i], repairs[i].root, repairs[i].path, repairs[i].name)) return false;
  return true;
}

bool WinlogonValue(const Changes& changes, const wchar_t* name) {
  return One(changes,
             [name](const Change& change) { return IsValue(change, Reg::LocalMachine, Winlogon::kKey, name); });
}

// One object's key right below the objects' key: a name that is one key, no path.
bool HelperObject(const Changes& changes) {
  return One(changes, [](const Change& change) {
    const std::wstring parent = std::wstring(ModuleBHO::kBrowserHelperObjects) + L"\\";
    const std::wstring& path = change.place.path;
    if (!change.place.wholeKey || change.place.root != Reg::LocalMachine || path.size() <= parent.size()) return false;
    std::wstring name = path.substr(parent.size());
    return Same(path.substr(0, parent.size()), parent) && name.find_first_of(std::wstring(L"\\\0", 2)) == name.npos;
  });
}

bool Hook(const Changes& changes) {
  return One(changes, [](const Change& change) {
    return IsValueIn(change, Reg::LocalMachine, ModuleShellExecuteHooks::kShellExecuteHooks);
  });
}

bool AppInit(const Changes& changes) {
  return One(changes, [](const Change& change) {
    return IsValue(change, Reg::LocalMachine, ModuleInit_DLLs::kKey, ModuleInit_DLLs::kValue);
  });
}

// One value in one of the places of the tag's check.
bool FurtherRunValue(const Changes& changes, const wchar_t* tag) {
  return One(changes, [tag](const Change& change) {
    for (const ModuleRunOnce::Place& place : ModuleRunOnce::kPlaces)
      if (std::wstring(place.tag) == tag && IsValueIn(change, place.hive, place.subKey)) return true;
    return false;
  });
}
bool RunOnceValue(const Changes& changes) { return FurtherRunValue(changes, L"RRO"); }
bool PolicyRunValue(const Changes& changes) { return FurtherRunValue(changes, L"RPR"); }

// One value of one of the places of the tag's check.
bool FurtherValue(const Changes& changes, const wchar_t* tag) {
  return One(changes, [tag](const Change& change) { return ModuleValuePlaces::IsPlaceOf(tag, change.place); });
}
bool CommandProcessorValue(const Changes& changes) { return FurtherValue(changes, L"RCP"); }
bool UserWinlogonValue(const Changes& changes) { return FurtherValue(changes, L"RUW"); }
bool BootExecuteValue(const Changes& changes) { return FurtherValue(changes, L"RBE"); }
bool AppCertValue(const Changes& changes) { return FurtherValue(changes, L"RACD"); }
bool ImageOptionsValue(const Changes& changes) { return FurtherValue(changes, L"RIFEO"); }
bool TerminalServerValue(const Changes& changes) { return FurtherValue(changes, L"RTS"); }
bool NotifyPackage(const Changes& changes) { return FurtherValue(changes, L"RWN"); }
bool ActiveSetupValue(const Changes& changes) { return FurtherValue(changes, L"RAS"); }
bool RunOnceExValue(const Changes& changes) { return FurtherValue(changes, L"RROX"); }
// A verb's key, with its command and all else below it.
bool ShellVerb(const Changes& changes) { return FurtherValue(changes, L"RSH"); }
bool ServiceValue(const Changes& changes) { return FurtherValue(changes, L"RSV"); }

// One file right inside a Startup folder, kept whole.
bool StartupItem(const Changes& changes) {
  return One(changes, [](const Change& change) {
    return change.place.file && !change.place.task && ModuleStartupFolders::IsStartupItem(change.place.path);
  });
}

// One task's file in the scheduler's folder, there before the CLEAN: a restore
// writes no other file, and registers nothing from elsewhere.
bool TaskFile(const Changes& changes) {
  return One(changes, [](const Change& change) {
    return change.place.task && !ModuleTasks::TaskPathOf(change.place.path).empty();
  });
}

bool ShellValue(const Changes& changes) { return WinlogonValue(changes, Winlogon::kShell); }
bool UserinitValue(const Changes& changes) { return WinlogonValue(changes, Winlogon::kUserinit); }

}  // namespace

// In the order they run. The memory check ends processes and changes no place.
const std::vector<Check>& InOrder() {
  static const std::vector<Check> checks = {
      {L"P", ModuleProcess::CheckMemory, nullptr},
      {L"RAR", ModuleAutoRun::CheckRunKeys, RunValue},
      {L"RFU", ModuleFileUnion::CheckFileAssociations, Associations},
      {L"RES", ModuleExplorerShell::CheckExplorerShell, ShellValue},
      {L"RUI", ModuleUserInit::CheckUserInit, UserinitValue},
      {L"RBHO", ModuleBHO::CheckBrowserHelperObjects, HelperObject},
      {L"RESH", ModuleShellExecuteHooks::CheckShellExecuteHooks, Hook},
      {L"RID", ModuleInit_DLLs::CheckAppInitDlls, AppInit},
      // Beyond the eight: places and tricks of today's trojans.
      {L"RRO", ModuleRunOnce::CheckRunOnce, RunOnceValue},
      {L"RPR", ModuleRunOnce::CheckPolicyRun, PolicyRunValue},
      {L"RROX", ModuleValuePlaces::CheckRunOnceEx, RunOnceExValue},
      {L"RUW", ModuleValuePlaces::CheckUserWinlogon, UserWinlogonValue},
      {L"RCP", ModuleValuePlaces::CheckCommandProcessor, CommandProcessorValue},
      {L"RBE", ModuleValuePlaces::CheckBootExecute, BootExecuteValue},
      {L"RACD", ModuleValuePlaces::CheckAppCertDlls, AppCertValue},
      {L"RIFEO", ModuleValuePlaces::CheckImageFileOptions, ImageOptionsValue},
      {L"RTS", ModuleValuePlaces::CheckTerminalServer, TerminalServerValue},
      {L"RWN", ModuleValuePlaces::CheckWinlogonNotify, NotifyPackage},
      {L"RAS", ModuleValuePlaces::CheckActiveSetup, ActiveSetupValue},
      {L"RSH", ModuleValuePlaces::CheckShellVerbs, ShellVerb},
      {L"RSV", ModuleValuePlaces::CheckServices, ServiceValue},
      {L"RSF", ModuleStartupFolders::CheckStartupFolders, StartupItem},
      {L"RST", ModuleTasks::CheckScheduledTasks, TaskFile},
  };
  return checks;
}

bool Permits(const ModuleBackup::Backup& backup) {
  for (const Check& check : InOrder())
    if (backup.tag == check.tag) return check.permits && check.permits(backup.changes);
  return false;
}

}  // namespace Checks
