// The AppInit_DLLs check: libraries Windows loads into every program that uses
// the user interface.
#pragma once

namespace ModuleInit_DLLs {

void CheckAppInitDlls();

}  // namespace ModuleInit_DLLs
