#include "monitor/ModuleOnTimeScan.h"

#include "frame/SettingsStore.h"
#include "platform/System.h"
#include "syscheck/ModuleAutoRun.h"
#include "syscheck/TrustList.h"

namespace ModuleOnTimeScan {
namespace {

// The default sound stands in when the file is missing; nothing waits for either.
void SoundAlarm() {
  if (!SettingsStore::IsOn(SettingsStore::kCheckSoundAlart)) return;
  System::PlaySoundAsync(System::ProgramFile(L"\\Alert.wav"));
}

}  // namespace

void TimerOnTimeScan_Timer() {
  if (!SettingsStore::IsOn(SettingsStore::kCheckOnTimeScan)) return;
  if (!SettingsStore::IsOn(SettingsStore::kEnableOnTimeScan)) return;
  MonitorRunKeys();
}

void MonitorRunKeys() {
  // A pass never yields to the message loop, so the list cannot change under it.
  std::vector<std::wstring> trusted = TrustList::Entries();
  for (const ModuleAutoRun::RunPlace& place : ModuleAutoRun::kRunPlaces)
    MonitorRunKey(place.hive, place.subKey, trusted);
}

void MonitorRunKey(Reg::Root hive, const std::wstring& subKey, const std::vector<std::wstring>& trusted) {
  ModuleAutoRun::WalkRunKey(hive, subKey, [&trusted](const ModuleAutoRun::RunValue& run) {
    if (ModuleAutoRun::IsFinding(run.command) && !TrustList::IsTrusted(trusted, run.command)) SoundAlarm();
  });
}

}  // namespace ModuleOnTimeScan
