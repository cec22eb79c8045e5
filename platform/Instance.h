// One copy of the program per user session: the first copy claims a name, a
// later one hands over to it and ends.
#pragma once
#include <cstdint>
#include <string>

namespace Instance {

// True for the first copy that claims `name` in this session; the claim lasts
// as long as the process.
bool ClaimFirst(const std::wstring& name);
// Lets the copy owning the top-level window `caption` come to the front and
// posts it the message; false when no other process has such a window.
bool PostToRunningCopy(const std::wstring& caption, unsigned message, uintptr_t wParam, intptr_t lParam);

}  // namespace Instance
