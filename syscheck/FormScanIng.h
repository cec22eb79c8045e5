// The progress window of the system check: a fixed sequence of captions.
#pragma once
#include "platform/Toolkit.h"

namespace FormScanIng {

tk::Form& Get();
extern tk::Control* LabelInfo;
extern tk::Control* TimerAutoUnload;

}  // namespace FormScanIng
