// The message box and the single-line input box.
#include <windows.h>

#include "platform/Toolkit.h"

namespace tk {
namespace {

UINT IconStyle(Icon icon) {
  switch (icon) {
    case Icon::Exclamation: return MB_ICONEXCLAMATION;
    case Icon::Error: return MB_ICONERROR;
    case Icon::Information: return MB_ICONINFORMATION;
    default: return 0;
  }
}

struct InputState {
  Form form;
  Control* text = nullptr;
  std::wstring promptText;
  std::wstring result;
};

}  // namespace

// The owner is disabled while the box waits, even when it is hidden in the tray.
void MsgBox(Form& owner, const std::wstring& prompt, Icon icon, const std::wstring& title) {
  if (Ending()) return;
  const std::wstring& caption = title.empty() ? ApplicationTitle() : title;
  MessageBoxW(owner.loaded ? (HWND)owner.hwnd : nullptr, prompt.c_str(), caption.c_str(), MB_OK | IconStyle(icon));
}

bool AskYesNo(Form& owner, const std::wstring& prompt, const std::wstring& title) {
  if (Ending()) return false;
  const std::wstring& caption = title.empty() ? ApplicationTitle() : title;
  HWND hwnd = owner.loaded ? (HWND)owner.hwnd : nullptr;
  return MessageBoxW(hwnd, prompt.c_str(), caption.c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

std::wstring InputBox(Form& owner, const std::wstring& prompt, const std::wstring& title,
                      const std::wstring& defaultText) {
  InputState state;
  Form& form = state.form;
  form.name = L"InputBox";
  form.caption = title.empty() ? ApplicationTitle() : title;
  form.width = 360;
  form.height = 120;
  form.Design = [&state](Form& f) {
    AddLabel(f, nullptr, L"LabelPrompt", state.promptText, 12, 10, 260, 60);
    Control* ok = AddButton(f, nullptr, L"CommandOK", L"确定", 280, 10, 68, 24);
    Control* cancel = AddButton(f, nullptr, L"CommandCancel", L"取消", 280, 40, 68, 24);
    state.text = AddText(f, nullptr, L"TextInput", 12, 84, 336, 22, TextLines::One);
    ok->Click = [&state]() {
      state.result = Caption(state.text);
      Unload(state.form);
    };
    cancel->Click = [&state]() {
      state.result.clear();
      Unload(state.form);
    };
  };
  state.promptText = prompt;
  Load(form);
  SetCaption(state.text, defaultText);
  if (state.text && state.text->hwnd) {
    SetFocus((HWND)state.text->hwnd);
    SendMessageW((HWND)state.text->hwnd, EM_SETSEL, 0, -1);
  }
  ShowModal(form, &owner);
  Unload(form);
  return state.result;
}

}  // namespace tk
