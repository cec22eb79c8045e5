// Backups of what CLEAN changes, and their restore: every check's kind of change
// seeded with exact bytes, cleaned through the check, restored and compared; a
// backup that cannot be written; damaged files; the restore window's questions.
#include <windows.h>

#include <algorithm>
#include <gtest/gtest.h>

#include "frame/FormMain.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "report/FormReport.h"
#include "syscheck/Detection.h"
#include "syscheck/FormRestore.h"
#include "syscheck/ModuleBackup.h"
#include "syscheck/TrustList.h"
#include "syscheck/checks/ModuleAutoRun.h"
#include "syscheck/checks/ModuleBHO.h"
#include "syscheck/checks/ModuleExplorerShell.h"
#include "syscheck/checks/ModuleFileUnion.h"
#include "syscheck/checks/ModuleInit_DLLs.h"
#include "syscheck/checks/ModuleShellExecuteHooks.h"
#include "syscheck/checks/ModuleUserInit.h"
#include "tests/unit/CheckSupport.h"
#include "tests/unit/TestSupport.h"

namespace {

using checksupport::ReportLines;
using checksupport::StandInPrompt;
using ModuleBackup::Place;

const std::wstring kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring kWinlogon = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
const std::wstring kWindows = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const std::wstring kObjects = ModuleBHO::kBrowserHelperObjects;
const std::wstring kHooks = ModuleShellExecuteHooks::kShellExecuteHooks;
const std::wstring kObjectId = L"{BACC0000-0000-4000-8000-000000000001}";
const std::wstring kHookId = L"{BACC0000-0000-4000-8000-000000000002}";

std::string Bytes(const std::wstring& text, bool nul) {
  return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + (nul ? 1 : 0)) * 2);
}

void Seed(Reg::Root root, const std::wstring& path, const std::wstring& name, unsigned long type,
          const std::string& data) {
  Reg::Key key;
  ASSERT_EQ(Reg::Ok, Reg::Create(root, path, &key));
  ASSERT_EQ(Reg::Ok, Reg::SetValue(key, name, type, data));
}

void SeedRun(const std::wstring& name, unsigned long type, const std::string& data) {
  Seed(Reg::CurrentUser, kRun, name, type, data);
}

// A browser helper object with values of several types and two levels of subkeys.
void SeedObject() {
  std::wstring key = kObjects + L"\\" + kObjectId;
  Seed(Reg::LocalMachine, key, L"", REG_SZ, Bytes(L"helper", true));
  Seed(Reg::LocalMachine, key, L"NoExplorer", REG_DWORD, std::string("\x01\x00\x00\x00", 4));
  Seed(Reg::LocalMachine, key + L"\\Settings", L"Option", REG_BINARY, std::string("\x00\xFF\x80", 3));
  Seed(Reg::LocalMachine, key + L"\\Settings\\Deep", L"名\u0E01", REG_MULTI_SZ,
       Bytes(std::wstring(L"a\0b\0", 4), true));
  Seed(Reg::ClassesRoot, L"CLSID\\" + kObjectId + L"\\InprocServer32", L"", REG_SZ, Bytes(L"C:\\evil\\bho.dll", true));
}

void SeedHook() {
  Seed(Reg::LocalMachine, kHooks, kHookId, REG_SZ, Bytes(L"", true));
  Seed(Reg::ClassesRoot, L"CLSID\\" + kHookId + L"\\InprocServer32", L"", REG_SZ, Bytes(L"C:\\evil\\hook.dll", true));
}

std::vector<Place> FivePlaces() {
  std::vector<Place> places;
  for (const wchar_t* key :
       {L"txtfile", L"exefile", L"chmfile", L"Applications\\notepad.exe", L"Applications\\mspaint.exe"})
    places.push_back(ModuleBackup::ValuePlace(Reg::ClassesRoot, std::wstring(key) + L"\\shell\\open\\command", L""));
  return places;
}

// One kind of change: what is seeded, which check cleans it, and where it lives.
struct Kind {
  const char* name;
  std::function<void()> seed;
  void (*check)();
  std::vector<Place> places;
};

std::vector<Kind> Kinds() {
  auto run = [](const std::wstring& name) { return ModuleBackup::ValuePlace(Reg::CurrentUser, kRun, name); };
  const std::wstring foreign = L"evil\u0E01\U0001F600";  // Thai and an emoji: outside code page 936
  return {
      {"REG_SZ with its NUL",
       [] { SeedRun(L"sz", REG_SZ, Bytes(L"C:\\WINDOWS\\bk-sz.exe", true)); },
       ModuleAutoRun::CheckRunKeys,
       {run(L"sz")}},
      {"REG_SZ without its NUL",
       [] { SeedRun(L"bare", REG_SZ, Bytes(L"C:\\WINDOWS\\bk-bare.exe", false)); },
       ModuleAutoRun::CheckRunKeys,
       {run(L"bare")}},
      {"REG_EXPAND_SZ",
       [] { SeedRun(L"exp", REG_EXPAND_SZ, Bytes(L"%SystemDrive%\\WINDOWS\\bk-e.exe", true)); },
       ModuleAutoRun::CheckRunKeys,
       {run(L"exp")}},
      {"REG_MULTI_SZ",
       [] { SeedRun(L"multi", REG_MULTI_SZ, Bytes(std::wstring(L"C:\\WINDOWS\\bk-m.exe\0second\0", 27), true)); },
       ModuleAutoRun::CheckRunKeys,
       {run(L"multi")}},
      {"REG_BINARY",
       [] { SeedRun(L"bin", REG_BINARY, std::string("C:\\WINDOWS\\bk-b.exe\0\xFF\x80\x01", 23)); },
       ModuleAutoRun::CheckRunKeys,
       {run(L"bin")}},
      {"a name outside the code page",
       [foreign] { SeedRun(foreign, REG_SZ, Bytes(L"C:\\WINDOWS\\bk-n.exe", true)); },
       ModuleAutoRun::CheckRunKeys,
       {run(foreign)}},
      {"file associations",
       [] {
         Seed(Reg::ClassesRoot, L"exefile\\shell\\open\\command", L"", REG_EXPAND_SZ,
              Bytes(L"C:\\evil\\bk-assoc.exe \"%1\" %*", false));
       },
       ModuleFileUnion::CheckFileAssociations, FivePlaces()},
      {"Winlogon Shell",
       [] { Seed(Reg::LocalMachine, kWinlogon, L"Shell", REG_SZ, Bytes(L"Explorer.exe C:\\evil\\bk-sh.exe", false)); },
       ModuleExplorerShell::CheckExplorerShell,
       {ModuleBackup::ValuePlace(Reg::LocalMachine, kWinlogon, L"Shell")}},
      {"Winlogon Userinit",
       [] { Seed(Reg::LocalMachine, kWinlogon, L"Userinit", REG_EXPAND_SZ, Bytes(L"userinit.exe,bk-ui.exe", true)); },
       ModuleUserInit::CheckUserInit,
       {ModuleBackup::ValuePlace(Reg::LocalMachine, kWinlogon, L"Userinit")}},
      {"browser helper object",
       SeedObject,
       ModuleBHO::CheckBrowserHelperObjects,
       {ModuleBackup::KeyPlace(Reg::LocalMachine, kObjects + L"\\" + kObjectId)}},
      {"ShellExecute hook",
       SeedHook,
       ModuleShellExecuteHooks::CheckShellExecuteHooks,
       {ModuleBackup::ValuePlace(Reg::LocalMachine, kHooks, kHookId)}},
      {"AppInit_DLLs",
       [] { Seed(Reg::LocalMachine, kWindows, L"AppInit_DLLs", REG_SZ, Bytes(L"C:\\evil\\bk-init.dll", false)); },
       ModuleInit_DLLs::CheckAppInitDlls,
       {ModuleBackup::ValuePlace(Reg::LocalMachine, kWindows, L"AppInit_DLLs")}},
  };
}

// What a place holds, read with the plain calls: absent, a value, or a key's tree.
std::string Snapshot(const Place& place) {
  if (place.wholeKey) {
    Reg::Tree tree;
    if (Reg::ReadTree(place.root, place.path, &tree) != Reg::Ok) return "absent";
    return ModuleBackup::Format({L"", L"2000-01-01 00:00:00", L"", L"", {{place, {true, {}, tree}, {}, true}}});
  }
  Reg::Key key;
  Reg::Value value;
  if (Reg::Open(place.root, place.path, &key) != Reg::Ok || Reg::QueryValue(key, place.name, &value) != Reg::Ok)
    return "absent";
  return std::to_string(value.type) + ":" + value.data;
}

std::vector<std::string> Snapshots(const std::vector<Place>& places) {
  std::vector<std::string> shots;
  for (const Place& place : places) shots.push_back(Snapshot(place));
  return shots;
}

std::vector<std::wstring> BackupFiles() {
  std::vector<std::wstring> files;
  for (const ModuleBackup::Backup& backup : ModuleBackup::List()) files.push_back(backup.file);
  return files;
}

void EmptyBackupFolder() {
  for (const std::wstring& file : BackupFiles()) DeleteFileW(file.c_str());
  DeleteFileW(ModuleBackup::Folder().c_str());  // a file standing where the folder belongs
  RemoveDirectoryW(ModuleBackup::Folder().c_str());
}

// Answers the message boxes of this thread in turn (是 or 否, then 确定), from a
// timer that runs inside their modal loops, and records their texts.
struct Replies {
  std::vector<int> buttons;
  size_t next = 0;
  std::vector<std::wstring> texts;
};
Replies* g_replies = nullptr;

BOOL CALLBACK ReplyTo(HWND hwnd, LPARAM) {
  wchar_t cls[32] = {};
  GetClassNameW(hwnd, cls, 32);
  if (wcscmp(cls, L"#32770") != 0 || !IsWindowVisible(hwnd) || GetPropW(hwnd, L"answered")) return TRUE;
  SetPropW(hwnd, L"answered", (HANDLE)1);
  wchar_t text[1024] = {};
  GetDlgItemTextW(hwnd, 0xFFFF, text, 1024);
  g_replies->texts.push_back(text);
  int button = g_replies->next < g_replies->buttons.size() ? g_replies->buttons[g_replies->next++] : IDOK;
  PostMessageW(hwnd, WM_COMMAND, button, 0);
  return FALSE;
}

void CALLBACK ReplyTick(HWND, UINT, UINT_PTR, DWORD) {
  if (g_replies) EnumThreadWindows(GetCurrentThreadId(), ReplyTo, 0);
}

class Replier {
 public:
  explicit Replier(std::vector<int> buttons) {
    replies.buttons = std::move(buttons);
    g_replies = &replies;
    timer_ = SetTimer(nullptr, 0, 30, ReplyTick);
  }
  ~Replier() {
    KillTimer(nullptr, timer_);
    g_replies = nullptr;
  }
  Replies replies;

 private:
  UINT_PTR timer_;
};

class Backup : public ::testing::Test {
 protected:
  void SetUp() override {
    EmptyBackupFolder();
    DeleteFileW(TrustList::Path().c_str());
    testsupport::DeleteTree(HKEY_CURRENT_USER, kRun.c_str());
    tk::SetApplicationTitle(L"Zorvane");
    tk::Show(FormMain::Get());
    Detection::Owner = &FormMain::Get();
    checksupport::ClearReport();
  }
  void TearDown() override {
    Detection::Prompt = Detection::PromptDetection;
    FormRestore::Unload();
    FormMain::Form_Unload();
    testsupport::Pump();
    EmptyBackupFolder();
    testsupport::DeleteTree(HKEY_CURRENT_USER, kRun.c_str());
    DeleteFileW(TrustList::Path().c_str());
  }
  // Cleans one Run value through the check and returns the report line.
  std::wstring CleanRun(const std::wstring& name, const std::wstring& command) {
    SeedRun(name, REG_SZ, Bytes(command, true));
    checksupport::ClearReport();
    StandInPrompt prompt({L"CLEAN"});
    ModuleAutoRun::CheckRunKeys();
    std::vector<std::wstring> lines = ReportLines();
    return lines.empty() ? L"" : lines.back();
  }
  void Select(int row) { SendMessageW((HWND)FormRestore::ListBackups->hwnd, LB_SETSEL, TRUE, row); }
  void Press(tk::Control* button) { SendMessageW((HWND)button->hwnd, BM_CLICK, 0, 0); }
  std::vector<std::wstring> Rows() {
    std::vector<std::wstring> rows;
    for (int i = 0; i < tk::ListCount(FormRestore::ListBackups); i++)
      rows.push_back(tk::ListItem(FormRestore::ListBackups, i));
    return rows;
  }
};

TEST_F(Backup, EveryKindOfChangeIsRestoredByteForByte) {
  for (const Kind& kind : Kinds()) {
    SCOPED_TRACE(kind.name);
    EmptyBackupFolder();
    testsupport::DeleteTree(HKEY_CURRENT_USER, kRun.c_str());  // one finding a kind
    kind.seed();
    std::vector<std::string> seeded = Snapshots(kind.places);
    {
      StandInPrompt prompt({L"CLEAN"});
      kind.check();
    }
    EXPECT_NE(seeded, Snapshots(kind.places)) << "the CLEAN changed nothing";
    std::vector<ModuleBackup::Backup> backups = ModuleBackup::List();
    ASSERT_EQ(1u, backups.size());
    EXPECT_FALSE(backups[0].damaged);
    EXPECT_FALSE(ModuleBackup::ChangedSince(backups[0])) << "nothing touched the places since";
    unsigned long error = 0;
    ASSERT_TRUE(ModuleBackup::Restore(backups[0], &error)) << error;
    EXPECT_EQ(seeded, Snapshots(kind.places));
    EXPECT_TRUE(BackupFiles().empty()) << "a restored backup is gone";
  }
  testsupport::DeleteTree(HKEY_LOCAL_MACHINE, (kObjects + L"\\" + kObjectId).c_str());
}

// A key that is a symbolic link to `target` (a full registry name).
void SeedLink(const std::wstring& path, const std::wstring& target) {
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                                           KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &key, nullptr));
  RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(target.data()),
                 (DWORD)(target.size() * 2));
  RegCloseKey(key);
}

void DeleteLink(const std::wstring& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), REG_OPTION_OPEN_LINK, DELETE, &key) != ERROR_SUCCESS) return;
  using DeleteKey = LONG(WINAPI*)(HANDLE);
  reinterpret_cast<DeleteKey>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey")))(
      key);
  RegCloseKey(key);
}

// Links inside a browser helper object's key, or the object's key itself a link:
// CLEAN removes the links, never what they lead to, and the restore brings the
// links back as links. Nothing follows a link round in circles.
TEST_F(Backup, LinksAreRemovedAndRestoredAsLinksNeverTheirTargets) {
  const std::wstring object = kObjects + L"\\" + kObjectId;
  const std::wstring machine = L"\\REGISTRY\\MACHINE\\";
  const std::wstring victim = L"Software\\ZorvaneVictim", chain = L"Software\\ZorvaneChain";
  struct Case {
    const char* name;
    std::vector<std::pair<std::wstring, std::wstring>> links;  // below HKLM: path, target
  } cases[] = {
      {"a link to another key", {{object + L"\\Lnk", machine + victim}}},
      {"a link back to the object", {{object + L"\\Loop", machine + object}}},
      {"a link to the folder of all objects", {{object + L"\\Up", machine + kObjects}}},
      {"a link to a link", {{chain, machine + victim}, {object + L"\\Chain", machine + chain}}},
      {"the object itself a link", {{object, machine + victim}}},
  };
  const Place place = ModuleBackup::KeyPlace(Reg::LocalMachine, object);
  Seed(Reg::ClassesRoot, L"CLSID\\" + kObjectId + L"\\InprocServer32", L"", REG_SZ, Bytes(L"C:\\evil\\bho.dll", true));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EmptyBackupFolder();
    Seed(Reg::LocalMachine, victim + L"\\Data", L"keep", REG_SZ, Bytes(L"victim's", true));
    if (c.links.back().first != object) Seed(Reg::LocalMachine, object, L"", REG_SZ, Bytes(L"helper", true));
    for (const auto& link : c.links) SeedLink(link.first, link.second);
    const std::string seeded = Snapshot(place), target = Snapshot(ModuleBackup::KeyPlace(Reg::LocalMachine, victim));
    {
      StandInPrompt prompt(std::vector<std::wstring>(4, L"CLEAN"));
      ModuleBHO::CheckBrowserHelperObjects();
    }
    EXPECT_EQ(std::vector<std::wstring>{L"(RBHO)：发现可疑程序，可能是木马! -> C:\\evil\\bho.dll 已清除!"},
              ReportLines());
    EXPECT_EQ("absent", Snapshot(place));
    EXPECT_EQ(target, Snapshot(ModuleBackup::KeyPlace(Reg::LocalMachine, victim)));
    std::vector<ModuleBackup::Backup> backups = ModuleBackup::List();
    ASSERT_EQ(1u, backups.size());
    unsigned long error = 0;
    ASSERT_TRUE(ModuleBackup::Restore(backups[0], &error)) << error;
    EXPECT_EQ(seeded, Snapshot(place));
    EXPECT_NE(std::string::npos, seeded.find("\r\nlink \r\n"));
    EXPECT_EQ(target, Snapshot(ModuleBackup::KeyPlace(Reg::LocalMachine, victim)));
    for (auto link = c.links.rbegin(); link != c.links.rend(); ++link) DeleteLink(link->first);
    testsupport::DeleteTree(HKEY_LOCAL_MACHINE, object.c_str());
    checksupport::ClearReport();
  }
  testsupport::DeleteTree(HKEY_LOCAL_MACHINE, victim.c_str());
}

TEST_F(Backup, TheFileSurvivesAnyBytesAndSaysWhatItRecords) {
  std::wstring foreign = L"x\u0E01\U0001F600\r\n\"";
  SeedRun(foreign, REG_BINARY, std::string("\\WINDOWS\\\0\r\n\xFF", 13));
  StandInPrompt prompt({L"CLEAN"});
  ModuleAutoRun::CheckRunKeys();
  std::vector<ModuleBackup::Backup> backups = ModuleBackup::List();
  ASSERT_EQ(1u, backups.size());
  std::string text = testsupport::ReadFileBytes(backups[0].file);
  EXPECT_EQ(0u, text.find("Zorvane registry backup 1\r\ntime "));
  EXPECT_NE(std::string::npos, text.find("\r\ntag 520041005200\r\n"));
  EXPECT_NE(std::string::npos, text.find("\r\nbefore present\r\ntype 3\r\ndata 5C57494E444F57535C000D0AFF\r\n"));
  EXPECT_NE(std::string::npos, text.find("\r\nafter absent\r\nend\r\n"));
  EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char c) { return c >= ' ' || c == '\r' || c == '\n'; }) &&
              std::all_of(text.begin(), text.end(), [](char c) { return (unsigned char)c < 0x80; }))
      << "printable ASCII only";
  EXPECT_EQ(foreign, backups[0].changes.at(0).place.name);
}

TEST_F(Backup, AnUnwritableFolderRefusesTheClean) {
  testsupport::WriteFileBytes(ModuleBackup::Folder(), "a file where the folder belongs");
  std::wstring line = CleanRun(L"kept", L"C:\\WINDOWS\\bk-kept.exe");
  EXPECT_EQ(L"(RAR)：发现可疑程序，可能是木马! -> C:\\WINDOWS\\bk-kept.exe 清除失败!", line);
  std::string stored = Snapshot(ModuleBackup::ValuePlace(Reg::CurrentUser, kRun, L"kept"));
  EXPECT_EQ("1:" + Bytes(L"C:\\WINDOWS\\bk-kept.exe", true), stored) << "the registry is unchanged";
}

TEST_F(Backup, ACleanThatChangedNothingKeepsNoBackup) {
  SeedRun(L"gone", REG_SZ, Bytes(L"C:\\WINDOWS\\bk-gone.exe", true));
  StandInPrompt prompt({L"CLEAN"});
  // Changed while the prompt waits: the check refuses, the registry stays as it is.
  prompt.onPrompt = [] { SeedRun(L"gone", REG_SZ, Bytes(L"C:\\WINDOWS\\bk-other.exe", true)); };
  ModuleAutoRun::CheckRunKeys();
  EXPECT_TRUE(BackupFiles().empty());
}

TEST_F(Backup, DamagedFilesAreListedAndNeverRestored) {
  CleanRun(L"dmg", L"C:\\WINDOWS\\bk-dmg.exe");
  std::vector<ModuleBackup::Backup> backups = ModuleBackup::List();
  ASSERT_EQ(1u, backups.size());
  const std::string good = testsupport::ReadFileBytes(backups[0].file);
  ModuleBackup::Backup parsed;
  ASSERT_TRUE(ModuleBackup::Parse(good, &parsed));
  auto replaced = [&good](const std::string& from, const std::string& to) {
    std::string text = good;
    size_t at = text.find(from);
    return at == std::string::npos ? std::string("not found: ") + from : text.replace(at, from.size(), to);
  };
  const std::pair<const char*, std::string> kDamaged[] = {
      {"empty", ""},
      {"cut before its end", good.substr(0, good.size() - 5)},
      {"cut in the middle", good.substr(0, good.size() / 2)},
      {"another header", replaced("backup 1", "backup 2")},
      {"an unknown view", replaced("view 32", "view 16")},
      {"a digit that is not hex", replaced("data ", "data G")},
      {"lower-case hex", replaced("data 43", "data 4c")},
      {"an odd number of digits", replaced("data 43", "data 4")},
      {"a count beyond the file", replaced("changes 1", "changes 9")},
      {"no change", replaced("changes 1", "changes 0")},
      {"an unknown root", replaced("root 80000001", "root 80000009")},
      {"an unknown before", replaced("before present", "before unknown")},
      {"a line after its end", good + "extra\r\n"},
      {"a bare line break", replaced("\r\nview", "\nview")},
  };
  for (const auto& damaged : kDamaged) {
    SCOPED_TRACE(damaged.first);
    EXPECT_FALSE(ModuleBackup::Parse(damaged.second, &parsed));
  }
  // A damaged file in the folder is listed as damaged and changes nothing.
  std::string before = Snapshot(ModuleBackup::ValuePlace(Reg::CurrentUser, kRun, L"dmg"));
  testsupport::WriteFileBytes(backups[0].file, good.substr(0, good.size() - 5));
  backups = ModuleBackup::List();
  ASSERT_EQ(1u, backups.size());
  EXPECT_TRUE(backups[0].damaged);
  unsigned long error = 0;
  EXPECT_FALSE(ModuleBackup::Restore(backups[0], &error));
  EXPECT_EQ(before, Snapshot(ModuleBackup::ValuePlace(Reg::CurrentUser, kRun, L"dmg")));
  FormRestore::Get();
  EXPECT_EQ(std::vector<std::wstring>{L"（已损坏）" + backups[0].file}, Rows());
  Replier replier({});
  Select(0);
  Press(FormRestore::CommandRestore);
  ASSERT_EQ(1u, replier.replies.texts.size());
  EXPECT_EQ(0u, replier.replies.texts[0].find(L"备份文件已损坏，无法恢复："));
  EXPECT_EQ(1, tk::ListCount(FormRestore::ListBackups));
  EXPECT_EQ(before, Snapshot(ModuleBackup::ValuePlace(Reg::CurrentUser, kRun, L"dmg")));
}

// What a value place holds now, as a backup records it.
ModuleBackup::State Now(const Place& place) {
  ModuleBackup::State state;
  Reg::Key key;
  state.present = Reg::Open(place.root, place.path, &key, place.view) == Reg::Ok &&
                  Reg::QueryValue(key, place.name, &state.value) == Reg::Ok;
  return state;
}

ModuleBackup::State Sz(const std::wstring& text) {
  ModuleBackup::State state;
  state.present = true;
  state.value.type = REG_SZ;
  state.value.data = Bytes(text, true);
  return state;
}

// Hand-made, well-formed files that a restore must not carry out: each names a
// place no CLEAN of its check changes, and records as "after" what is there now,
// so that no question would be asked.
TEST_F(Backup, ForgedBackupsAreListedAsDamagedAndChangeNothing) {
  const std::wstring ifeo =
      L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\notepad.exe";
  const Place debugger = ModuleBackup::ValuePlace(Reg::LocalMachine, ifeo, L"Debugger");
  const Place service =
      ModuleBackup::ValuePlace(Reg::LocalMachine, L"SYSTEM\\CurrentControlSet\\Services\\EvilSvc", L"ImagePath");
  const Place victim = ModuleBackup::KeyPlace(Reg::CurrentUser, L"Software\\VictimApp");
  const Place run = ModuleBackup::ValuePlace(Reg::CurrentUser, kRun, L"kept");
  const Place shell = ModuleBackup::ValuePlace(Reg::LocalMachine, kWinlogon, L"Shell");
  const Place taskman = ModuleBackup::ValuePlace(Reg::LocalMachine, kWinlogon, L"Taskman");
  const Place nested = ModuleBackup::KeyPlace(Reg::LocalMachine, kObjects + L"\\" + kObjectId + L"\\Sub");
  const Place objects = ModuleBackup::KeyPlace(Reg::LocalMachine, kObjects);
  const ModuleBackup::State payload = Sz(L"C:\\evil\\payload.exe"), absent;
  struct Case {
    const char* name;
    const wchar_t* tag;
    std::vector<std::pair<Place, ModuleBackup::State>> changes;  // the place and its forged "before"
  } cases[] = {
      {"a debugger for notepad", L"RAR", {{debugger, payload}}},
      {"a service", L"RES", {{service, payload}}},
      {"a victim's key removed", L"RBHO", {{victim, absent}}},
      {"a checks' key with another value name", L"RES", {{taskman, payload}}},
      {"a second place hidden behind a first", L"RAR", {{run, payload}, {debugger, payload}}},
      {"another check's place", L"RES", {{run, payload}}},
      {"a key below an object's key", L"RBHO", {{nested, absent}}},
      {"the key of all objects", L"RBHO", {{objects, absent}}},
      {"a value the check found there removed", L"RES", {{shell, absent}}},
      {"a check that backs nothing up", L"P", {{run, payload}}},
  };
  SeedRun(L"kept", REG_SZ, Bytes(L"C:\\Program Files\\kept.exe", true));
  Seed(Reg::CurrentUser, L"Software\\VictimApp\\Data", L"keep", REG_SZ, Bytes(L"victim's", true));
  Seed(Reg::LocalMachine, kWinlogon, L"Shell", REG_SZ, Bytes(L"Explorer.exe", true));
  const std::vector<Place> watched = {debugger, service, victim, run, shell, taskman, nested, objects};
  const std::vector<std::string> seeded = Snapshots(watched);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EmptyBackupFolder();
    ModuleBackup::Backup forged;
    forged.time = L"2026-12-10 14:03:22";
    forged.tag = c.tag;
    forged.subject = L"C:\\WINDOWS\\a1.exe";
    for (const auto& change : c.changes) {
      ModuleBackup::State now = change.first.wholeKey ? ModuleBackup::State() : Now(change.first);
      if (change.first.wholeKey) {
        now.present = Reg::ReadTree(change.first.root, change.first.path, &now.tree) == Reg::Ok;
      }
      forged.changes.push_back({change.first, change.second, now, true});
    }
    ModuleBackup::Backup parsed;
    ASSERT_TRUE(ModuleBackup::Parse(ModuleBackup::Format(forged), &parsed)) << "well-formed";
    CreateDirectoryW(ModuleBackup::Folder().c_str(), nullptr);
    testsupport::WriteFileBytes(ModuleBackup::Folder() + L"\\20261210-140322-001.bak", ModuleBackup::Format(forged));
    std::vector<ModuleBackup::Backup> backups = ModuleBackup::List();
    ASSERT_EQ(1u, backups.size());
    EXPECT_TRUE(backups[0].damaged);
    unsigned long error = 0;
    EXPECT_FALSE(ModuleBackup::Restore(backups[0], &error));
    FormRestore::Get();
    EXPECT_EQ(std::vector<std::wstring>{L"（已损坏）" + backups[0].file}, Rows());
    {
      Replier replier({});
      Select(0);
      Press(FormRestore::CommandRestore);
    }
    FormRestore::Unload();
    EXPECT_EQ(seeded, Snapshots(watched));
    EXPECT_EQ(1u, BackupFiles().size()) << "the file stays, for the user to look at or delete";
  }
  testsupport::DeleteTree(HKEY_CURRENT_USER, L"Software\\VictimApp");
}

// Every place of a backup is readable before 恢复: in its row, and whole, one a
// line, in the box under the list when the row is selected.
TEST_F(Backup, TheRestoreWindowShowsEveryPlaceABackupChanges) {
  Seed(Reg::ClassesRoot, L"exefile\\shell\\open\\command", L"", REG_SZ, Bytes(L"C:\\evil\\bk-assoc.exe \"%1\"", true));
  {
    StandInPrompt prompt({L"CLEAN"});
    ModuleFileUnion::CheckFileAssociations();
  }
  FormRestore::Get();
  ASSERT_EQ(1u, Rows().size());
  std::wstring places;
  for (const Place& place : FivePlaces()) {
    std::wstring shown = ModuleBackup::Describe(place);
    EXPECT_NE(std::wstring::npos, Rows()[0].find(shown)) << Text::ToAnsi(shown);
    places += L"\r\n" + shown;
  }
  EXPECT_EQ(std::wstring::npos, Rows()[0].find(L" 等 "));
  EXPECT_EQ(0u, tk::Caption(FormRestore::TextPlaces).find(L"选中一个备份"));
  Select(0);
  SendMessageW((HWND)FormRestore::Get().hwnd, WM_COMMAND, MAKEWPARAM(FormRestore::ListBackups->id, LBN_SELCHANGE),
               (LPARAM)FormRestore::ListBackups->hwnd);
  std::wstring text = tk::Caption(FormRestore::TextPlaces);
  EXPECT_NE(std::wstring::npos, text.find(L"  RFU  恢复将改动：" + places)) << Text::ToAnsi(text);
}

TEST_F(Backup, APlaceChangedSinceIsOverwrittenOnlyWhenTheUserSaysSo) {
  const Place place = ModuleBackup::ValuePlace(Reg::CurrentUser, kRun, L"again");
  CleanRun(L"again", L"C:\\WINDOWS\\bk-again.exe");
  SeedRun(L"again", REG_SZ, Bytes(L"C:\\newer.exe", true));
  FormRestore::Get();
  ASSERT_EQ(1u, Rows().size());
  EXPECT_NE(std::wstring::npos, Rows()[0].find(L"  RAR  C:\\WINDOWS\\bk-again.exe  HKCU\\" + kRun + L" : again"));
  struct Case {
    int button;
    std::string stored;
    int rows;
  };
  const Case kCases[] = {
      {IDNO, "1:" + Bytes(L"C:\\newer.exe", true), 1},
      {IDYES, "1:" + Bytes(L"C:\\WINDOWS\\bk-again.exe", true), 0},
  };
  for (const Case& c : kCases) {
    Replier replier({c.button});
    Select(0);
    Press(FormRestore::CommandRestore);
    ASSERT_EQ(1u, replier.replies.texts.size());
    EXPECT_EQ(0u, replier.replies.texts[0].find(L"清除之后这里又被改动过："));
    EXPECT_EQ(c.stored, Snapshot(place));
    EXPECT_EQ(c.rows, tk::ListCount(FormRestore::ListBackups));
  }
  EXPECT_TRUE(BackupFiles().empty());
}

// A restore that put the registry back but cannot delete its file says it restored;
// a place it cannot read is said to be unreadable, not changed.
TEST_F(Backup, TheRestoreWindowTellsAKeptFileAndAnUnreadablePlaceApart) {
  const Place place = ModuleBackup::ValuePlace(Reg::CurrentUser, kRun, L"held");
  CleanRun(L"held", L"C:\\WINDOWS\\bk-held.exe");
  FormRestore::Get();
  {
    checksupport::ReadOnlyKey hidden(HKEY_CURRENT_USER, kRun, READ_CONTROL);
    Replier replier({IDYES});
    Select(0);
    Press(FormRestore::CommandRestore);
    hidden.Restore();
    ASSERT_EQ(1u, replier.replies.texts.size());
    EXPECT_EQ(L"无法读取这里，不能恢复：\r\nHKCU\\" + kRun + L" : held", replier.replies.texts[0]);
  }
  EXPECT_EQ("absent", Snapshot(place));
  HANDLE file = CreateFileW(ModuleBackup::List().at(0).file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);  // no FILE_SHARE_DELETE: the file cannot go
  {
    Replier replier({});
    Select(0);
    Press(FormRestore::CommandRestore);
    ASSERT_EQ(1u, replier.replies.texts.size());
    EXPECT_EQ(0u, replier.replies.texts[0].find(L"已恢复。但备份文件无法删除"))
        << Text::ToAnsi(replier.replies.texts[0]);
  }
  CloseHandle(file);
  EXPECT_EQ("1:" + Bytes(L"C:\\WINDOWS\\bk-held.exe", true), Snapshot(place));
  EXPECT_EQ(1, tk::ListCount(FormRestore::ListBackups)) << "its file is still there";
}

// The system refuses this key's deletion: an ACE denying DELETE to everyone (Wine
// honours a denial, not the mere absence of a grant).
void DenyDeletion(const std::wstring& path, bool deny) {
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, WRITE_DAC, &key));
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
  std::vector<BYTE> acl(256);
  InitializeAcl(reinterpret_cast<ACL*>(acl.data()), (DWORD)acl.size(), ACL_REVISION);
  if (deny) AddAccessDeniedAce(reinterpret_cast<ACL*>(acl.data()), ACL_REVISION, DELETE, everyone);
  AddAccessAllowedAce(reinterpret_cast<ACL*>(acl.data()), ACL_REVISION, KEY_ALL_ACCESS, everyone);
  SECURITY_DESCRIPTOR descriptor;
  InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
  SetSecurityDescriptorDacl(&descriptor, TRUE, reinterpret_cast<ACL*>(acl.data()), FALSE);
  EXPECT_EQ(ERROR_SUCCESS, RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor));
  FreeSid(everyone);
  RegCloseKey(key);
}

// A whole-key restore removes what stands there first; when that removal stops
// part-way, everything it removed is written back and the failure is reported.
TEST_F(Backup, ARemovalThatStopsPartWayPutsTheKeyBackAsItWas) {
  const std::wstring object = kObjects + L"\\" + kObjectId;
  const Place place = ModuleBackup::KeyPlace(Reg::LocalMachine, object);
  SeedObject();
  {
    StandInPrompt prompt({L"CLEAN"});
    ModuleBHO::CheckBrowserHelperObjects();
  }
  ASSERT_EQ("absent", Snapshot(place));
  // Put there again since, with a subkey that goes and one the system keeps.
  Seed(Reg::LocalMachine, object, L"", REG_SZ, Bytes(L"newer", true));
  Seed(Reg::LocalMachine, object + L"\\A goes", L"v", REG_DWORD, std::string("\x02\x00\x00\x00", 4));
  Seed(Reg::LocalMachine, object + L"\\Z stays", L"w", REG_SZ, Bytes(L"kept", true));
  DenyDeletion(object + L"\\Z stays", true);
  const std::string standing = Snapshot(place);
  std::vector<ModuleBackup::Backup> backups = ModuleBackup::List();
  ASSERT_EQ(1u, backups.size());
  unsigned long error = 0;
  EXPECT_FALSE(ModuleBackup::Restore(backups[0], &error));
  EXPECT_EQ(5u, error);
  EXPECT_EQ(standing, Snapshot(place));
  EXPECT_EQ(1u, ModuleBackup::List().size()) << "the backup stays for another try";
  DenyDeletion(object + L"\\Z stays", false);
  testsupport::DeleteTree(HKEY_LOCAL_MACHINE, object.c_str());
}

TEST_F(Backup, DeletingBackupsAsksFirstAndLeavesTheRegistryAlone) {
  CleanRun(L"one", L"C:\\WINDOWS\\bk-one.exe");
  CleanRun(L"two", L"C:\\WINDOWS\\bk-two.exe");
  FormRestore::Get();
  ASSERT_EQ(2, tk::ListCount(FormRestore::ListBackups));
  for (int answer : {IDNO, IDYES}) {
    Replier replier({answer});
    Select(0);
    Select(1);
    Press(FormRestore::CommandDelete);
    ASSERT_EQ(1u, replier.replies.texts.size());
    EXPECT_EQ(0u, replier.replies.texts[0].find(L"删除选中的 2 个备份吗？"));
  }
  EXPECT_EQ(0, tk::ListCount(FormRestore::ListBackups));
  EXPECT_TRUE(BackupFiles().empty());
  EXPECT_EQ("absent", Snapshot(ModuleBackup::ValuePlace(Reg::CurrentUser, kRun, L"one")));
  EXPECT_EQ("absent", Snapshot(ModuleBackup::ValuePlace(Reg::CurrentUser, kRun, L"two")));
}

TEST_F(Backup, RestoringLeavesTheTrustListAsItIs) {
  TrustList::AddTrusted(L"C:\\WINDOWS\\bk-trusted.exe");
  std::string list = testsupport::ReadFileBytes(TrustList::Path());
  CleanRun(L"t", L"C:\\WINDOWS\\bk-t.exe");
  FormRestore::Get();
  Select(0);
  Press(FormRestore::CommandRestore);
  EXPECT_EQ(list, testsupport::ReadFileBytes(TrustList::Path()));
  EXPECT_EQ("1:" + Bytes(L"C:\\WINDOWS\\bk-t.exe", true),
            Snapshot(ModuleBackup::ValuePlace(Reg::CurrentUser, kRun, L"t")));
}

}  // namespace

// A file a CLEAN removes is kept whole in its backup: any bytes, an empty file, a
// name Windows would take for a device; one too large to keep refuses the backup.
TEST_F(Backup, FilesAreKeptWholeAndPutBackByteForByte) {
  const std::wstring folder = testsupport::TestFolder() + L"\\backup-files";
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::pair<const wchar_t*, std::string> kFiles[] = {
      {L"any.exe", std::string("MZ\0\r\n\xFF\x80 bytes", 12)},
      {L"empty.lnk", std::string()},
      {L"COM1.exe", std::string("not a device")},
  };
  for (const auto& file : kFiles) {
    SCOPED_TRACE(Text::ToUtf8(file.first));
    const std::wstring path = folder + L"\\" + file.first, literal = L"\\\\?\\" + path;
    testsupport::WriteFileBytes(literal, file.second);
    ModuleBackup::Backup backup;
    ASSERT_TRUE(ModuleBackup::Save({ModuleBackup::FilePlace(path)}, L"T", path, &backup));
    ASSERT_TRUE(DeleteFileW(literal.c_str()));
    ModuleBackup::Seal(&backup);
    ModuleBackup::Backup read;
    read.file = backup.file;
    ASSERT_TRUE(ModuleBackup::Parse(testsupport::ReadFileBytes(backup.file), &read));
    ASSERT_EQ(1u, read.changes.size());
    EXPECT_TRUE(read.changes[0].place.file);
    EXPECT_EQ(path, read.changes[0].place.path);
    EXPECT_FALSE(read.changes[0].after.present);
    EXPECT_EQ(L"", ModuleBackup::Describe(read.changes[0].place).substr(path.size()));
    unsigned long error = 1;
    ASSERT_TRUE(ModuleBackup::Restore(read, &error));
    EXPECT_EQ(0u, error);
    EXPECT_EQ(file.second, testsupport::ReadFileBytes(literal));
    DeleteFileW(literal.c_str());
  }
  const std::wstring huge = folder + L"\\huge.exe";
  testsupport::WriteFileBytes(huge, std::string((24u << 20) + 1, 'x'));
  ModuleBackup::Backup backup;
  EXPECT_FALSE(ModuleBackup::Save({ModuleBackup::FilePlace(huge)}, L"T", huge, &backup));
  EXPECT_TRUE(BackupFiles().empty());
  DeleteFileW(huge.c_str());
  RemoveDirectoryW(folder.c_str());
}
