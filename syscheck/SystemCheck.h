// The system check as the user starts it: progress window, the checks in
// order, then the report or the all-clear message.
#pragma once

namespace SystemCheck {

// Does nothing while a system check is already running.
void RunSystemCheck();
bool Running();

}  // namespace SystemCheck
