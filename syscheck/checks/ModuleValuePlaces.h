// Autostart values Windows reads at boot, at logon, or when a program or the shell
// starts something, each a single value or one in each subkey: the command
// processor's AutoRun, the user's own Winlogon Shell and Userinit, the Session
// Manager's BootExecute and AppCertDlls, debuggers and exit monitors of Image File
// Execution Options, the Terminal Server's startup programs, Winlogon notification
// packages, RunOnceEx's entries and the libraries they depend on, Active Setup's
// per-user commands, the verbs of folders, drives, files and the shell's own
// folders, and services. Judged by the shared rules of the further places.
#pragma once
#include "platform/Registry.h"
#include "syscheck/ModuleBackup.h"

namespace ModuleValuePlaces {

enum class Clean {
  Delete,     // the value goes: Windows then does what it does without it
  Empty,      // the value stays, empty, of its type
  Reset,      // the value holds what Windows itself puts there
  DeleteKey,  // the key the last "<each>" stands for goes, with all below it
};

enum class Judge {
  Fixed,         // empty or fixed on a clean Windows: anything but what Windows puts there
  Command,       // a place many programs use: only what the shared rules flag
  Library,       // "file|function|arguments" (RunOnceEx), or a command without "|"
  ServiceImage,  // a service's command line, in the service manager's forms
  ServiceDll,    // the library a shared service host loads for a service
};

// Where Windows reads a place: the machine's hive, the user's, or both, each on its own.
enum class Hives { Machine, User, Both };

struct Place {
  const wchar_t* tag;
  Hives hives;
  const wchar_t* key;                // a segment "<each>" stands for each subkey at that depth
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
void CheckShellVerbs();
void CheckServices();

// The place a backup of the tag's CLEAN may name: the key's path (one key name for
// each "<each>") and the value name (any name for nullptr), or the key the last
// "<each>" stands for where the CLEAN removes it.
bool IsPlaceOf(const wchar_t* tag, const ModuleBackup::Place& place);

}  // namespace ModuleValuePlaces
