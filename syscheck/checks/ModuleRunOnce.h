// Autostart values beyond Run and RunServices: RunOnce, which Windows runs once at
// the next logon, and the policy Run keys, empty on a clean Windows. Each value is
// a command judged by the shared rules of the further places.
#pragma once
#include "platform/Registry.h"

namespace ModuleRunOnce {

struct Place {
  const wchar_t* tag;  // "RRO" for RunOnce, "RPR" for the policy Run keys
  Reg::Root hive;
  const wchar_t* subKey;
  bool fixed;  // empty on a clean Windows: any entry is a finding
};
// The places, in the order they are examined.
extern const Place kPlaces[4];

void CheckRunOnce();
void CheckPolicyRun();

}  // namespace ModuleRunOnce
