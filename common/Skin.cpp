#include "common/Skin.h"

namespace Skin {

void Arrange(const Button& button) {
  for (size_t i = 1; i < button.size(); i++) {
    tk::Move(button[i], tk::Left(button[0]), tk::Top(button[0]));
    tk::SetVisible(button[i], false);
  }
  tk::SetVisible(button[0], true);
}

void Hover(const Button& button) {
  tk::SetVisible(button[1], true);
  tk::SetVisible(button[0], false);
  if (button.size() > 2) tk::SetVisible(button[2], false);
}

void Press(const Button& button) {
  tk::SetVisible(button[0], false);
  for (size_t i = 1; i < button.size(); i++) tk::SetVisible(button[i], true);
}

void ShowNormal(const Button& button) {
  tk::SetVisible(button[0], true);
  for (size_t i = 1; i < button.size(); i++) tk::SetVisible(button[i], false);
}

void LinkHover(tk::Control* label) {
  tk::SetForeColor(label, kRed);
  tk::SetUnderline(label, true);
}

void LinkLeave(tk::Control* label, unsigned long color) {
  tk::SetForeColor(label, color);
  tk::SetUnderline(label, false);
}

void ApplyDefaultFont(tk::Form& form) {
  for (auto& control : form.controls) {
    tk::SetFontName(control.get(), L"宋体");
    tk::SetFontSize(control.get(), 9);
  }
}

void HandCursor(const Button& button) {
  for (tk::Control* image : button) HandCursor(image);
}

void HandCursor(tk::Control* control) { tk::SetCursor(control, "HAND"); }

}  // namespace Skin
