// The about box: banner, what the program does, the home page link and an OK image.
#pragma once
#include "platform/Toolkit.h"

namespace FormAbout {

// The form, loaded on first reference.
tk::Form& Get();
bool IsLoaded();
// Shows the box modally, owned by `owner`; returns once it is closed.
void ShowModal(tk::Form& owner);

extern tk::Control* LabelIns;
extern tk::Control* LabelIns2;
extern tk::Control* Label57302;
extern tk::Control* ImageOK[2];

}  // namespace FormAbout
