#include "monitor/ModuleOnTimeScan.h"

#include "common/SettingsStore.h"
#include "platform/System.h"
#include "syscheck/TrustList.h"
#include "syscheck/checks/ModuleAutoRun.h"

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
  for (const ModuleAutoRun::RunPlace& place : ModuleAutoRun::kRunPlaces) MonitorRunKey(place.hive, place.subKey);
}

// The list is read for findings only, and streamed: however large it is, a pass
// holds none of it.
void MonitorRunKey(Reg::Root hive, const std::wstring& subKey) {
  for (Reg::View view : Reg::ViewsOf(hive, subKey))
    ModuleAutoRun::WalkRunKey(hive, subKey, view, [](const ModuleAutoRun::RunValue& run) {
      if (ModuleAutoRun::IsFinding(run.command) && !TrustList::IsTrusted(run.command)) SoundAlarm();
    });
}

}  // namespace ModuleOnTimeScan
