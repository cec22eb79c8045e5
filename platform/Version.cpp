#include "platform/Version.h"

#include <windows.h>

#include <cstring>

#include "platform/Folders.h"
#include "platform/Text.h"

namespace Version {
namespace {

uint16_t Word(const std::string& block, size_t at) {
  uint16_t value;
  memcpy(&value, block.data() + at, 2);
  return value;
}

size_t Align4(size_t at) { return (at + 3) & ~size_t(3); }

// The system reads a text value up to its NUL: it must find one before the node ends.
bool TextEnds(const std::string& block, size_t at, size_t nodeEnd) {
  for (; at + 2 <= nodeEnd; at += 2)
    if (Word(block, at) == 0) return true;
  return false;
}

// One node: length, value length, type, a NUL-terminated UTF-16 key, the value,
// then child nodes up to the node's length; all inside [begin, end).
bool NodeWellFormed(const std::string& block, size_t begin, size_t end, int depth) {
  if (depth > 8 || end - begin < 6) return false;
  size_t length = Word(block, begin);
  if (length < 6 || length > end - begin) return false;
  size_t nodeEnd = begin + length;
  size_t at = begin + 6;
  for (;; at += 2) {  // the key
    if (at + 2 > nodeEnd) return false;
    if (Word(block, at) == 0) break;
  }
  at = Align4(at + 2);
  if (at > nodeEnd) return false;
  size_t valueLength = Word(block, begin + 2);
  bool text = Word(block, begin + 4) != 0;  // the system takes any other type for text
  size_t valueBytes = text ? valueLength * 2 : valueLength;
  if (valueBytes > nodeEnd - at) {
    // Some compilers count text in bytes. The system reads such a value and, placing
    // the children after twice that length, past the node, visits none of them.
    if (!text || valueLength > nodeEnd - at) return false;
    return TextEnds(block, at, nodeEnd);
  }
  if (text && valueLength > 0 && !TextEnds(block, at, nodeEnd)) return false;
  at = Align4(at + valueBytes);
  while (at + 6 <= nodeEnd) {
    size_t childLength = Word(block, at);
    if (childLength == 0) break;  // padding
    if (!NodeWellFormed(block, at, nodeEnd, depth + 1)) return false;
    at = Align4(at + childLength);
  }
  return true;
}

}  // namespace

bool ReadBlock(const std::wstring& path, std::string* block) {
  std::string ansi = Text::ToAnsi(path);
  bool ansiFits = Folders::FitsAnsiCalls(path);
  std::wstring wide = L"\\\\?\\" + path;
  DWORD ignored = 0;
  DWORD size =
      ansiFits ? GetFileVersionInfoSizeA(ansi.c_str(), &ignored) : GetFileVersionInfoSizeW(wide.c_str(), &ignored);
  if (size < 1) return false;
  std::string buffer(size, '\0');
  BOOL ok = ansiFits ? GetFileVersionInfoA(ansi.c_str(), 0, size, &buffer[0])
                     : GetFileVersionInfoW(wide.c_str(), 0, size, &buffer[0]);
  if (!ok) return false;
  block->swap(buffer);
  return true;
}

bool WellFormed(const std::string& block) {
  if (block.size() < 6) return false;
  size_t length = Word(block, 0);
  if (length > block.size()) return false;
  return NodeWellFormed(block, 0, length, 0);
}

bool Query(const std::string& block, const std::wstring& subBlock, size_t* offset, size_t* available) {
  if (!WellFormed(block)) return false;
  void* value = nullptr;
  UINT length = 0;
  // The wide query hands out text as stored: the ANSI one would best-fit a
  // look-alike publisher ("Mıcrosoft") into the real name.
  if (!VerQueryValueW(block.data(), subBlock.c_str(), &value, &length) || !value) return false;
  const char* start = block.data();
  const char* at = static_cast<const char*>(value);
  if (at < start || at > start + block.size()) return false;
  *offset = (size_t)(at - start);
  *available = block.size() - *offset;
  return true;
}

}  // namespace Version
