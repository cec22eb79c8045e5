// The Winlogon Userinit check: programs listed after the first comma of the
// programs started at logon.
#pragma once

namespace ModuleUserInit {

void CheckUserInit();

}  // namespace ModuleUserInit
