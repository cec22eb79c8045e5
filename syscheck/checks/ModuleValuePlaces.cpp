#include "syscheck/checks/ModuleValuePlaces.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/Services.h"
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
// This PC's "Manage", and its search on older Windows.
const wchar_t* const kThisPcVerbs[] = {L"%SystemRoot%\\system32\\CompMgmtLauncher.exe", L"%SystemRoot%\\Explorer.exe",
                                       nullptr};

const wchar_t kWinlogon[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
const wchar_t kCommandProcessor[] = L"Software\\Microsoft\\Command Processor";
const wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kServices[] = L"SYSTEM\\CurrentControlSet\\Services\\<each>";

}  // namespace

const Place kPlaces[] = {
    {L"RCP", Hives::Both, kCommandProcessor, L"AutoRun", kNothing, Clean::Empty, Judge::Fixed},
    {L"RUW", Hives::User, kWinlogon, L"Shell", kNothing, Clean::Delete, Judge::Fixed},
    {L"RUW", Hives::User, kWinlogon, L"Userinit", kNothing, Clean::Delete, Judge::Fixed},
    {L"RBE", Hives::Machine, kSessionManager, L"BootExecute", kBootExecute, Clean::Reset, Judge::Fixed},
    {L"RACD", Hives::Machine, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\AppCertDlls", nullptr, kNothing,
     Clean::Empty, Judge::Fixed},
    {L"RIFEO", Hives::Machine, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\<each>",
     L"Debugger", kNothing, Clean::Delete, Judge::Fixed},
    {L"RIFEO", Hives::Machine, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\SilentProcessExit\\<each>",
     L"MonitorProcess", kNothing, Clean::Delete, Judge::Fixed},
    {L"RTS", Hives::Machine, L"SYSTEM\\CurrentControlSet\\Control\\Terminal Server\\Wds\\rdpwd", L"StartupPrograms",
     kStartupPrograms, Clean::Reset, Judge::Fixed},
    {L"RTS", Hives::Machine, L"SYSTEM\\CurrentControlSet\\Control\\Terminal Server\\WinStations\\RDP-Tcp",
     L"InitialProgram", kNothing, Clean::Empty, Judge::Fixed},
    {L"RWN", Hives::Machine, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify\\<each>", L"DllName",
     kNothing, Clean::DeleteKey, Judge::Fixed},
    {L"RROX", Hives::Both, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx\\<each>", nullptr, kNothing,
     Clean::Delete, Judge::Library},
    // The libraries loaded before an entry runs.
    {L"RROX", Hives::Both, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx\\<each>\\Depend", nullptr,
     kNothing, Clean::Delete, Judge::Library},
    {L"RAS", Hives::Machine, L"SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\<each>", L"StubPath", kNothing,
     Clean::Delete, Judge::Command},
    // The verbs of folders, their background, drives and every file, where many
    // programs add theirs; then those of the shell's own folders, which are fixed.
    // The user's own override the machine's: each hive is examined and cleaned on its own.
    {L"RSH", Hives::Both, L"Software\\Classes\\Directory\\shell\\<each>\\command", L"", kNothing, Clean::DeleteKey,
     Judge::Command},
    {L"RSH", Hives::Both, L"Software\\Classes\\Directory\\Background\\shell\\<each>\\command", L"", kNothing,
     Clean::DeleteKey, Judge::Command},
    {L"RSH", Hives::Both, L"Software\\Classes\\Drive\\shell\\<each>\\command", L"", kNothing, Clean::DeleteKey,
     Judge::Command},
    {L"RSH", Hives::Both, L"Software\\Classes\\*\\shell\\<each>\\command", L"", kNothing, Clean::DeleteKey,
     Judge::Command},
    // The recycle bin
    {L"RSH", Hives::Both, L"Software\\Classes\\CLSID\\{645FF040-5081-101B-9F08-00AA002F954E}\\shell\\<each>\\command",
     L"", kNothing, Clean::DeleteKey, Judge::Fixed},
    // This PC
    {L"RSH", Hives::Both, L"Software\\Classes\\CLSID\\{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\shell\\<each>\\command",
     L"", kThisPcVerbs, Clean::DeleteKey, Judge::Fixed},
    // Control Panel, by category and all items
    {L"RSH", Hives::Both, L"Software\\Classes\\CLSID\\{26EE0668-A00A-44D7-9371-BEB064C98683}\\shell\\<each>\\command",
     L"", kNothing, Clean::DeleteKey, Judge::Fixed},
    {L"RSH", Hives::Both, L"Software\\Classes\\CLSID\\{21EC2020-3AEA-1069-A2DD-08002B30309D}\\shell\\<each>\\command",
     L"", kNothing, Clean::DeleteKey, Judge::Fixed},
    // Network
    {L"RSH", Hives::Both, L"Software\\Classes\\CLSID\\{F02C1A0D-BE21-4350-88B0-7367FC96EF3C}\\shell\\<each>\\command",
     L"", kNothing, Clean::DeleteKey, Judge::Fixed},
    // Documents
    {L"RSH", Hives::Both, L"Software\\Classes\\CLSID\\{450D8FBA-AD25-11D0-98A8-0800361B1103}\\shell\\<each>\\command",
     L"", kNothing, Clean::DeleteKey, Judge::Fixed},
    // Libraries
    {L"RSH", Hives::Both, L"Software\\Classes\\CLSID\\{031E4825-7B94-4dc3-B131-E946B44C8DD5}\\shell\\<each>\\command",
     L"", kNothing, Clean::DeleteKey, Judge::Fixed},
    // Home, and Quick access before it
    {L"RSH", Hives::Both, L"Software\\Classes\\CLSID\\{f874310e-b6b7-47dc-bc84-b9e6b38f5903}\\shell\\<each>\\command",
     L"", kNothing, Clean::DeleteKey, Judge::Fixed},
    {L"RSH", Hives::Both, L"Software\\Classes\\CLSID\\{679f85cb-0220-4080-b29b-5540cc05aab6}\\shell\\<each>\\command",
     L"", kNothing, Clean::DeleteKey, Judge::Fixed},
    // The user's own folder
    {L"RSH", Hives::Both, L"Software\\Classes\\CLSID\\{59031a47-3f72-44a7-89c5-5595fe6b30ee}\\shell\\<each>\\command",
     L"", kNothing, Clean::DeleteKey, Judge::Fixed},
    {L"RSV", Hives::Machine, kServices, L"ImagePath", kNothing, Clean::Delete, Judge::ServiceImage},
    {L"RSV", Hives::Machine, L"SYSTEM\\CurrentControlSet\\Services\\<each>\\Parameters", L"ServiceDll", kNothing,
     Clean::Delete, Judge::ServiceDll},
    // Read by the shared host too, where a service's parameters do not name one.
    {L"RSV", Hives::Machine, kServices, L"ServiceDll", kNothing, Clean::Delete, Judge::ServiceDll},
};
const size_t kPlaceCount = sizeof kPlaces / sizeof kPlaces[0];

namespace {

// Stands for each subkey at its depth: a name Windows never gives a key in these
// places, unlike "*", the real key of every file's class.
const wchar_t kEach[] = L"<each>";

// The line after CLEAN when the service manager still runs the service's program.
const wchar_t kStillRunning[] = L"（服务仍在运行，重新启动计算机后清除生效）";

bool Same(const std::wstring& a, const std::wstring& b) { return Text::Lower(a) == Text::Lower(b); }

std::vector<std::wstring> Segments(const std::wstring& path) {
  std::vector<std::wstring> segments;
  size_t start = 0;
  for (size_t slash; (slash = path.find(L'\\', start)) != std::wstring::npos; start = slash + 1)
    segments.push_back(path.substr(start, slash - start));
  segments.push_back(path.substr(start));
  return segments;
}

// The first `count` segments of the path.
std::wstring Head(const std::wstring& path, size_t count) {
  std::vector<std::wstring> segments = Segments(path);
  std::wstring head;
  for (size_t i = 0; i < count && i < segments.size(); i++) head += (i ? L"\\" : L"") + segments[i];
  return head;
}

// The number of segments up to and including the first (or last) "<each>"; 0 without one.
size_t ThroughEach(const std::wstring& key, bool last) {
  std::vector<std::wstring> segments = Segments(key);
  size_t through = 0;
  for (size_t i = 0; i < segments.size() && (last || !through); i++)
    if (segments[i] == kEach) through = i + 1;
  return through;
}

// The key a place opens first: the one it names, or the one above its first "<each>".
std::wstring Opened(const std::wstring& key) {
  size_t through = ThroughEach(key, false);
  return through ? Head(key, through - 1) : key;
}

// The key a CLEAN of `path` removes with all below it: the one the place's last "<each>" stands for.
std::wstring Removed(const Place& place, const std::wstring& path) { return Head(path, ThroughEach(place.key, true)); }

// The path is one the pattern stands for: each "<each>" one key name.
bool KeyMatches(const std::wstring& pattern, const std::wstring& path) {
  std::vector<std::wstring> want = Segments(pattern), have = Segments(path);
  if (want.size() != have.size()) return false;
  for (size_t i = 0; i < want.size(); i++) {
    bool any = want[i] == kEach && !have[i].empty() && have[i].find(L'\0') == std::wstring::npos;
    if (!any && !Same(want[i], have[i])) return false;
  }
  return true;
}

std::vector<Reg::Root> RootsOf(Hives hives) {
  if (hives == Hives::Machine) return {Reg::LocalMachine};
  if (hives == Hives::User) return {Reg::CurrentUser};
  return {Reg::LocalMachine, Reg::CurrentUser};
}

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

long Change(const Place& place, Reg::Root hive, const std::wstring& path, Reg::View view, const Reg::Value& stored) {
  if (place.clean == Clean::DeleteKey) return Reg::DeleteTree(hive, Removed(place, path), view);
  if (place.clean == Clean::Delete) return Reg::DeleteValue(hive, path, stored.name, view);
  Reg::Key key;
  long rc = Reg::Open(hive, path, &key, view);
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

ModuleSuspicious::Reason Judged(const Place& place, const std::wstring& text) {
  switch (place.judge) {
    case Judge::Fixed: return ModuleSuspicious::JudgeFixed(text, OwnOf(place));
    case Judge::Library: return JudgeLibraryEntry(text);
    case Judge::ServiceImage: return ModuleSuspicious::JudgeCommand(ModuleSuspicious::ServiceCommand(text));
    case Judge::ServiceDll: return ModuleSuspicious::JudgeFile(text);
    case Judge::Command: break;
  }
  return ModuleSuspicious::JudgeCommand(text);
}

bool OfService(const Place& place) { return place.judge == Judge::ServiceImage || place.judge == Judge::ServiceDll; }

// Windows starts the service by itself: at boot, with the system, at startup, or
// on demand when a trigger of its own fires. One disabled, or started only when a
// program asks for it, starts nothing from here.
bool StartsByItself(Reg::Root hive, const std::wstring& service, Reg::View view) {
  Reg::Key key, triggers;
  Reg::Value start;
  if (Reg::Open(hive, service, &key, view) != Reg::Ok || Reg::QueryValue(key, L"Start", &start) != Reg::Ok ||
      start.type != Reg::TypeDword || start.data.size() != 4)
    return false;
  unsigned char low = static_cast<unsigned char>(start.data[0]);
  bool small = start.data[1] == 0 && start.data[2] == 0 && start.data[3] == 0;
  if (small && low <= 2) return true;
  return small && low == 3 && Reg::Open(hive, service + L"\\TriggerInfo", &triggers, view) == Reg::Ok;
}

// The place's one value, or every value of the key. One value is asked for by its
// name: walking a key's values costs a call each, and services hold many.
bool ReadPlace(const Place& place, Reg::Root hive, const std::wstring& path, Reg::View view,
               std::vector<Reg::Value>* values) {
  if (!place.value) return Reg::ReadValues(hive, path, values, view) == Reg::Ok;
  Reg::Key key;
  Reg::Value value;
  if (Reg::Open(hive, path, &key, view) != Reg::Ok || Reg::QueryValue(key, place.value, &value) != Reg::Ok)
    return false;
  value.name = place.value;
  values->push_back(value);
  return true;
}

void Examine(const Place& place, Reg::Root hive, const std::wstring& path, Reg::View view) {
  const std::wstring service = OfService(place) ? Head(path, ThroughEach(place.key, false)) : std::wstring();
  std::vector<Reg::Value> values;
  // Most services hold no library of their own: the start is asked only where there is one.
  if (!ReadPlace(place, hive, path, view, &values) || values.empty()) return;
  if (OfService(place) && !StartsByItself(hive, service, view)) return;
  for (const Reg::Value& stored : values) {
    if (tk::Ending()) return;
    std::wstring text = Text::Trim(stored.Text());
    if (text.empty() || Judged(place, text) == ModuleSuspicious::Reason::None) continue;
    Detection::Finding finding;
    finding.tag = place.tag;
    finding.message = Detection::kMessage;
    finding.subject = text;
    finding.keepsTrustList = true;
    finding.clean = [&place, &finding, hive, path, view, stored, service] {
      // The user decided on the value shown; one changed meanwhile is not what they decided on.
      if (!Reg::Holds(hive, path, stored, view) || Change(place, hive, path, view, stored) != Reg::Ok) return false;
      // The service manager keeps running what it started; the entry is gone at the next
      // start. Asked only here: the manager answers slowly.
      if (OfService(place) && Services::IsRunning(Segments(service).back()))
        finding.cleanedSubject = finding.subject + kStillRunning;
      return true;
    };
    finding.places = {place.clean == Clean::DeleteKey ? ModuleBackup::KeyPlace(hive, Removed(place, path), view)
                                                      : ModuleBackup::ValuePlace(hive, path, stored.name, view)};
    finding.view = view;
    Detection::Handle(finding);
  }
}

// The subkeys of a key, read once a check: the rows of a tag walk the same keys
// (each service's image and libraries), and reading a long list costs a call a name.
std::map<std::wstring, std::vector<std::wstring>> Listed;

const std::vector<std::wstring>* Subkeys(Reg::Root hive, const std::wstring& path, Reg::View view) {
  std::wstring id = std::to_wstring((long long)hive) + L":" + std::to_wstring(view) + L":" + Text::Lower(path);
  auto known = Listed.find(id);
  if (known != Listed.end()) return &known->second;
  std::vector<std::wstring> names;
  if (Reg::ReadSubkeys(hive, path, &names, view) != Reg::Ok) return nullptr;
  return &(Listed[id] = std::move(names));
}

// Every key the pattern stands for below `path`, from its segment `at` on: each
// subkey, as read once, in the place of each "<each>".
void Expand(const Place& place, Reg::Root hive, Reg::View view, std::wstring path,
            const std::vector<std::wstring>& pattern, size_t at, std::vector<std::wstring>* keys) {
  for (; at < pattern.size() && pattern[at] != kEach; at++) path += (path.empty() ? L"" : L"\\") + pattern[at];
  if (at == pattern.size()) return keys->push_back(path);
  const std::vector<std::wstring>* names = Subkeys(hive, path, view);
  if (!names) return;
  for (const std::wstring& name : *names) Expand(place, hive, view, path + L"\\" + name, pattern, at + 1, keys);
}

void ExamineIn(const Place& place, Reg::Root hive, Reg::View view) {
  std::vector<std::wstring> keys;
  Expand(place, hive, view, std::wstring(), Segments(place.key), 0, &keys);
  for (const std::wstring& key : keys) {
    if (tk::Ending()) return;
    Examine(place, hive, key, view);
  }
}

}  // namespace

void CheckTag(const wchar_t* tag) {
  Listed.clear();
  for (const Place& place : kPlaces) {
    if (std::wstring(place.tag) != tag) continue;
    for (Reg::Root hive : RootsOf(place.hives))
      for (Reg::View view : Reg::ViewsOf(hive, Opened(place.key))) ExamineIn(place, hive, view);
  }
  Listed.clear();
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
void CheckShellVerbs() { CheckTag(L"RSH"); }
void CheckServices() { CheckTag(L"RSV"); }

// A removed key is exactly the one the last "<each>" stands for: never the key
// above it, nor one below (a verb's own command key is never backed up alone).
bool IsPlaceOf(const wchar_t* tag, const ModuleBackup::Place& backedUp) {
  if (backedUp.file) return false;
  for (const Place& place : kPlaces) {
    std::vector<Reg::Root> roots = RootsOf(place.hives);
    if (std::wstring(place.tag) != tag || std::find(roots.begin(), roots.end(), backedUp.root) == roots.end()) continue;
    size_t removed = ThroughEach(place.key, true);
    if (backedUp.wholeKey
            ? place.clean == Clean::DeleteKey && removed && KeyMatches(Head(place.key, removed), backedUp.path)
            : place.clean != Clean::DeleteKey && KeyMatches(place.key, backedUp.path) &&
                  (!place.value || Same(place.value, backedUp.name)))
      return true;
  }
  return false;
}

}  // namespace ModuleValuePlaces
