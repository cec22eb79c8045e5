// What the file module's own .cpp files share; nothing else includes it.
#pragma once
#include <windows.h>

#include <string>

namespace Files {

// Opens a disk file for reading, shared with writers and deleters, by its literal
// path; anything else (a device, a pipe, a path in the device namespace) gives an
// invalid handle with kNotAFile as the last error.
HANDLE OpenForReading(const std::wstring& path);
// Writes all the bytes at the file's current position.
bool WriteAll(HANDLE file, const std::string& bytes);

}  // namespace Files
