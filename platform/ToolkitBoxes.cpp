// Text boxes and lists: making them, appending, reading rows and selections.
#include "platform/ToolkitParts.h"

namespace tk {
namespace {

DWORD TextStyle(TextLines lines) {
  switch (lines) {
    case TextLines::One: return ES_AUTOHSCROLL;
    case TextLines::Wrapped: return ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL;
    case TextLines::Whole: return ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | WS_VSCROLL | WS_HSCROLL;
  }
  return ES_AUTOHSCROLL;
}

}  // namespace

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
