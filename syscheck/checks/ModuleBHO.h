// The browser helper objects check: every object registered for the browser.
#pragma once

namespace ModuleBHO {

// One subkey per class identifier, under the machine's key.
extern const wchar_t kBrowserHelperObjects[];

// Asks about each registered object; CLEAN removes its subkey with everything under it.
void CheckBrowserHelperObjects();

}  // namespace ModuleBHO
