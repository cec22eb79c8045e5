#include "syscheck/checks/ModuleValuePlaces.h"

#include <string>
#include <vector>

#include "platform/Text.h"
#include "platform/Toolkit.h"
#include "syscheck/Detection.h"
#include "syscheck/ModuleBackup.h"
#include "syscheck/checks/ModuleSuspicious.h"

namespace ModuleValuePlaces {
namespace {

const wchar_t* const kNothing[] = {nullptr};
const wchar_t* const kBootExecute[] = {L"autocheck autochk *", nullptr};
const wchar_t* const kStartupPrograms[] = {L"rdpclip", nullptr};

const wchar_t kWinlogon[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
const wchar_t kCommandProcessor[] = L"Software\\Microsoft\\Command Processor";
const wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";

}  // namespace

const Place kPlaces[] = {
    {L"RCP", Reg::LocalMachine, kCommandProcessor, L"AutoRun", kNothing, Clean::Empty, Judge::Fixed},
    {L"RCP", Reg::CurrentUser, kCommandProcessor, L"AutoRun", kNothing, Clean::Empty, Judge::Fixed},
    {L"RUW", Reg::CurrentUser, kWinlogon, L"Shell", kNothing, Clean::Delete, Judge::Fixed},
    {L"RUW", Reg::CurrentUser, kWinlogon, L"Userinit", kNothing, Clean::Delete, Judge::Fixed},
    {L"RBE", Reg::LocalMachine, kSessionManager, L"BootExecute", kBootExecute, Clean::Reset, Judge::Fixed},
    {L"RACD", Reg::LocalMachine, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\AppCertDlls", nullptr, kNothing,
     Clean::Empty, Judge::Fixed},
    {L"RIFEO", Reg::LocalMachine, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\*",
     L"Debugger", kNothing, Clean::Delete, Judge::Fixed},
    {L"RIFEO", Reg::LocalMachine, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\SilentProcessExit\\*",
     L"MonitorProcess", kNothing, Clean::Delete, Judge::Fixed},
    {L"RTS", Reg::LocalMachine, L"SYSTEM\\CurrentControlSet\\Control\\Terminal Server\\Wds\\rdpwd", L"StartupPrograms",
     kStartupPrograms, Clean::Reset, Judge::Fixed},
    {L"RTS", Reg::LocalMachine, L"SYSTEM\\CurrentControlSet\\Control\\Terminal Server\\WinStations\\RDP-Tcp",
     L"InitialProgram", kNothing, Clean::Empty, Judge::Fixed},
    {L"RWN", Reg::LocalMachine, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify\\*", L"DllName",
     kNothing, Clean::DeleteKey, Judge::Fixed},
    {L"RROX", Reg::LocalMachine, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx\\*", nullptr, kNothing,
     Clean::Delete, Judge::Library},
    {L"RROX", Reg::CurrentUser, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx\\*", nullptr, kNothing,
     Clean::Delete, Judge::Library},
    {L"RAS", Reg::LocalMachine, L"SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\*", L"StubPath", kNothing,
     Clean::Delete, Judge::Command},
};
const size_t kPlaceCount = sizeof kPlaces / sizeof kPlaces[0];

namespace {

bool Same(const std::wstring& a, const std::wstring& b) { return Text::Lower(a) == Text::Lower(b); }

// A key ending in "\*" stands for each subkey of the key before it.
bool EachSubkey(const std::wstring& key) { return key.size() >= 2 && key.compare(key.size() - 2, 2, L"\\*") == 0; }

// The key a place opens: the one it names, or the one whose subkeys it stands for.
std::wstring Opened(const std::wstring& key) { return EachSubkey(key) ? key.substr(0, key.size() - 2) : key; }

std::vector<std::wstring> OwnOf(const Place& place) {
  std::vector<std::wstring> own;
  for (const wchar_t* const* entry = place.windowsOwn; *entry; entry++) own.push_back(*entry);
  return own;
}

// The data a value of `type` holds for `text`: text values end in a NUL, a list
// of texts in two.
std::string DataFor(unsigned long type, const std::wstring& text) {
  std::wstring data = text;
  if (type == Reg::TypeSz || type == Reg::TypeExpandSz) data += L'\0';
  if (type == Reg::TypeMultiSz) data += text.empty() ? std::wstring(1, L'\0') : std::wstring(2, L'\0');
  return std::string(reinterpret_cast<const char*>(data.data()), data.size() * sizeof(wchar_t));
}

long Change(const Place& place, const std::wstring& path, Reg::View view, const Reg::Value& stored) {
  if (place.clean == Clean::DeleteKey) return Reg::DeleteTree(place.hive, path, view);
  if (place.clean == Clean::Delete) return Reg::DeleteValue(place.hive, path, stored.name, view);
  Reg::Key key;
  long rc = Reg::Open(place.hive, path, &key, view);
  if (rc != Reg::Ok) return rc;
  std::wstring text = place.clean == Clean::Reset ? std::wstring(place.windowsOwn[0]) : std::wstring();
  return Reg::SetValue(key, stored.name, stored.type, DataFor(stored.type, text));
}

// RunOnceEx's entries name a library and its entry point ("file|function|arguments",
// the file part possibly empty) or are a command.
ModuleSuspicious::Reason JudgeLibraryEntry(const std::wstring& text) {
  if (text.find(L'|') == std::wstring::npos) return ModuleSuspicious::JudgeCommand(text);
  size_t start = text.find_first_not_of(L'|');
  if (start == std::wstring::npos) return ModuleSuspicious::Reason::None;
  return ModuleSuspicious::JudgeFile(text.substr(start, text.find(L'|', start) - start));
}

bool IsFinding(const Place& place, const std::wstring& text) {
  ModuleSuspicious::Reason reason = place.judge == Judge::Fixed     ? ModuleSuspicious::JudgeFixed(text, OwnOf(place))
                                    : place.judge == Judge::Library ? JudgeLibraryEntry(text)
                                                                    : ModuleSuspicious::JudgeCommand(text);
  return reason != ModuleSuspicious::Reason::None;
}

void Examine(const Place& place, const std::wstring& path, Reg::View view) {
  std::vector<Reg::Value> values;
  if (Reg::ReadValues(place.hive, path, &values, view) != Reg::Ok) return;
  for (const Reg::Value& stored : values) {
    if (tk::Ending()) return;
    if (place.value && !Same(stored.name, place.value)) continue;
    std::wstring text = Text::Trim(stored.Text());
    if (text.empty() || !IsFinding(place, text)) continue;
    Detection::Finding finding;
    finding.tag = place.tag;
    finding.message = Detection::kMessage;
    finding.subject = text;
    finding.keepsTrustList = true;
    finding.clean = [&place, path, view, stored] {
      // The user decided on the value shown; one changed meanwhile is not what they decided on.
      return Reg::Holds(place.hive, path, stored, view) && Change(place, path, view, stored) == Reg::Ok;
    };
    finding.places = {place.clean == Clean::DeleteKey ? ModuleBackup::KeyPlace(place.hive, path, view)
                                                      : ModuleBackup::ValuePlace(place.hive, path, stored.name, view)};
    finding.view = view;
    Detection::Handle(finding);
  }
}

// The key, or each subkey for a key ending in "\*".
void ExamineIn(const Place& place, Reg::View view) {
  if (!EachSubkey(place.key)) return Examine(place, place.key, view);
  std::wstring parent = Opened(place.key);
  std::vector<std::wstring> names;
  if (Reg::ReadSubkeys(place.hive, parent, &names, view) != Reg::Ok) return;
  for (const std::wstring& name : names) {
    if (tk::Ending()) return;
    Examine(place, parent + L"\\" + name, view);
  }
}

bool KeyMatches(const std::wstring& key, const std::wstring& path) {
  if (!EachSubkey(key)) return Same(key, path);
  std::wstring parent = Opened(key) + L"\\";
  if (path.size() <= parent.size() || !Same(path.substr(0, parent.size()), parent)) return false;
  std::wstring name = path.substr(parent.size());
  return name.find_first_of(std::wstring(L"\\\0", 2)) == std::wstring::npos;
}

}  // namespace

void CheckTag(const wchar_t* tag) {
  for (const Place& place : kPlaces) {
    if (std::wstring(place.tag) != tag) continue;
    for (Reg::View view : Reg::ViewsOf(place.hive, Opened(place.key))) ExamineIn(place, view);
  }
}

void CheckCommandProcessor() { CheckTag(L"RCP"); }
void CheckUserWinlogon() { CheckTag(L"RUW"); }
void CheckBootExecute() { CheckTag(L"RBE"); }
void CheckAppCertDlls() { CheckTag(L"RACD"); }
void CheckImageFileOptions() { CheckTag(L"RIFEO"); }
void CheckTerminalServer() { CheckTag(L"RTS"); }
void CheckActiveSetup() { CheckTag(L"RAS"); }
void CheckWinlogonNotify() { CheckTag(L"RWN"); }
void CheckRunOnceEx() { CheckTag(L"RROX"); }

bool IsPlaceOf(const wchar_t* tag, const ModuleBackup::Place& backedUp) {
  if (backedUp.file) return false;
  for (const Place& place : kPlaces) {
    if (std::wstring(place.tag) != tag || place.hive != backedUp.root || !KeyMatches(place.key, backedUp.path))
      continue;
    if (backedUp.wholeKey ? place.clean == Clean::DeleteKey && EachSubkey(place.key)
                          : place.clean != Clean::DeleteKey && (!place.value || Same(place.value, backedUp.name)))
      return true;
  }
  return false;
}

}  // namespace ModuleValuePlaces
