#include "syscheck/checks/ModuleShortcut.h"

#include <cstdint>
#include <cstring>

#include "platform/System.h"
#include "platform/Text.h"

namespace ModuleShortcut {
namespace {

constexpr uint32_t kHeaderSize = 0x4C;
const unsigned char kLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                      0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

enum : uint32_t {
  kHasIdList = 0x1,
  kHasLinkInfo = 0x2,
  kHasName = 0x4,
  kHasRelativePath = 0x8,
  kHasWorkingDir = 0x10,
  kHasArguments = 0x20,
  kHasIconLocation = 0x40,
  kIsUnicode = 0x80,
  kHasExpString = 0x200,
};
constexpr uint32_t kEnvironmentBlock = 0xA0000001;
constexpr uint32_t kEnvironmentBlockSize = 0x314;

// Bounds-checked reads of little-endian fields.
struct Bytes {
  const std::string& data;
  bool U16(size_t at, uint32_t* value) const {
    if (at > data.size() || data.size() - at < 2) return false;
    *value = (unsigned char)data[at] | ((unsigned char)data[at + 1] << 8);
    return true;
  }
  bool U32(size_t at, uint32_t* value) const {
    uint32_t low = 0, high = 0;
    if (!U16(at, &low) || !U16(at + 2, &high)) return false;
    *value = low | (high << 16);
    return true;
  }
  // A NUL-ended string from `at` to no further than `end`.
  std::wstring Ansi(size_t at, size_t end) const {
    if (at >= end || end > data.size()) return {};
    size_t nul = data.find('\0', at);
    return Text::FromAnsi(data.substr(at, (nul == std::string::npos || nul > end ? end : nul) - at));
  }
  std::wstring Wide(size_t at, size_t end) const {
    std::wstring text;
    uint32_t unit = 0;
    for (size_t i = at; i + 2 <= end && U16(i, &unit) && unit; i += 2) text += (wchar_t)unit;
    return text;
  }
};

// LinkInfo: the local path (or share) and the common suffix, in Unicode where the
// link carries it.
std::wstring LinkInfoTarget(const Bytes& in, size_t start, size_t end) {
  uint32_t headerSize = 0, flags = 0, localOffset = 0, networkOffset = 0, suffixOffset = 0;
  if (!in.U32(start + 4, &headerSize) || !in.U32(start + 8, &flags) || !in.U32(start + 16, &localOffset) ||
      !in.U32(start + 20, &networkOffset) || !in.U32(start + 24, &suffixOffset))
    return {};
  uint32_t localWide = 0, suffixWide = 0;
  bool wide = headerSize >= 0x24 && in.U32(start + 28, &localWide) && in.U32(start + 32, &suffixWide);
  std::wstring suffix = wide && suffixWide ? in.Wide(start + suffixWide, end) : in.Ansi(start + suffixOffset, end);
  if (flags & 1) {
    std::wstring base = wide && localWide ? in.Wide(start + localWide, end) : in.Ansi(start + localOffset, end);
    return base + suffix;
  }
  if (!(flags & 2)) return {};
  size_t link = start + networkOffset;
  uint32_t nameOffset = 0, nameWide = 0;
  if (!in.U32(link + 8, &nameOffset)) return {};
  std::wstring share = nameOffset > 0x14 && in.U32(link + 20, &nameWide) && nameWide ? in.Wide(link + nameWide, end)
                                                                                     : in.Ansi(link + nameOffset, end);
  if (share.empty()) return {};
  return suffix.empty() ? share : share + L"\\" + suffix;
}

// The StringData strings, in the order the flags give them: a count of characters,
// then the characters. A NUL inside ends the text, as it would for the program started.
bool ReadString(const Bytes& in, bool unicode, size_t* at, std::wstring* text) {
  uint32_t count = 0;
  if (!in.U16(*at, &count)) return false;
  size_t size = count * (unicode ? 2 : 1), from = *at + 2;
  if (in.data.size() - from < size) return false;
  *text = unicode ? in.Wide(from, from + size) : in.Ansi(from, from + size);
  *at = from + size;
  return true;
}

// The environment-variable block names the target the way Windows starts it.
std::wstring ExpandedTarget(const Bytes& in, size_t at) {
  uint32_t size = 0, signature = 0;
  while (in.U32(at, &size) && size >= 8 && in.U32(at + 4, &signature)) {
    if (signature == kEnvironmentBlock && size == kEnvironmentBlockSize) {
      std::wstring target = in.Wide(at + 8 + 260, at + size);
      if (target.empty()) target = in.Ansi(at + 8, at + 8 + 260);
      return System::ExpandEnvironment(target);
    }
    if (in.data.size() - at < size) break;
    at += size;
  }
  return {};
}

}  // namespace

bool Read(const std::string& data, const std::wstring& folder, Shortcut* shortcut) {
  Bytes in{data};
  uint32_t headerSize = 0, flags = 0;
  if (!in.U32(0, &headerSize) || headerSize != kHeaderSize || data.size() < kHeaderSize ||
      memcmp(data.data() + 4, kLinkClsid, sizeof kLinkClsid) != 0 || !in.U32(0x14, &flags))
    return false;
  size_t at = kHeaderSize;
  uint32_t size = 0;
  if (flags & kHasIdList) {
    if (!in.U16(at, &size)) return false;
    at += 2 + size;
  }
  std::wstring target;
  if (flags & kHasLinkInfo) {
    if (!in.U32(at, &size) || size < 4 || data.size() - at < size) return false;
    target = LinkInfoTarget(in, at, at + size);
    at += size;
  }
  std::wstring strings[5];
  const uint32_t kinds[5] = {kHasName, kHasRelativePath, kHasWorkingDir, kHasArguments, kHasIconLocation};
  for (int i = 0; i < 5; i++)
    if ((flags & kinds[i]) && !ReadString(in, (flags & kIsUnicode) != 0, &at, &strings[i])) return false;
  std::wstring expanded = (flags & kHasExpString) ? ExpandedTarget(in, at) : std::wstring();
  if (!expanded.empty()) target = expanded;
  if (target.empty() && !strings[1].empty()) target = folder + L"\\" + strings[1];
  Shortcut read;
  read.target = target;
  read.arguments = strings[3];
  *shortcut = std::move(read);
  return true;
}

}  // namespace ModuleShortcut
