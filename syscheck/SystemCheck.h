// The system check as the user starts it: progress window, the checks in
// order, then the report or the all-clear message.
#pragma once
#include "platform/Toolkit.h"

namespace SystemCheck {

// Runs the whole check with `owner` (the main window) owning every window it
// shows. Does nothing while a system check is already running.
void RunSystemCheck(tk::Form& owner);
bool Running();
// The check with no window at all, for the command line: no progress window, no
// prompt (every finding answered CLEAN when `clean`, else SKIP), no report window,
// no message. The findings are in Detection::Records, the report lines in the
// report buffer, the CLEANs refused for lack of rights in Detection::NeedsAdministrator.
void RunUnattended(bool clean);

}  // namespace SystemCheck
