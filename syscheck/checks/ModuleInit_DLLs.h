// The AppInit_DLLs check: libraries Windows loads into every program that uses
// the user interface.
#pragma once

namespace ModuleInit_DLLs {

// The value, under HKEY_LOCAL_MACHINE.
extern const wchar_t kKey[];
extern const wchar_t kValue[];

void CheckAppInitDlls();

}  // namespace ModuleInit_DLLs
