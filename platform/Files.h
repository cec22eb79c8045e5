// File facilities: a file's first bytes or any of them, the quoted-text list format, and
// replacing a text file safely. Paths are UTF-16; the files hold ANSI text.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/ScopedHandle.h"

namespace Files {

// The error of a path that names no file but a device or a pipe: its reads could
// block for ever. The customer bit keeps it apart from every system code.
constexpr unsigned long kNotAFile = 0x20000000 | 1;
// The full \\?\ form of a file path (\\?\UNC\... for a share), under which the file
// calls never take the last name for a device (CON, NUL, COM1.dll, ...): only the
// folder part is made full, the name is kept as written. False for a path of the
// device namespace (\\.\..., \\?\ before anything but a drive or UNC\), and for one
// the system cannot make full.
bool LiteralPath(const std::wstring& path, std::wstring* literal);
// One name of a file in a folder: not empty, "." or "..", no separator, stream,
// wildcard or control character.
bool IsPlainName(const std::wstring& name);
// Whether Windows takes the name for a device, whatever its extension.
bool IsDeviceName(const std::wstring& name);

// Reads at most `maxBytes` from the start of a file, opened for reading only and
// shared with writers and deleters. Only a file on a disk is read: a path of the
// device namespace is never opened, a device or pipe that a link leads to is closed
// unread, and a device's name where no file of that name exists is no file either
// (error kNotAFile). False when the file cannot be opened or read; then `error`,
// when given, holds the system's error code.
bool ReadHead(const std::wstring& path, size_t maxBytes, std::string* bytes, unsigned long* error = nullptr);
// A file opened as ReadHead opens it, at its first read, and read anywhere while it
// lives: each read after the first costs a fraction of opening the file again.
class Reader {
 public:
  explicit Reader(const std::wstring& path) : path_(path) {}
  // At most `maxBytes` from `offset` on: fewer, or none, where the file ends first.
  bool ReadAt(uint64_t offset, size_t maxBytes, std::string* bytes, unsigned long* error = nullptr);
  // The file's size in bytes; false when it cannot be opened or asked.
  bool Size(uint64_t* size);

 private:
  // Opens the file at the first call; false when it cannot be opened.
  bool Open();
  std::wstring path_;
  ScopedHandle file_{nullptr};
};
// A list of double-quoted entries ("" inside one stands for a quote), one a line.
// An entry the code page cannot carry as it is (a character outside it, a line
// break, a literal "&#") is written with Text::Escape and marked with one "&" after
// its closing quote: older readers discard that rest and match nothing with it.
//
// The longest line in file units (bytes, or UTF-16 units) an entry the program
// writes can take: a registry value of up to 1M UTF-16 units, each escaped in at
// most 8 units. Longer lines are skipped unread, so a hostile file cannot exhaust
// memory or hide the entries after it.
constexpr size_t kMaxListLine = 8 * 1024 * 1024 + 16;
// Calls `visit` with each entry in turn until it answers false, reading the file
// as a stream with no size limit. A UTF-8 or UTF-16 (LE/BE) byte-order mark sets
// the encoding, else the ANSI code page. Damaged entries (a quoted text without its
// closing quote, a marked one with a malformed escape) are passed over. False when
// the file cannot be opened or read.
bool ForEachQuotedField(const std::wstring& path, const std::function<bool(const std::wstring&)>& visit);
// Every entry; false, with the fields untouched, when the file cannot be read.
bool ReadQuotedFields(const std::wstring& path, std::vector<std::wstring>* fields);
// The entries of a whole file's bytes; exposed for the tests of damaged files.
std::vector<std::wstring> ParseQuotedFields(const std::string& fileBytes);
// Appends one entry line in the list's own encoding, creating the file as ANSI. A
// damaged last line without its line break gets one first, so the new entry always
// stands on a line of its own. On failure nothing is added and `error` holds the
// system's error code (ERROR_INVALID_DATA: a UTF-16 list of an odd length;
// ERROR_INVALID_PARAMETER: an entry longer than kMaxListLine).
bool AppendQuotedLine(const std::wstring& path, const std::wstring& text, unsigned long* error);
// Writes the text in the ANSI code page through a temporary file in the same
// folder that is then moved over the target: a failure leaves the old file whole.
// On failure `error` holds the system's error code.
bool ReplaceWithText(const std::wstring& path, const std::wstring& text, unsigned long* error);
// The same with the bytes as they are.
bool ReplaceWithBytes(const std::wstring& path, const std::string& bytes, unsigned long* error);
// The same with Text::Escape's visible escapes (line breaks and tabs kept), so no
// character is lost or changed on its way into the file.
bool ReplaceWithEscapedText(const std::wstring& path, const std::wstring& text, unsigned long* error);
// The path names a file on a disk, opened as ReadHead opens it.
bool IsDiskFile(const std::wstring& path);
// The path lies on a removable drive or a network share (a UNC path, or a drive
// letter the system reported as either in the last few seconds).
bool OnRemovableOrNetworkDrive(const std::wstring& path);
bool FolderExists(const std::wstring& path);
// A file or folder of that name exists.
bool Exists(const std::wstring& path);
// A file (not a folder) of that name exists.
bool FileExists(const std::wstring& path);
// The full path as the system resolves it ("." and ".." gone), its short (8.3)
// names in their long form where the file exists; the path as given where it
// cannot be resolved. A relative path is taken from the current folder.
std::wstring LongPath(const std::wstring& path);
// The path made full against the current folder; false when the system cannot.
bool FullPath(const std::wstring& path, std::wstring* full);
// This process may create files in the folder: one is made and deleted again.
bool CanWriteIn(const std::wstring& folder);
// Makes the folder unless it is there already; false when there is none after.
bool CreateFolder(const std::wstring& path);
// Deletes one file; on failure `error` holds the system's error code.
bool Remove(const std::wstring& path, unsigned long* error);

// While it lives, this thread's file calls reach the real System32 of 64-bit
// Windows instead of SysWOW64; nothing on 32-bit Windows, nor in the 64-bit build,
// which is never redirected. Keep it around listings and reads only: a library
// loaded meanwhile would be the 64-bit one.
class RealSystemFolder {
 public:
  RealSystemFolder();
  ~RealSystemFolder();
  RealSystemFolder(const RealSystemFolder&) = delete;
  RealSystemFolder& operator=(const RealSystemFolder&) = delete;

 private:
  void* former_ = nullptr;
  bool off_ = false;
};
// The name under which the calls that load libraries (the version lookup) reach
// the file `path` names in the real System32: <Windows>\Sysnative\... for the
// 32-bit build on 64-bit Windows; any other path (and every path of the 64-bit
// build) is its own.
std::wstring RealSystemAlias(const std::wstring& path);

}  // namespace Files
