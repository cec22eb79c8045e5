// Forms: loading, showing, hiding and unloading them, their window procedures,
// the modal loops, DoEvents and the program's end. Controls are made in
// ToolkitControls.cpp and ToolkitBoxes.cpp, message boxes in Dialogs.cpp.
#include "platform/Toolkit.h"

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cwchar>

#include "platform/ToolkitParts.h"

namespace tk {

static_assert(kWmSysCommand == WM_SYSCOMMAND && kWmLButtonDblClk == WM_LBUTTONDBLCLK, "message numbers");
static_assert(kScMinimize == SC_MINIMIZE && kScRestore == SC_RESTORE, "system commands");
static_assert(sizeof(intptr_t) == sizeof(LRESULT) && sizeof(uintptr_t) == sizeof(WPARAM) &&
                  sizeof(intptr_t) == sizeof(LPARAM) && sizeof(WindowProc) == sizeof(WNDPROC),
              "WindowProc has the platform's window-procedure signature");

namespace {

const wchar_t kFormClass[] = L"ZorvaneForm";

std::wstring g_title;
std::vector<Form*> g_forms;  // the loaded forms, oldest first
bool g_ending;

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

}  // namespace

// A standard button (check box, option, push button) whose control has a MouseDown
// handler gives every press to it instead: the button neither takes the press nor
// changes its state on the release, so the handler alone decides.
LRESULT CALLBACK ButtonPressProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  Control* c = ControlOf(hwnd);
  if (!c || !c->MouseDown || !IsPress(message)) return DefSubclassProc(hwnd, message, wParam, lParam);
  c->MouseDown(MouseArgs(wParam, lParam, ButtonOf(message)));
  return 0;
}

namespace {

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

void ReleaseControls(Form& form) {
  for (auto& c : form.controls) {
    if (c->font) DeleteObject((HFONT)c->font);
    if (c->bitmap) DeleteObject((HBITMAP)c->bitmap);
    c->font = c->bitmap = nullptr;
    c->hwnd = nullptr;  // stale pointers held elsewhere become harmless
  }
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

}  // namespace tk
