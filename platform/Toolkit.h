// The window toolkit: forms with named controls and event handlers, one modal
// loop, DoEvents, message and input boxes. Every control is a real child
// window whose window text is its caption, so automation can find it. The
// windows are Unicode: text is shown and read back as it is, whatever the code page.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tk {

enum class Kind { Label, Image, Picture, Text, List, Check, Option, Button, Timer };
enum class Icon { None, Information, Exclamation, Error };

// Mouse event arguments. Button: 1 left, 2 right, 4 middle. Shift: 1 Shift,
// 2 Ctrl, 4 Alt. Position in pixels within the control.
struct Mouse {
  int button = 0;
  int shift = 0;
  int x = 0;
  int y = 0;
};

struct Form;

struct Control {
  Kind kind = Kind::Label;
  std::wstring name;
  int index = -1;  // position in a control array, -1 for a single control
  Form* form = nullptr;
  Control* container = nullptr;  // the panel holding it, or none
  void* hwnd = nullptr;          // null once the form is unloaded
  int id = 0;

  unsigned long foreColor = 0;  // 0x00BBGGRR
  std::wstring fontName = L"宋体";
  int fontSize = 9;
  bool underline = false;
  bool bold = false;
  void* font = nullptr;
  void* bitmap = nullptr;
  void* cursor = nullptr;
  unsigned interval = 0;
  bool timerEnabled = false;

  // A list's Click comes with every change of its selection.
  std::function<void()> Click;
  // Any mouse button. Set on a check box, option or button, it takes every press
  // there: the control itself then never changes state under the mouse.
  std::function<void(const Mouse&)> MouseDown;
  std::function<void(const Mouse&)> MouseMove;
  std::function<void()> Timer;
  // Files dropped from the shell, once AcceptFiles was called for the control.
  std::function<void(const std::vector<std::wstring>& paths)> FilesDropped;
};

struct Form {
  std::wstring name;
  std::wstring caption;
  int width = 0;  // client area, pixels
  int height = 0;
  std::string background;  // built-in bitmap resource, may be empty
  std::string icon;        // icon resource, may be empty
  unsigned long backColor = 0x00F0F0F0;
  bool minimizeBox = false;
  bool closeBox = true;
  bool toolWindow = false;  // small caption, no taskbar button
  bool titleBar = true;     // false: a dialog frame without caption text

  std::function<void(Form&)> Design;  // creates the controls at load
  std::function<void()> Load;
  std::function<void()> Unload;
  std::function<void(const Mouse&)> MouseMove;
  // A request to close (close box, Alt+F4, WM_CLOSE from anywhere): true keeps the
  // form. Unload calls and the program's end do not ask.
  std::function<bool()> QueryUnload;

  // Run-time state, owned by the toolkit.
  void* hwnd = nullptr;
  void* picture = nullptr;  // background loaded from a file
  void* menu = nullptr;
  void* tooltip = nullptr;
  bool loaded = false;
  bool unloading = false;
  std::vector<std::unique_ptr<Control>> controls;
  std::vector<std::pair<int, std::function<void()>>> menuCommands;
};

// Pixels from the twips used in the window designs.
constexpr int Twips(int twips) { return twips / 15; }

void SetApplicationTitle(const std::wstring& title);
const std::wstring& ApplicationTitle();

// --- form life cycle ---
void Load(Form& form);  // creates the window and runs Load, once
void Show(Form& form);
void ShowModal(Form& form, Form* owner);  // returns when the form is hidden or unloaded
void Hide(Form& form);                    // a hidden window has no taskbar button either
void Unload(Form& form);                  // runs Unload; nothing when not loaded
bool IsShown(const Form& form);
// Repaints the whole window now.
void RefreshForm(Form& form);
bool SetPicture(Form& form, const std::wstring& bitmapFile);
void* IconHandle(const Form& form);
// Runs the message loop until no form is loaded.
int Run();
// Handles pending messages; false once the program is ending.
bool DoEvents();

// --- the program's end ---
// Unloads every loaded form, newest first (each runs its Unload), and ends the
// program: from here on no form loads or shows again, modal loops and message
// boxes return at once, and the message loop ends.
void EndProgram();
// True from EndProgram, the session's end or the last form's unload on.
bool Ending();
// Lets forms load again after an end; for programs that host the forms more than
// once in one process (the in-process tests).
void ResetEnding();

// --- replacing a form's window procedure ---
// The platform's window-procedure signature (WNDPROC), without its headers.
using WindowProc = intptr_t(__stdcall*)(void* hwnd, unsigned message, uintptr_t wParam, intptr_t lParam);
// Message numbers a replacement procedure looks at.
constexpr unsigned kWmSysCommand = 0x0112;
constexpr unsigned kWmLButtonDblClk = 0x0203;
constexpr uintptr_t kScMinimize = 0xF020;
constexpr uintptr_t kScRestore = 0xF120;
// Puts `procedure` in place of the form's window procedure and returns the one
// it replaced (null when the form has no window). The returned value may be a
// handle rather than an address: call it only through CallPreviousProc, and
// pass it back here to put it in place again. The replacement is installed as an
// ANSI procedure, which makes the form an ANSI window until the old one is back:
// the form's own text messages (its caption) then pass through the code page;
// its controls are windows of their own and keep every character.
WindowProc ReplaceWindowProc(Form& form, WindowProc procedure);
intptr_t CallPreviousProc(WindowProc previous, void* hwnd, unsigned message, uintptr_t wParam, intptr_t lParam);
// True when the message tells a hidden window that it is being shown, however
// that happens (a restore of a hidden minimized window sends no WM_SHOWWINDOW).
bool IsBeingShown(unsigned message, uintptr_t wParam, intptr_t lParam);
// Sends a message to the form's own window; returns once it has been handled.
intptr_t SendToForm(Form& form, unsigned message, uintptr_t wParam, intptr_t lParam);

// --- controls (created inside Design) ---
Control* AddLabel(Form& form, Control* container, const std::wstring& name, const std::wstring& caption, int x, int y,
                  int width, int height);
// `caption` names what the image does (a button's action) for automation and screen
// readers; only the bitmap is drawn.
Control* AddImage(Form& form, Control* container, const std::wstring& name, int index, const std::string& bitmap, int x,
                  int y, const std::wstring& caption = std::wstring());
Control* AddPicture(Form& form, const std::wstring& name, const std::string& bitmap, int x, int y, int width,
                    int height);
// One line; several lines that wrap at the box's width; or several lines kept
// whole, with a horizontal scroll bar: lines appended to such a box cost the
// same however many it holds, as no line is ever laid out again.
enum class TextLines { One, Wrapped, Whole };
Control* AddText(Form& form, Control* container, const std::wstring& name, int x, int y, int width, int height,
                 TextLines lines);
// `multiSelect`: rows are picked with Shift and Ctrl as in a file list.
Control* AddList(Form& form, Control* container, const std::wstring& name, int x, int y, int width, int height,
                 bool multiSelect = false);
Control* AddCheck(Form& form, Control* container, const std::wstring& name, const std::wstring& caption, int x, int y,
                  int width, int height);
Control* AddOption(Form& form, Control* container, const std::wstring& name, const std::wstring& caption, int x, int y,
                   int width, int height, bool firstOfGroup);
Control* AddButton(Form& form, Control* container, const std::wstring& name, const std::wstring& caption, int x, int y,
                   int width, int height);
Control* AddTimer(Form& form, const std::wstring& name);
// Menus: a top-level menu, then items; a caption "-" is a separator.
void* AddMenu(Form& form, const std::wstring& caption);
void AddMenuItem(Form& form, void* menu, int id, const std::wstring& caption, std::function<void()> command);

// --- control properties ---
void SetCaption(Control* c, const std::wstring& caption);
std::wstring Caption(const Control* c);
void SetForeColor(Control* c, unsigned long color);
void SetUnderline(Control* c, bool underline);
void Refresh(Control* c);  // repaint now
void SetVisible(Control* c, bool visible);
bool Visible(const Control* c);  // the control's own flag
void Move(Control* c, int left, int top);
int Left(const Control* c);
int Top(const Control* c);
void SetEnabled(Control* c, bool enabled);
bool Enabled(const Control* c);
bool Value(const Control* c);  // check box or option button
void SetValue(Control* c, bool value);
void SetTimer(Control* c, unsigned interval, bool enabled);
bool SetFontName(Control* c, const std::wstring& name);  // false for controls without a font
bool SetFontSize(Control* c, int points);
void SetCursor(Control* c, const std::string& cursorResource);
void SetToolTip(Control* c, const std::wstring& text);
// Lets the shell drop files on a label, image or panel. A panel takes them for every
// control inside it too: the system hands a drop to the nearest window up the parent
// chain that accepts files.
void AcceptFiles(Control* c);
// List boxes.
void ListAdd(Control* c, const std::wstring& item);
void ListRemove(Control* c, int index);
std::wstring ListItem(const Control* c, int index);
int ListCount(const Control* c);
// The selected rows, in ascending order.
std::vector<int> ListSelection(const Control* c);
void ListClear(Control* c);
// Text boxes: append at the end without rewriting the whole text.
void AppendText(Control* c, const std::wstring& text);
// A read-only box shows its text, which can be selected and copied, not changed.
void SetReadOnly(Control* c, bool readOnly);

// --- dialogs, owned by the form that raises them (disabled while they wait) ---
void MsgBox(Form& owner, const std::wstring& prompt, Icon icon, const std::wstring& title = std::wstring());
// A question with the buttons 是 and 否; true for 是. False at once when the program is ending.
bool AskYesNo(Form& owner, const std::wstring& prompt, const std::wstring& title = std::wstring());
// One line of text; empty when cancelled.
std::wstring InputBox(Form& owner, const std::wstring& prompt, const std::wstring& title,
                      const std::wstring& defaultText);

}  // namespace tk
