#include "syscheck/FormMsg.h"

#include "common/Skin.h"
#include "platform/Text.h"
#include "syscheck/Detection.h"

namespace FormMsg {

tk::Control* LabelMsg;
tk::Control* OptionClean;
tk::Control* OptionSkip;
tk::Control* OptionAllow;
tk::Control* ImageOK[2];

namespace {

tk::Form form;

Skin::Button OkButton() { return {ImageOK[0], ImageOK[1]}; }

void ImageOK_MouseDown(const tk::Mouse&) {
  if (tk::Value(OptionClean))
    Detection::UserChoice = L"CLEAN";
  else if (tk::Value(OptionSkip))
    Detection::UserChoice = L"SKIP";
  else if (tk::Value(OptionAllow))
    Detection::UserChoice = L"ALLOW";
  Unload();
}

// Closed any other way than by its OK image (Alt+F4, the system menu, another
// program): the preselected answer SKIP, so the finding is still recorded.
bool Form_QueryUnload() {
  Detection::UserChoice = L"SKIP";
  return false;
}

void ImageOK_MouseMove(const tk::Mouse&) { Skin::Hover(OkButton()); }
void Form_MouseMove(const tk::Mouse&) { Skin::ShowNormal(OkButton()); }

void Design(tk::Form& f) {
  LabelMsg = tk::AddLabel(f, nullptr, L"LabelMsg", L"", 16, 36, 344, 72);
  OptionClean = tk::AddOption(f, nullptr, L"OptionClean", L"清除", 16, 120, 60, 20, true);
  OptionSkip = tk::AddOption(f, nullptr, L"OptionSkip", L"跳过", 84, 120, 60, 20, false);
  OptionAllow = tk::AddOption(f, nullptr, L"OptionAllow", L"信任", 152, 120, 60, 20, false);
  ImageOK[0] = tk::AddImage(f, nullptr, L"ImageOK", 0, "OK_0", tk::Twips(4200), tk::Twips(1800), L"确定");
  ImageOK[1] = tk::AddImage(f, nullptr, L"ImageOK", 1, "OK_1", tk::Twips(4200), 10, L"确定");
  for (tk::Control* image : ImageOK) {
    image->MouseDown = ImageOK_MouseDown;
    image->MouseMove = ImageOK_MouseMove;
    Skin::HandCursor(image);
  }
  tk::SetValue(OptionSkip, true);
}

void Form_Load() {
  Skin::Arrange(OkButton());
  Skin::ApplyDefaultFont(form);
}

}  // namespace

tk::Form& Get() {
  if (!form.Design) {
    form.name = L"FormMsg";
    form.caption = L" ";
    form.width = 372;
    form.height = 152;
    form.background = "DLG_BG";
    form.backColor = Skin::kDialogBack;
    form.closeBox = false;
    form.toolWindow = true;
    form.Design = Design;
    form.Load = Form_Load;
    form.MouseMove = Form_MouseMove;
    form.QueryUnload = Form_QueryUnload;
  }
  tk::Load(form);
  return form;
}

bool IsLoaded() { return form.loaded; }

void Unload() { tk::Unload(form); }

void SetWarning(const std::wstring& warning) {
  Get();
  tk::SetCaption(LabelMsg, Text::ShortenMiddle(warning, kShownCharacters));
}

}  // namespace FormMsg
