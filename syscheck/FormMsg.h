// The detection prompt: the warning, three answers and an OK image.
#pragma once
#include <string>

#include "platform/Toolkit.h"

namespace FormMsg {

tk::Form& Get();
bool IsLoaded();
void Unload();
// The most of a warning the prompt shows: a longer one is shortened in the middle.
constexpr size_t kShownCharacters = 200;
// Sets the warning text, loading a fresh prompt if none is loaded.
void SetWarning(const std::wstring& warning);

extern tk::Control* LabelMsg;
extern tk::Control* OptionClean;
extern tk::Control* OptionSkip;
extern tk::Control* OptionAllow;
extern tk::Control* ImageOK[2];

}  // namespace FormMsg
