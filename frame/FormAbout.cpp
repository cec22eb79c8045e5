#include "frame/FormAbout.h"

#include "common/Skin.h"
#include "frame/FormMain.h"
#include "platform/System.h"

namespace FormAbout {

tk::Control* LabelIns;
tk::Control* LabelIns2;
tk::Control* Label57302;
tk::Control* ImageOK[2];

namespace {

tk::Form form;

Skin::Button OkButton() { return {ImageOK[0], ImageOK[1]}; }

// The box stays open: the user may come back to it from the browser.
void Label57302_Click() { System::OpenDocument(form.hwnd, FormMain::kHomePage); }
void Label57302_MouseMove(const tk::Mouse&) { Skin::LinkHover(Label57302); }
void ImageOK_MouseDown(const tk::Mouse&) { tk::Unload(form); }
void ImageOK_MouseMove(const tk::Mouse&) { Skin::Hover(OkButton()); }

void Form_MouseMove(const tk::Mouse&) {
  Skin::LinkLeave(Label57302, Skin::kBlue);
  Skin::ShowNormal(OkButton());
}

tk::Control* AddTwipsLabel(tk::Form& f, const wchar_t* name, const std::wstring& caption, int left, int top, int width,
                           int height) {
  return tk::AddLabel(f, nullptr, name, caption, tk::Twips(left), tk::Twips(top), tk::Twips(width), tk::Twips(height));
}

// One line of this font is 16 pixels high here, more than the 12 (180 twips) the
// single-line labels were drawn for: they get 240 twips, so descenders show.
constexpr int kLineTwips = 240;

void Design(tk::Form& f) {
  LabelIns =
      AddTwipsLabel(f, L"LabelIns", L"检测和清除各类已知或未知的木马、蠕虫病毒、恶意程序", 480, 1080, 4500, kLineTwips);
  LabelIns2 = AddTwipsLabel(f, L"LabelIns2",
                            L"可清除国内外木马58690余种；蠕虫病毒、恶意程序3600余种，是保护您系统安全的必备软件！", 360,
                            1440, 4815, 615);
  Label57302 = AddTwipsLabel(f, L"Label57302", FormMain::kHomePage, 960, 2280, 2160, kLineTwips);
  // The hover image lies below the button until the load stacks it.
  ImageOK[0] = tk::AddImage(f, nullptr, L"ImageOK", 0, "OK_0", tk::Twips(3600), tk::Twips(2880), L"确定");
  ImageOK[1] = tk::AddImage(f, nullptr, L"ImageOK", 1, "OK_1", tk::Twips(3600), tk::Twips(2880) + 30, L"确定");
  Skin::HandCursor(ImageOK[1]);
  Skin::HandCursor(Label57302);
  Label57302->Click = Label57302_Click;
  Label57302->MouseMove = Label57302_MouseMove;
  for (tk::Control* image : ImageOK) {
    image->MouseDown = ImageOK_MouseDown;
    image->MouseMove = ImageOK_MouseMove;
  }
}

void Form_Load() {
  tk::SetForeColor(Label57302, Skin::kBlue);
  Skin::Arrange(OkButton());
  Skin::ApplyDefaultFont(form);
}

}  // namespace

tk::Form& Get() {
  if (!form.Design) {
    form.name = L"FormAbout";
    form.caption = L"关于";
    form.width = tk::Twips(5415);
    form.height = tk::Twips(4185);
    form.icon = "APPICON";
    form.background = "ABOUT_BANNER";
    form.backColor = Skin::kDialogBack;
    form.Design = Design;
    form.Load = Form_Load;
    form.MouseMove = Form_MouseMove;
  }
  tk::Load(form);
  return form;
}

bool IsLoaded() { return form.loaded; }

void ShowModal(tk::Form& owner) { tk::ShowModal(Get(), &owner); }

}  // namespace FormAbout
