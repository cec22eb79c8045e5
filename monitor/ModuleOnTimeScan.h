// The real-time autorun monitor: while the main window sits hidden in the
// notification area, every tick of TimerOnTimeScan walks the Run and
// RunServices keys and sounds "\Alert.wav" for each untrusted finding. It only
// listens: it never asks, changes the registry or writes the report.
#pragma once
#include <string>
#include <vector>

#include "platform/Registry.h"

namespace ModuleOnTimeScan {

constexpr unsigned kIntervalMs = 3000;

// The timer's tick: a pass only while CheckOnTimeScan and EnableOnTimeScan both read 1.
void TimerOnTimeScan_Timer();
// One pass over the four autorun places.
void MonitorRunKeys();
// One place.
void MonitorRunKey(Reg::Root hive, const std::wstring& subKey);

}  // namespace ModuleOnTimeScan
