// What the toolkit's own files share: handles, the window class of its own
// controls, and making a control. Only the toolkit's .cpp files include it; the
// face the program sees is platform/Toolkit.h.
#pragma once
#include <windows.h>

#include <string>

#include "platform/Toolkit.h"

namespace tk {

inline HWND H(const void* hwnd) { return static_cast<HWND>(const_cast<void*>(hwnd)); }
inline HINSTANCE Instance() { return GetModuleHandleA(nullptr); }
inline bool Drawn(const Control* c) { return c && c->hwnd; }

// Labels, images, panels and timers are windows of this class.
inline constexpr wchar_t kControlClass[] = L"ZorvaneControl";

// Gives every press on a standard button with a MouseDown handler to the handler.
LRESULT CALLBACK ButtonPressProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR);

// A control of the form (inside `container` when given), with its window made.
Control* Add(Form& form, Control* container, Kind kind, const std::wstring& name, int index, const wchar_t* cls,
             DWORD style, DWORD exStyle, const std::wstring& caption, int x, int y, int width, int height);
HBITMAP LoadResourceBitmap(const std::string& name);

}  // namespace tk
