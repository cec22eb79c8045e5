#include "platform/Toolkit.h"

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cwchar>

namespace tk {

static_assert(kWmSysCommand == WM_SYSCOMMAND && kWmLButtonDblClk == WM_LBUTTONDBLCLK, "message numbers");
static_assert(kScMinimize == SC_MINIMIZE && kScRestore == SC_RESTORE, "system commands");
static_assert(sizeof(intptr_t) == sizeof(LRESULT) && sizeof(uintptr_t) == sizeof(WPARAM) &&
                  sizeof(intptr_t) == sizeof(LPARAM) && sizeof(WindowProc) == sizeof(WNDPROC),
              "WindowProc has the platform's window-procedure signature");

namespace {

const wchar_t kFormClass[] = L"ZorvaneForm";
const wchar_t kControlClass[] = L"ZorvaneControl";  // labels, images, panels, timers
constexpr int kFirstControlId = 1000;
constexpr int kDesignDpi = 96;

std::wstring g_title;
std::vector<Form*> g_forms;  // the loaded forms, oldest first
bool g_ending;

HWND H(const void* hwnd) { return static_cast<HWND>(const_cast<void*>(hwnd)); }
HINSTANCE Instance() { return GetModuleHandleA(nullptr); }
bool Drawn(const Control* c) { return c && c->hwnd; }

Form* FormOf(HWND hwnd) { return reinterpret_cast<Form*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)); }
Control* ControlOf(HWND hwnd) { return reinterpret_cast<Control*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)); }

Mouse MouseArgs(WPARAM wParam, LPARAM lParam, int button) {
  Mouse m;
  m.button = button;
  m.shift = ((wParam & MK_SHIFT) ? 1 : 0) | ((wParam & MK_CONTROL) ? 2 : 0) | (GetKeyState(VK_MENU) < 0 ? 4 : 0);
  m.x = (short)LOWORD(lParam);
  m.y = (short)HIWORD(lParam);
  return m;
}

int ButtonOf(UINT message) {
  if (message == WM_RBUTTONDOWN || message == WM_RBUTTONDBLCLK) return 2;
  if (message == WM_MBUTTONDOWN || message == WM_MBUTTONDBLCLK) return 4;
  return 1;
}

bool IsPress(UINT message) {
  switch (message) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK: return true;
  }
  return false;
}

void WakeModalLoops() { PostMessageW(nullptr, WM_NULL, 0, 0); }

// Standard controls notify their parent; route to the owning control.
void RouteCommand(HWND parent, WPARAM wParam, LPARAM lParam) {
  if (lParam == 0) {
    Form* form = FormOf(parent);
    if (!form) return;
    for (auto& entry : form->menuCommands)
      if (entry.first == (int)LOWORD(wParam) && entry.second) entry.second();
    return;
  }
  Control* c = ControlOf(reinterpret_cast<HWND>(lParam));
  if (!c || !c->Click) return;
  // A list's Click is a change of its selection, by the mouse or the keys.
  if (HIWORD(wParam) == (c->kind == Kind::List ? LBN_SELCHANGE : BN_CLICKED)) c->Click();
}

// Check boxes and option buttons show the skin behind them.
LRESULT ColorChild(HWND parent, UINT message, WPARAM wParam, LPARAM lParam) {
  Control* c = ControlOf((HWND)lParam);
  if (c && (c->kind == Kind::Check || c->kind == Kind::Option)) {
    SetBkMode((HDC)wParam, TRANSPARENT);
    SetTextColor((HDC)wParam, c->foreColor);
    return (LRESULT)GetStockObject(NULL_BRUSH);
  }
  return DefWindowProcW(parent, message, wParam, lParam);
}

void DrawBitmap(HDC dc, HBITMAP bitmap, int x, int y) {
  if (!bitmap) return;
  BITMAP info = {};
  GetObjectA(bitmap, sizeof info, &info);
  HDC memory = CreateCompatibleDC(dc);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(dc, x, y, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
  SelectObject(memory, old);
  DeleteDC(memory);
}

void PaintLabel(HWND hwnd, Control* c) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  RECT rc;
  GetClientRect(hwnd, &rc);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, c->foreColor);
  HGDIOBJ old = c->font ? SelectObject(dc, c->font) : nullptr;
  std::wstring text = Caption(c);
  DrawTextW(dc, text.c_str(), (int)text.size(), &rc, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
  if (old) SelectObject(dc, old);
  EndPaint(hwnd, &ps);
}

// Read in UTF-16: a dropped name may lie outside the code page.
void FilesDropped(Control* c, HDROP drop) {
  std::vector<std::wstring> paths;
  UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; i++) {
    std::wstring path(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
    path.resize(DragQueryFileW(drop, i, &path[0], (UINT)path.size()));
    paths.push_back(path);
  }
  DragFinish(drop);
  if (c->FilesDropped && !paths.empty()) c->FilesDropped(paths);
}

LRESULT CALLBACK ControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Control* c = ControlOf(hwnd);
  if (!c) return DefWindowProcW(hwnd, message, wParam, lParam);
  switch (message) {
    case WM_ERASEBKGND:
      if (c->kind == Kind::Picture) DrawBitmap((HDC)wParam, (HBITMAP)c->bitmap, 0, 0);
      return 1;
    case WM_PAINT:
      if (c->kind == Kind::Label) {
        PaintLabel(hwnd, c);
        return 0;
      }
      if (c->kind == Kind::Image) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        DrawBitmap(dc, (HBITMAP)c->bitmap, 0, 0);
        EndPaint(hwnd, &ps);
        return 0;
      }
      break;
    case WM_SETCURSOR:
      if (c->cursor && LOWORD(lParam) == HTCLIENT) {
        ::SetCursor((HCURSOR)c->cursor);
        return TRUE;
      }
      break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (message == WM_LBUTTONDOWN) SetPropA(hwnd, "ZPressed", (HANDLE)1);
      if (c->MouseDown) c->MouseDown(MouseArgs(wParam, lParam, ButtonOf(message)));
      return 0;
    case WM_LBUTTONUP: {
      bool pressed = RemovePropA(hwnd, "ZPressed") != nullptr;
      if (pressed && Drawn(c) && c->Click) c->Click();
      return 0;
    }
    case WM_MOUSEMOVE:
      if (c->MouseMove)
        c->MouseMove(MouseArgs(wParam, lParam, (wParam & MK_LBUTTON) ? 1 : (wParam & MK_RBUTTON) ? 2 : 0));
      return 0;
    case WM_TIMER:
      if (c->Timer) c->Timer();
      return 0;
    case WM_DROPFILES: FilesDropped(c, (HDROP)wParam); return 0;
    case WM_COMMAND: RouteCommand(hwnd, wParam, lParam); return 0;
    case WM_GETFONT: return (LRESULT)c->font;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: return ColorChild(hwnd, message, wParam, lParam);
    case WM_NCDESTROY: RemovePropA(hwnd, "ZPressed"); break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// A standard button (check box, option, push button) whose control has a MouseDown
// handler gives every press to it instead: the button neither takes the press nor
// changes its state on the release, so the handler alone decides.
LRESULT CALLBACK ButtonPressProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  Control* c = ControlOf(hwnd);
  if (!c || !c->MouseDown || !IsPress(message)) return DefSubclassProc(hwnd, message, wParam, lParam);
  c->MouseDown(MouseArgs(wParam, lParam, ButtonOf(message)));
  return 0;
}

LRESULT CALLBACK FormProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Form* form = FormOf(hwnd);
  if (!form) return DefWindowProcW(hwnd, message, wParam, lParam);
  switch (message) {
    case WM_ERASEBKGND: {
      HDC dc = (HDC)wParam;
      RECT rc;
      GetClientRect(hwnd, &rc);
      HBRUSH brush = CreateSolidBrush(form->backColor);
      FillRect(dc, &rc, brush);
      DeleteObject(brush);
      DrawBitmap(dc, (HBITMAP)form->picture, 0, 0);
      return 1;
    }
    case WM_MOUSEMOVE:
      if (form->MouseMove) form->MouseMove(MouseArgs(wParam, lParam, (wParam & MK_LBUTTON) ? 1 : 0));
      return 0;
    case WM_COMMAND: RouteCommand(hwnd, wParam, lParam); return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: return ColorChild(hwnd, message, wParam, lParam);
    case WM_CLOSE:
      if (!form->QueryUnload || !form->QueryUnload()) Unload(*form);
      return 0;
    case WM_ENDSESSION:
      // The session ends: every form unloads, so each runs its Form_Unload.
      if (wParam) EndProgram();
      return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void RegisterClasses() {
  static bool registered = false;
  if (registered) return;
  registered = true;
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  // Unicode classes: a window keeps and shows text the code page cannot hold.
  WNDCLASSW wc = {};
  wc.hInstance = Instance();
  wc.hCursor = LoadCursorW(nullptr, (LPCWSTR)IDC_ARROW);
  wc.lpfnWndProc = FormProc;
  wc.lpszClassName = kFormClass;
  RegisterClassW(&wc);
  wc.lpfnWndProc = ControlProc;
  wc.lpszClassName = kControlClass;
  RegisterClassW(&wc);
}

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

void ReleaseControls(Form& form) {
  for (auto& c : form.controls) {
    if (c->font) DeleteObject((HFONT)c->font);
    if (c->bitmap) DeleteObject((HBITMAP)c->bitmap);
    c->font = c->bitmap = nullptr;
    c->hwnd = nullptr;  // stale pointers held elsewhere become harmless
  }
}

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

void CenterOn(HWND hwnd, HWND owner) {
  RECT mine, theirs;
  GetWindowRect(hwnd, &mine);
  GetWindowRect(owner, &theirs);
  if (!IsWindowVisible(owner)) return;
  int x = theirs.left + ((theirs.right - theirs.left) - (mine.right - mine.left)) / 2;
  int y = theirs.top + ((theirs.bottom - theirs.top) - (mine.bottom - mine.top)) / 2;
  SetWindowPos(hwnd, nullptr, std::max(0, x), std::max(0, y), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

DWORD TextStyle(TextLines lines) {
  switch (lines) {
    case TextLines::One: return ES_AUTOHSCROLL;
    case TextLines::Wrapped: return ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL;
    case TextLines::Whole: return ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_VSCROLL | WS_HSCROLL;
  }
  return ES_AUTOHSCROLL;
}

}  // namespace

void SetApplicationTitle(const std::wstring& title) { g_title = title; }
const std::wstring& ApplicationTitle() { return g_title; }

void Load(Form& form) {
  if (form.loaded || g_ending) return;
  RegisterClasses();
  ReleaseControls(form);
  form.controls.clear();
  form.menuCommands.clear();
  form.menu = nullptr;
  DWORD style = form.titleBar ? WS_OVERLAPPED | WS_CAPTION : WS_POPUP | WS_DLGFRAME;
  if (form.titleBar && form.closeBox) style |= WS_SYSMENU | (form.minimizeBox ? WS_MINIMIZEBOX : 0);
  DWORD exStyle = form.toolWindow ? WS_EX_TOOLWINDOW : 0;
  RECT rc = {0, 0, form.width, form.height};
  AdjustWindowRectEx(&rc, style, FALSE, exStyle);
  int width = rc.right - rc.left, height = rc.bottom - rc.top;
  int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2, y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  HWND hwnd = CreateWindowExW(exStyle, kFormClass, form.caption.c_str(), style, std::max(0, x), std::max(0, y), width,
                              height, nullptr, nullptr, Instance(), nullptr);
  if (!hwnd) return;
  form.hwnd = hwnd;
  SetWindowLongPtrA(hwnd, GWLP_USERDATA, (LONG_PTR)&form);
  if (!form.icon.empty()) {
    HICON icon = LoadIconA(Instance(), form.icon.c_str());
    SendMessageW(hwnd, WM_SETICON, ICON_BIG, (LPARAM)icon);
    SendMessageW(hwnd, WM_SETICON, ICON_SMALL, (LPARAM)icon);
  }
  form.picture = LoadResourceBitmap(form.background);
  if (form.Design) form.Design(form);
  if (form.menu) {
    // The menu bar takes client height: grow the window to keep the designed client size.
    SetMenu(hwnd, (HMENU)form.menu);
    RECT withMenu = {0, 0, form.width, form.height};
    AdjustWindowRectEx(&withMenu, style, TRUE, exStyle);
    SetWindowPos(hwnd, nullptr, 0, 0, withMenu.right - withMenu.left, withMenu.bottom - withMenu.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // Panels are windows over the lightweight controls, whatever their order.
  for (auto& c : form.controls)
    if (c->kind == Kind::Picture && c->hwnd)
      SetWindowPos(H(c->hwnd), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  form.loaded = true;
  g_forms.push_back(&form);
  if (form.Load) form.Load();
}

void Show(Form& form) {
  Load(form);
  if (!form.loaded) return;
  ShowWindow(H(form.hwnd), SW_SHOW);
  SetForegroundWindow(H(form.hwnd));
}

void ShowModal(Form& form, Form* owner) {
  Load(form);
  if (!form.loaded) return;
  HWND hwnd = H(form.hwnd);
  HWND ownerHwnd = owner && owner->loaded ? H(owner->hwnd) : nullptr;
  if (ownerHwnd) {
    SetWindowLongPtrA(hwnd, GWLP_HWNDPARENT, (LONG_PTR)ownerHwnd);
    CenterOn(hwnd, ownerHwnd);
    EnableWindow(ownerHwnd, FALSE);
  }
  ShowWindow(hwnd, SW_SHOW);
  SetForegroundWindow(hwnd);
  MSG msg;
  bool quit = false;
  WPARAM quitCode = 0;
  while (form.loaded && IsWindowVisible(H(form.hwnd))) {
    if (GetMessageW(&msg, nullptr, 0, 0) <= 0) {
      quit = true;
      quitCode = msg.wParam;
      break;
    }
    if (form.loaded && IsDialogMessageW(H(form.hwnd), &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  if (ownerHwnd && IsWindow(ownerHwnd)) {
    EnableWindow(ownerHwnd, TRUE);
    if (IsWindowVisible(ownerHwnd)) SetActiveWindow(ownerHwnd);
  }
  if (quit) PostQuitMessage((int)quitCode);
}

void Hide(Form& form) {
  if (!form.loaded) return;
  ShowWindow(H(form.hwnd), SW_HIDE);
  WakeModalLoops();
}

void Unload(Form& form) {
  if (!form.loaded || form.unloading) return;
  form.unloading = true;
  if (form.Unload) form.Unload();
  HWND hwnd = H(form.hwnd);
  HWND owner = GetWindow(hwnd, GW_OWNER);
  if (owner) EnableWindow(owner, TRUE);  // re-enable before the owned window goes, so focus returns to it
  if (form.tooltip) DestroyWindow(H(form.tooltip));
  DestroyWindow(hwnd);
  ReleaseControls(form);
  if (form.picture) DeleteObject((HBITMAP)form.picture);
  form.picture = form.tooltip = form.menu = nullptr;
  form.hwnd = nullptr;
  form.loaded = false;
  form.unloading = false;
  g_forms.erase(std::remove(g_forms.begin(), g_forms.end(), &form), g_forms.end());
  WakeModalLoops();
  if (!g_forms.empty()) return;
  g_ending = true;
  PostQuitMessage(0);
}

void EndProgram() {
  g_ending = true;
  std::vector<Form*> forms = g_forms;
  for (auto it = forms.rbegin(); it != forms.rend(); ++it) Unload(**it);
  WakeModalLoops();
}

bool Ending() { return g_ending; }

void ResetEnding() { g_ending = false; }

void RefreshForm(Form& form) {
  if (form.loaded)
    RedrawWindow(H(form.hwnd), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

bool IsShown(const Form& form) { return form.loaded && IsWindowVisible(H(form.hwnd)); }

bool SetPicture(Form& form, const std::wstring& bitmapFile) {
  if (!form.loaded) return false;
  HBITMAP bitmap = (HBITMAP)LoadImageW(nullptr, bitmapFile.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
  if (!bitmap) return false;
  if (form.picture) DeleteObject((HBITMAP)form.picture);
  form.picture = bitmap;
  InvalidateRect(H(form.hwnd), nullptr, TRUE);
  return true;
}

void* IconHandle(const Form& form) {
  if (!form.loaded) return nullptr;
  return (void*)SendMessageW(H(form.hwnd), WM_GETICON, ICON_BIG, 0);
}

WindowProc ReplaceWindowProc(Form& form, WindowProc procedure) {
  if (!form.hwnd) return nullptr;
  LONG_PTR previous = SetWindowLongPtrA(H(form.hwnd), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure));
  return reinterpret_cast<WindowProc>(previous);
}

intptr_t CallPreviousProc(WindowProc previous, void* hwnd, unsigned message, uintptr_t wParam, intptr_t lParam) {
  return CallWindowProcA(reinterpret_cast<WNDPROC>(previous), H(hwnd), message, wParam, lParam);
}

bool IsBeingShown(unsigned message, uintptr_t wParam, intptr_t lParam) {
  if (message == WM_SHOWWINDOW) return wParam != 0;
  return message == WM_WINDOWPOSCHANGED && (reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW);
}

intptr_t SendToForm(Form& form, unsigned message, uintptr_t wParam, intptr_t lParam) {
  if (!form.hwnd) return 0;
  return SendMessageW(H(form.hwnd), message, wParam, lParam);
}

int Run() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return (int)msg.wParam;
}

bool DoEvents() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage((int)msg.wParam);  // leave it for the loop that owns the program's end
      return false;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return !g_ending;
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

Control* AddText(Form& form, Control* container, const std::wstring& name, int x, int y, int width, int height,
                 TextLines lines) {
  DWORD style = WS_TABSTOP | WS_BORDER | WS_CLIPSIBLINGS | TextStyle(lines);
  Control* c = Add(form, container, Kind::Text, name, -1, L"EDIT", style, WS_EX_CLIENTEDGE, L"", x, y, width, height);
  if (c->hwnd) SendMessageW(H(c->hwnd), EM_SETLIMITTEXT, 0, 0);  // no 32 KB cap on long results
  return c;
}

Control* AddList(Form& form, Control* container, const std::wstring& name, int x, int y, int width, int height,
                 bool multiSelect) {
  DWORD style =
      WS_BORDER | WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | (multiSelect ? LBS_EXTENDEDSEL : 0);
  return Add(form, container, Kind::List, name, -1, L"LISTBOX", style, 0, L"", x, y, width, height);
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

void ListAdd(Control* c, const std::wstring& item) {
  if (!Drawn(c)) return;
  HWND list = H(c->hwnd);
  SendMessageW(list, LB_ADDSTRING, 0, (LPARAM)item.c_str());
  // A row longer than the box scrolls sideways instead of being cut at its edge.
  HDC dc = GetDC(list);
  HGDIOBJ old = c->font ? SelectObject(dc, (HFONT)c->font) : nullptr;
  SIZE size = {};
  GetTextExtentPoint32W(dc, item.c_str(), (int)item.size(), &size);
  if (old) SelectObject(dc, old);
  ReleaseDC(list, dc);
  if (size.cx + 8 > SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0))
    SendMessageW(list, LB_SETHORIZONTALEXTENT, size.cx + 8, 0);
}

void ListRemove(Control* c, int index) {
  if (Drawn(c)) SendMessageW(H(c->hwnd), LB_DELETESTRING, (WPARAM)index, 0);
}

std::wstring ListItem(const Control* c, int index) {
  if (!Drawn(c)) return {};
  LRESULT length = SendMessageW(H(c->hwnd), LB_GETTEXTLEN, (WPARAM)index, 0);
  if (length == LB_ERR) return {};
  std::wstring text((size_t)length + 1, L'\0');
  length = SendMessageW(H(c->hwnd), LB_GETTEXT, (WPARAM)index, (LPARAM)&text[0]);
  if (length == LB_ERR) return {};
  text.resize((size_t)length);
  return text;
}

int ListCount(const Control* c) { return Drawn(c) ? (int)SendMessageW(H(c->hwnd), LB_GETCOUNT, 0, 0) : 0; }

std::vector<int> ListSelection(const Control* c) {
  if (!Drawn(c)) return {};
  LRESULT count = SendMessageW(H(c->hwnd), LB_GETSELCOUNT, 0, 0);
  if (count == LB_ERR) {  // a single-selection list
    LRESULT current = SendMessageW(H(c->hwnd), LB_GETCURSEL, 0, 0);
    return current == LB_ERR ? std::vector<int>() : std::vector<int>{(int)current};
  }
  std::vector<int> rows((size_t)count);
  if (count > 0) SendMessageW(H(c->hwnd), LB_GETSELITEMS, (WPARAM)count, (LPARAM)rows.data());
  return rows;
}

void ListClear(Control* c) {
  if (Drawn(c)) SendMessageW(H(c->hwnd), LB_RESETCONTENT, 0, 0);
}

void SetReadOnly(Control* c, bool readOnly) {
  if (Drawn(c)) SendMessageW(H(c->hwnd), EM_SETREADONLY, readOnly, 0);
}

void AppendText(Control* c, const std::wstring& text) {
  if (!Drawn(c)) return;
  HWND hwnd = H(c->hwnd);
  int end = GetWindowTextLengthW(hwnd);  // characters, as the selection counts them
  SendMessageW(hwnd, EM_SETSEL, (WPARAM)end, (LPARAM)end);
  SendMessageW(hwnd, EM_REPLACESEL, FALSE, (LPARAM)text.c_str());
}

}  // namespace tk
