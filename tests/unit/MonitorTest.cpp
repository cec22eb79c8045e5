// The real-time autorun monitor against the real registry, counting the alarm
// starts through the sound seam.
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <utility>
#include <vector>

#include "common/SettingsStore.h"
#include "frame/FormMain.h"
#include "monitor/ModuleOnTimeScan.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "syscheck/TrustList.h"
#include "tests/unit/TestSupport.h"

namespace {

using testsupport::SoundLog;

struct Place {
  HKEY hive;
  const wchar_t* path;
};
const Place kCurrentUserRun = {HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run"};
const Place kCurrentUserRunServices = {HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunServices"};
const Place kMachineRun = {HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run"};
const Place kMachineRunServices = {HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunServices"};
const Place kPlaces[] = {kCurrentUserRun, kCurrentUserRunServices, kMachineRun, kMachineRunServices};

std::wstring AlertWav() { return System::ProgramFolder() + L"\\Alert.wav"; }

class Monitor : public ::testing::Test {
 protected:
  void SetUp() override {
    Clear();
    testsupport::DeleteTree(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\57302");
    for (const wchar_t* key : {L"CheckOnTimeScan", L"EnableOnTimeScan", L"CheckSoundAlart"})
      SettingsStore::Save(key, L"1");
  }
  void TearDown() override {
    FormMain::Form_Unload();
    testsupport::Pump();
    Clear();
  }
  // Leaves the places as a fresh prefix has them (HKLM RunServices keeps winemenubuilder).
  void Clear() {
    for (const Place& p : {kCurrentUserRun, kCurrentUserRunServices, kMachineRun})
      testsupport::DeleteTree(p.hive, p.path);
    HKEY services;
    if (RegOpenKeyW(kMachineRunServices.hive, kMachineRunServices.path, &services) == ERROR_SUCCESS) {
      for (const std::string& name : machineServices) RegDeleteValueA(services, name.c_str());
      RegCloseKey(services);
    }
    machineServices.clear();
    DeleteFileW(TrustList::Path().c_str());
    RemoveDirectoryW(TrustList::Path().c_str());
  }
  void Set(const Place& place, const std::wstring& name, DWORD type, const std::string& data) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyW(place.hive, place.path, &key));
    std::string ansiName = Text::ToAnsi(name);
    RegSetValueExA(key, ansiName.c_str(), 0, type, (const BYTE*)data.data(), (DWORD)data.size());
    RegCloseKey(key);
    if (place.hive == kMachineRunServices.hive && place.path == kMachineRunServices.path)
      machineServices.push_back(ansiName);
  }
  void SetCommand(const Place& place, const std::wstring& name, const std::wstring& command) {
    std::string data = Text::ToAnsi(command);
    Set(place, name, REG_SZ, std::string(data.c_str(), data.size() + 1));
  }
  // One pass; the number of alarms it started.
  size_t Pass() {
    SoundLog sounds;
    ModuleOnTimeScan::MonitorRunKeys();
    for (const std::wstring& path : sounds.played) EXPECT_EQ(AlertWav(), path);
    return sounds.played.size();
  }
  std::vector<std::string> machineServices;
};

// One tick of the main window's timer, delivered as the system delivers it.
size_t Tick() {
  SoundLog sounds;
  SendMessageA((HWND)FormMain::TimerOnTimeScan->hwnd, WM_TIMER, 1, 0);
  return sounds.played.size();
}

TEST_F(Monitor, TickRunsAPassOnlyWhileHiddenWithTheOptionOn) {
  SetCommand(kCurrentUserRun, L"x", L"C:\\WINDOWS\\system32\\x.exe");
  tk::SetApplicationTitle(L"Zorvane");
  tk::Show(FormMain::Get());
  EXPECT_EQ(3000u, FormMain::TimerOnTimeScan->interval);
  EXPECT_TRUE(FormMain::TimerOnTimeScan->timerEnabled);
  tk::SetTimer(FormMain::TimerOnTimeScan, 3000, false);  // this test delivers the ticks itself
  struct Case {
    const wchar_t* onTimeScan;
    const wchar_t* enable;
    size_t alarms;
  } cases[] = {{L"1", L"1", 1}, {L"1", L"0", 0},  {L"0", L"1", 0}, {L"", L"1", 0},
               {L"1", L"", 0},  {L"on", L"1", 0}, {L"01", L"1", 1}};
  for (const Case& c : cases) {
    SettingsStore::Save(L"CheckOnTimeScan", c.onTimeScan);
    SettingsStore::Save(L"EnableOnTimeScan", c.enable);
    EXPECT_EQ(c.alarms, Tick()) << Text::ToAnsi(c.onTimeScan) << "/" << Text::ToAnsi(c.enable);
  }
  // As the user switches it: minimize to the tray, then double-click the icon.
  SettingsStore::Save(L"CheckOnTimeScan", L"1");
  HWND main = (HWND)FormMain::Get().hwnd;
  SendMessageA(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_EQ(1u, Tick());
  SendMessageA(main, 2025, 0, WM_LBUTTONDBLCLK);
  EXPECT_EQ(0u, Tick());
}

TEST_F(Monitor, PassFindsAnUntrustedValueInEachOfTheFourPlaces) {
  for (const Place& place : kPlaces) {
    Clear();
    SetCommand(place, L"zv", L"C:\\WINDOWS\\system32\\x.exe");
    EXPECT_EQ(1u, Pass()) << Text::ToAnsi(place.path);
  }
  for (const Place& place : kPlaces) SetCommand(place, L"zv", L"C:\\WINNT\\y.exe");
  EXPECT_EQ(4u, Pass());
}

TEST_F(Monitor, FindingTestOnEveryValueReadWhole) {
  const Place& run = kCurrentUserRun;
  SetCommand(run, L"a1", L"C:\\Program Files\\Tool\\tool.exe");
  SetCommand(run, L"a2", L"c:\\windows\\system32\\x.exe");
  SetCommand(run, L"a3", L"C:\\Windows\\system32\\x.exe");
  Set(run, L"a4", REG_EXPAND_SZ, std::string("%SystemRoot%\\system32\\x.exe", 28));
  Set(run, L"a5", REG_DWORD, std::string("\x01\0\0\0", 4));
  SetCommand(run, L"b", L"C:\\WINNT\\" + std::wstring(300, L'l') + L".exe");
  SetCommand(run, std::wstring(300, L'n'), L"C:\\WINDOWS\\longname.exe");
  Set(run, L"p", REG_BINARY, std::string("  C:\\WINDOWS\\bin.exe  \0junk", 27));
  SetCommand(run, L"z", L"C:\\WINDOWS\\" + std::wstring(130, L'木') + L".exe");
  EXPECT_EQ(4u, Pass());  // b, the long name, p and z
}

TEST_F(Monitor, TrustedValuesAreExcusedWithoutHidingLaterValues) {
  TrustList::AddTrusted(L"C:\\WINDOWS\\trusted.exe");
  TrustList::AddTrusted(L"C:\\WINDOWS\\svc.exe");
  SetCommand(kCurrentUserRun, L"a", L"C:\\WINDOWS\\trusted.exe");
  SetCommand(kCurrentUserRun, L"b", L"C:\\WINDOWS\\after.exe");
  SetCommand(kCurrentUserRun, L"c", L"C:\\WINDOWS\\trusted.exe /s");  // not the whole text
  SetCommand(kCurrentUserRun, L"d", L"c:\\WINDOWS\\trusted.exe");     // not the same case
  SetCommand(kMachineRun, L"a", L"C:\\WINDOWS\\svc.exe");
  SetCommand(kMachineRun, L"b", L"C:\\WINDOWS\\more.exe");
  EXPECT_EQ(4u, Pass());
}

TEST_F(Monitor, AlarmOncePerFindingOnEveryPassOnlyWithTheSoundOption) {
  SetCommand(kCurrentUserRun, L"a", L"C:\\WINDOWS\\a.exe");
  SetCommand(kCurrentUserRun, L"b", L"C:\\WINDOWS\\b.exe");
  SetCommand(kMachineRunServices, L"zv", L"C:\\WINDOWS\\c.exe");
  const std::pair<const wchar_t*, size_t> cases[] = {{L"1", 3}, {L"0", 0}, {L"", 0}, {L"yes", 0}, {L"1", 3}};
  for (const auto& c : cases) {
    SettingsStore::Save(L"CheckSoundAlart", c.first);
    EXPECT_EQ(c.second, Pass()) << Text::ToAnsi(c.first);
  }
}

TEST_F(Monitor, MissingOrUnreadableTrustListCountsAsEmpty) {
  const std::wstring command = L"C:\\WINDOWS\\x.exe";
  SetCommand(kCurrentUserRun, L"x", command);
  HANDLE held = INVALID_HANDLE_VALUE;
  struct Case {
    const char* name;
    std::function<void()> arrange;
    size_t alarms;
  } cases[] = {
      {"missing", [] {}, 1},
      {"listed", [&] { TrustList::AddTrusted(command); }, 0},
      {"listed but locked",
       [&] {
         TrustList::AddTrusted(command);
         held = CreateFileW(TrustList::Path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
         ASSERT_NE(INVALID_HANDLE_VALUE, held);
       },
       1},
      {"a folder", [] { CreateDirectoryW(TrustList::Path().c_str(), nullptr); }, 1},
  };
  for (const Case& c : cases) {
    c.arrange();
    EXPECT_EQ(c.alarms, Pass()) << c.name;
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    held = INVALID_HANDLE_VALUE;
    DeleteFileW(TrustList::Path().c_str());
    RemoveDirectoryW(TrustList::Path().c_str());
  }
}

TEST_F(Monitor, MissingAlertWavStopsNothing) {
  ASSERT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(AlertWav().c_str()));
  SetCommand(kCurrentUserRun, L"a", L"C:\\WINDOWS\\a.exe");
  SetCommand(kMachineRun, L"b", L"C:\\WINDOWS\\b.exe");
  ModuleOnTimeScan::MonitorRunKeys();  // the real PlaySoundA: the default sound stands in
  EXPECT_EQ(2u, Pass());
}

}  // namespace
