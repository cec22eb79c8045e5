// What a shortcut (.lnk) file starts: its target and arguments, read from the
// file's bytes by the published layout of shell links. The file is what anyone
// may write, so every length and offset is checked against the bytes there are.
#pragma once
#include <string>

namespace ModuleShortcut {

struct Shortcut {
  std::wstring target;     // the full path, environment variables expanded; "" when the link names none
  std::wstring arguments;  // as stored
};

// False for bytes that are no shell link, or one cut short before its strings end.
// A link naming its target only by a shell item list (no path) gives an empty
// target. `folder`: where the link lies, for a target given by a relative path.
bool Read(const std::string& bytes, const std::wstring& folder, Shortcut* shortcut);

}  // namespace ModuleShortcut
