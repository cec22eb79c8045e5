// Making controls (labels, images, panels, buttons, check boxes, options, timers
// and menus) and their properties: captions, colours, fonts, places, states.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <cwchar>
#include <memory>

#include "platform/ToolkitParts.h"

namespace tk {
namespace {

constexpr int kFirstControlId = 1000;
constexpr int kDesignDpi = 96;

void ApplyFont(Control* c) {
  if (!Drawn(c)) return;
  // Sized for the 96 dpi the pixel layout is designed at; at higher settings Windows
  // scales the whole window, so text never outgrows its fixed-size label.
  int height = -MulDiv(c->fontSize, kDesignDpi, 72);
  HFONT font =
      CreateFontW(height, 0, 0, 0, c->bold ? FW_BOLD : FW_NORMAL, FALSE, c->underline, FALSE, DEFAULT_CHARSET,
                  OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, c->fontName.c_str());
  SendMessageW(H(c->hwnd), WM_SETFONT, (WPARAM)font, FALSE);
  if (c->font) DeleteObject((HFONT)c->font);
  c->font = font;
  Refresh(c);
}

bool HasFont(const Control* c) { return c->kind != Kind::Image && c->kind != Kind::Picture && c->kind != Kind::Timer; }

// Repaints the parent's area under a control, so transparent labels redraw cleanly.
void InvalidateUnder(Control* c, bool now) {
  if (!Drawn(c)) return;
  HWND hwnd = H(c->hwnd);
  HWND parent = GetParent(hwnd);
  RECT rc;
  GetWindowRect(hwnd, &rc);
  MapWindowPoints(nullptr, parent, (POINT*)&rc, 2);
  RedrawWindow(parent, &rc, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | (now ? RDW_UPDATENOW : 0));
}

}  // namespace

Control* Add(Form& form, Control* container, Kind kind, const std::wstring& name, int index, const wchar_t* cls,
             DWORD style, DWORD exStyle, const std::wstring& caption, int x, int y, int width, int height) {
  auto owned = std::make_unique<Control>();
  Control* c = owned.get();
  c->kind = kind;
  c->name = name;
  c->index = index;
  c->form = &form;
  c->container = container;
  c->id = kFirstControlId + (int)form.controls.size();
  form.controls.push_back(std::move(owned));
  HWND parent = H(container ? container->hwnd : form.hwnd);
  HWND hwnd = CreateWindowExW(exStyle, cls, caption.c_str(), WS_CHILD | WS_VISIBLE | style, x, y, width, height, parent,
                              (HMENU)(INT_PTR)c->id, Instance(), nullptr);
  c->hwnd = hwnd;
  if (!hwnd) return c;
  SetWindowLongPtrA(hwnd, GWLP_USERDATA, (LONG_PTR)c);
  if (wcscmp(cls, L"BUTTON") == 0) SetWindowSubclass(hwnd, ButtonPressProc, 0, 0);
  if (HasFont(c)) ApplyFont(c);
  return c;
}

HBITMAP LoadResourceBitmap(const std::string& name) {
  if (name.empty()) return nullptr;
  return (HBITMAP)LoadImageA(Instance(), name.c_str(), IMAGE_BITMAP, 0, 0, 0);
}

Control* AddLabel(Form& form, Control* container, const std::wstring& name, const std::wstring& caption, int x, int y,
                  int width, int height) {
  return Add(form, container, Kind::Label, name, -1, kControlClass, WS_CLIPSIBLINGS, WS_EX_TRANSPARENT, caption, x, y,
             width, height);
}

Control* AddImage(Form& form, Control* container, const std::wstring& name, int index, const std::string& bitmap, int x,
                  int y, const std::wstring& caption) {
  HBITMAP bmp = LoadResourceBitmap(bitmap);
  BITMAP info = {};
  if (bmp) GetObjectA(bmp, sizeof info, &info);
  Control* c = Add(form, container, Kind::Image, name, index, kControlClass, WS_CLIPSIBLINGS, 0, caption, x, y,
                   info.bmWidth, info.bmHeight);
  c->bitmap = bmp;
  // Later images of an array lie above the earlier ones.
  if (c->hwnd) SetWindowPos(H(c->hwnd), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  return c;
}

Control* AddPicture(Form& form, const std::wstring& name, const std::string& bitmap, int x, int y, int width,
                    int height) {
  Control* c = Add(form, nullptr, Kind::Picture, name, -1, kControlClass, WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT, L"", x,
                   y, width, height);
  c->bitmap = LoadResourceBitmap(bitmap);
  return c;
}

Control* AddCheck(Form& form, Control* container, const std::wstring& name, const std::wstring& caption, int x, int y,
                  int width, int height) {
  return Add(form, container, Kind::Check, name, -1, L"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, 0, caption, x, y, width,
             height);
}

Control* AddOption(Form& form, Control* container, const std::wstring& name, const std::wstring& caption, int x, int y,
                   int width, int height, bool firstOfGroup) {
  return Add(form, container, Kind::Option, name, -1, L"BUTTON",
             BS_AUTORADIOBUTTON | (firstOfGroup ? WS_GROUP | WS_TABSTOP : 0), 0, caption, x, y, width, height);
}

Control* AddButton(Form& form, Control* container, const std::wstring& name, const std::wstring& caption, int x, int y,
                   int width, int height) {
  return Add(form, container, Kind::Button, name, -1, L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 0, caption, x, y, width,
             height);
}

Control* AddTimer(Form& form, const std::wstring& name) {
  Control* c = Add(form, nullptr, Kind::Timer, name, -1, kControlClass, 0, 0, L"", 0, 0, 0, 0);
  if (c->hwnd) ShowWindow(H(c->hwnd), SW_HIDE);
  return c;
}

void* AddMenu(Form& form, const std::wstring& caption) {
  if (!form.menu) form.menu = CreateMenu();
  HMENU popup = CreatePopupMenu();
  AppendMenuW((HMENU)form.menu, MF_POPUP | MF_STRING, (UINT_PTR)popup, caption.c_str());
  return popup;
}

void AddMenuItem(Form& form, void* menu, int id, const std::wstring& caption, std::function<void()> command) {
  if (caption == L"-") {
    AppendMenuW((HMENU)menu, MF_SEPARATOR, 0, nullptr);
    return;
  }
  AppendMenuW((HMENU)menu, MF_STRING, (UINT_PTR)id, caption.c_str());
  form.menuCommands.emplace_back(id, std::move(command));
}

void SetCaption(Control* c, const std::wstring& caption) {
  if (!Drawn(c)) return;
  SetWindowTextW(H(c->hwnd), caption.c_str());
  if (c->kind == Kind::Label) InvalidateUnder(c, false);
}

std::wstring Caption(const Control* c) {
  if (!Drawn(c)) return {};
  int length = GetWindowTextLengthW(H(c->hwnd));
  std::wstring text((size_t)length + 1, L'\0');
  length = GetWindowTextW(H(c->hwnd), &text[0], length + 1);
  text.resize((size_t)std::max(0, length));
  return text;
}

void SetForeColor(Control* c, unsigned long color) {
  if (!c || c->foreColor == color) return;
  c->foreColor = color;
  InvalidateUnder(c, false);
}

void SetUnderline(Control* c, bool underline) {
  if (!c || c->underline == underline) return;
  c->underline = underline;
  ApplyFont(c);
}

void Refresh(Control* c) {
  if (!Drawn(c)) return;
  if (c->kind == Kind::Label) {
    InvalidateUnder(c, true);
    return;
  }
  RedrawWindow(H(c->hwnd), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

void SetVisible(Control* c, bool visible) {
  if (!Drawn(c) || Visible(c) == visible) return;
  ShowWindow(H(c->hwnd), visible ? SW_SHOWNA : SW_HIDE);
}

bool Visible(const Control* c) { return Drawn(c) && (GetWindowLongA(H(c->hwnd), GWL_STYLE) & WS_VISIBLE) != 0; }

void Move(Control* c, int left, int top) {
  if (!Drawn(c)) return;
  SetWindowPos(H(c->hwnd), nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

static POINT Position(const Control* c) {
  POINT p = {0, 0};
  if (!Drawn(c)) return p;
  RECT rc;
  GetWindowRect(H(c->hwnd), &rc);
  p = {rc.left, rc.top};
  ScreenToClient(GetParent(H(c->hwnd)), &p);
  return p;
}

int Left(const Control* c) { return Position(c).x; }
int Top(const Control* c) { return Position(c).y; }

void SetEnabled(Control* c, bool enabled) {
  if (Drawn(c)) EnableWindow(H(c->hwnd), enabled);
}

bool Enabled(const Control* c) { return Drawn(c) && IsWindowEnabled(H(c->hwnd)); }

bool Value(const Control* c) { return Drawn(c) && SendMessageW(H(c->hwnd), BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetValue(Control* c, bool value) {
  if (Drawn(c)) SendMessageW(H(c->hwnd), BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
}

void SetTimer(Control* c, unsigned interval, bool enabled) {
  if (!Drawn(c)) return;
  c->interval = interval;
  c->timerEnabled = enabled;
  KillTimer(H(c->hwnd), 1);
  if (enabled && interval > 0) ::SetTimer(H(c->hwnd), 1, interval, nullptr);
}

bool SetFontName(Control* c, const std::wstring& name) {
  if (!c || !HasFont(c)) return false;
  c->fontName = name;
  ApplyFont(c);
  return true;
}

bool SetFontSize(Control* c, int points) {
  if (!c || !HasFont(c)) return false;
  c->fontSize = points;
  ApplyFont(c);
  return true;
}

void SetCursor(Control* c, const std::string& cursorResource) {
  if (c) c->cursor = LoadCursorA(Instance(), cursorResource.c_str());
}

void SetToolTip(Control* c, const std::wstring& text) {
  if (!Drawn(c)) return;
  Form& form = *c->form;
  if (!form.tooltip)
    form.tooltip =
        CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, H(form.hwnd), nullptr, Instance(), nullptr);
  std::wstring tip = text;
  TTTOOLINFOW info = {};
  info.cbSize = TTTOOLINFOW_V1_SIZE;
  info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  info.hwnd = H(form.hwnd);
  info.uId = (UINT_PTR)c->hwnd;
  info.lpszText = &tip[0];
  SendMessageW(H(form.tooltip), TTM_ADDTOOLW, 0, (LPARAM)&info);
}

void AcceptFiles(Control* c) {
  if (Drawn(c)) DragAcceptFiles(H(c->hwnd), TRUE);
}

}  // namespace tk
