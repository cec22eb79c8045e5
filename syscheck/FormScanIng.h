// The progress window of the system check: a fixed sequence of captions.
#pragma once
#include "platform/Toolkit.h"

namespace FormScanIng {

// Shows the window modally over `owner` and returns when its sequence has ended
// (or the program is ending). Close requests are ignored meanwhile.
void ShowModal(tk::Form& owner);
tk::Form& Get();
extern tk::Control* LabelInfo;
extern tk::Control* TimerAutoUnload;

}  // namespace FormScanIng
