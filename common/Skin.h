// The bitmap-button, link-label and font rules every window follows.
// A button is an array of images stacked at one place: 0 normal, 1 hover, 2 pressed.
#pragma once
#include <string>
#include <vector>

#include "platform/Toolkit.h"

namespace Skin {

using Button = std::vector<tk::Control*>;

constexpr unsigned long kRed = 0x000000FF;
constexpr unsigned long kYellow = 0x0000FFFF;
constexpr unsigned long kBlue = 0x00FF0000;
constexpr unsigned long kWhite = 0x00FFFFFF;
// Behind the dialogs' skin pictures: the prompt, the progress window, the report.
constexpr unsigned long kDialogBack = 0x00F7EFE6;

// Moves images 1.. onto image 0, hides them and shows image 0.
void Arrange(const Button& button);
// Pointer over a button: image 1 shown over image 0, the pressed image hidden.
void Hover(const Button& button);
// Mouse press on a three-image button: hover and pressed images shown.
void Press(const Button& button);
// Pointer back on the background: image 0 only.
void ShowNormal(const Button& button);
void LinkHover(tk::Control* label);
void LinkLeave(tk::Control* label, unsigned long color);
// Every control of the form gets "宋体" 9 pt; controls without a font are skipped.
void ApplyDefaultFont(tk::Form& form);
// Hand cursor on every image of a button.
void HandCursor(const Button& button);
void HandCursor(tk::Control* control);

}  // namespace Skin
