// Single autostart values Windows reads at boot, at logon or when a program starts,
// each empty or fixed on a clean Windows: the command processor's AutoRun, the
// user's own Winlogon Shell and Userinit, the Session Manager's BootExecute and
// AppCertDlls, debuggers and exit monitors of Image File Execution Options, and the
// Terminal Server's startup programs. Judged by the shared rules of the further places.
#pragma once
#include "platform/Registry.h"
#include "syscheck/ModuleBackup.h"

namespace ModuleValuePlaces {

enum class Clean {
  Delete,     // the value goes: Windows then does what it does without it
  Empty,      // the value stays, empty, of its type
  Reset,      // the value holds what Windows itself puts there
  DeleteKey,  // the subkey the value is in goes, with all below it
};

enum class Judge {
  Fixed,    // empty or fixed on a clean Windows: anything but what Windows puts there
  Command,  // a place many programs use: only what the shared rules flag
  Library,  // "file|function|arguments" (RunOnceEx), or a command without "|"
};

struct Place {
  const wchar_t* tag;
  Reg::Root hive;
  const wchar_t* key;                // ending in "\*": each subkey of the key before it
  const wchar_t* value;              // nullptr: every value of the key
  const wchar_t* const* windowsOwn;  // what a clean Windows holds there; nullptr-ended
  Clean clean;
  Judge judge;
};
extern const Place kPlaces[];
extern const size_t kPlaceCount;

// The places of one tag, in each of their registry views.
void CheckTag(const wchar_t* tag);
void CheckCommandProcessor();
void CheckUserWinlogon();
void CheckBootExecute();
void CheckAppCertDlls();
void CheckImageFileOptions();
void CheckTerminalServer();
void CheckActiveSetup();
void CheckWinlogonNotify();
void CheckRunOnceEx();

// The place a backup of the tag's CLEAN may name: the key's path (a subkey's name
// standing in for "*") and the value name (any name for nullptr), or the subkey
// itself where the CLEAN removes it.
bool IsPlaceOf(const wchar_t* tag, const ModuleBackup::Place& place);

}  // namespace ModuleValuePlaces
