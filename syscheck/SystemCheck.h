// The system check as the user starts it: progress window, the checks in
// order, then the report or the all-clear message.
#pragma once
#include "platform/Toolkit.h"

namespace SystemCheck {

// Runs the whole check with `owner` (the main window) owning every window it
// shows. Does nothing while a system check is already running.
void RunSystemCheck(tk::Form& owner);
bool Running();

}  // namespace SystemCheck
