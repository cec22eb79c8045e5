#include "platform/Version.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/Files.h"
#include "platform/Text.h"

namespace Version {
namespace {

uint16_t Word(const char* at) {
  uint16_t value;
  memcpy(&value, at, 2);
  return value;
}

uint32_t Dword(const char* at) {
  uint32_t value;
  memcpy(&value, at, 4);
  return value;
}

uint16_t Word(const std::string& block, size_t at) { return Word(block.data() + at); }

size_t Align4(size_t at) { return (at + 3) & ~size_t(3); }

uint64_t AlignUp(uint64_t at, uint64_t to) { return (at + to - 1) / to * to; }

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

// Bytes beyond the head come a window at a time: the headers, or a resource tree
// and a small block, in one read.
constexpr size_t kWindowBytes = 8192;
constexpr uint32_t kLargestBlock = 1 << 20;
// As many sections as the oldest loaders take; a hostile count would make a large read.
constexpr size_t kMostSections = 96;
// The high bit of an entry's target marks a subdirectory, that of its name a string.
constexpr uint32_t kSubdirectory = 0x80000000, kNamed = 0x80000000;
constexpr uint16_t kVersionType = 16, kVersionName = 1;

// A file's bytes: the head already read, and one window read on demand beyond it.
class FileBytes {
 public:
  FileBytes(const std::wstring& path, const std::string& head, bool wholeFile)
      : reader_(path), head_(head), end_(wholeFile ? head.size() : kUnknownEnd) {}
  // `length` bytes at `offset`, valid until the next call; null where the file ends first.
  const char* At(uint64_t offset, size_t length) {
    if (offset + length <= head_.size()) return head_.data() + offset;
    if (offset + length > end_) return nullptr;
    if (offset >= windowAt_ && offset + length <= windowAt_ + window_.size())
      return window_.data() + (offset - windowAt_);
    std::string bytes;
    size_t wanted = std::max(length, kWindowBytes);
    if (!reader_.ReadAt(offset, wanted, &bytes)) return nullptr;
    if (bytes.size() < wanted) end_ = std::min(end_, offset + bytes.size());  // a short read stops at the end
    if (bytes.size() < length) return nullptr;
    window_.swap(bytes);
    windowAt_ = offset;
    return window_.data();
  }
  // Whether the file ends before `length` bytes at `offset`; asks its size when no read so far has shown it.
  bool EndsBefore(uint64_t offset, size_t length) {
    if (offset + length <= head_.size()) return false;
    uint64_t size = 0;
    if (end_ == kUnknownEnd && reader_.Size(&size)) end_ = size;
    return offset + length > end_;
  }
  // What bytes that could not be read say: none when the file ends before them,
  // else only the system can tell.
  Answer Missing(uint64_t offset, size_t length) {
    return EndsBefore(offset, length) ? Answer::kNone : Answer::kAskSystem;
  }

 private:
  static constexpr uint64_t kUnknownEnd = ~uint64_t(0);
  Files::Reader reader_;
  const std::string& head_;
  std::string window_;
  uint64_t windowAt_ = 0;
  uint64_t end_;  // no byte of the file lies at or past it
};

struct Section {
  uint32_t va, virtualSize, rawSize, rawPointer;
};

// Where a section's bytes are the file's whichever way a system maps it: inside
// both its raw data and its virtual size, from raw data placed on a 512-byte boundary.
uint64_t SureEnd(const Section& s) {
  if (s.rawPointer % 512) return s.va;
  uint32_t size = s.virtualSize && s.virtualSize < s.rawSize ? s.virtualSize : s.rawSize;
  return (uint64_t)s.va + size;
}

// The first section whose raw data holds `rva`, as the loaders pick it.
const Section* Holding(const std::vector<Section>& sections, uint32_t rva) {
  for (const Section& s : sections)
    if (rva >= s.va && rva - s.va < s.rawSize) return &s;
  return nullptr;
}

struct Image {
  std::vector<Section> sections;
  uint32_t resourceVa = 0, resourceSize = 0;
};

// The sections, in rising order without overlaps: otherwise a loader that maps
// the image could see other bytes at an address than the file's.
bool ReadSections(FileBytes& bytes, uint64_t at, size_t count, Image* image) {
  const char* table = count && count <= kMostSections ? bytes.At(at, count * 40) : nullptr;
  if (!table) return false;
  for (size_t i = 0; i < count; i++) {
    const char* s = table + i * 40;
    image->sections.push_back({Dword(s + 12), Dword(s + 8), Dword(s + 16), Dword(s + 20)});
  }
  for (size_t i = 1; i < count; i++) {
    const Section& before = image->sections[i - 1];
    if (image->sections[i].va < (uint64_t)before.va + std::max(before.virtualSize, before.rawSize)) return false;
  }
  return true;
}

// The headers of a plain PE image (32- or 64-bit): kBlock when read, kNone when the
// file ends inside them (no system loads such an image), kAskSystem for anything else.
Answer ReadImage(FileBytes& bytes, Image* image) {
  const char* dos = bytes.At(0, 0x40);
  if (!dos) return Answer::kAskSystem;
  int32_t lfanew = (int32_t)Dword(dos + 0x3C);
  if (lfanew < 0x40) return Answer::kAskSystem;
  const char* nt = bytes.At(lfanew, 24);
  if (!nt) return bytes.Missing(lfanew, 24);
  if (memcmp(nt, "PE\0\0", 4) != 0) return Answer::kAskSystem;
  size_t sectionCount = Word(nt + 6), optionalSize = Word(nt + 20);
  if (optionalSize < 2) return Answer::kAskSystem;
  const char* optional = bytes.At(lfanew + 24, optionalSize);
  if (!optional) return bytes.Missing(lfanew + 24, optionalSize);
  size_t directories = Word(optional) == 0x10b ? 96 : Word(optional) == 0x20b ? 112 : 0;
  // The resource directory is the third; the count of directories precedes them.
  if (!directories || optionalSize < directories + 3 * 8 || Dword(optional + directories - 4) < 3)
    return Answer::kAskSystem;
  uint32_t alignment = Dword(optional + 32), headersSize = Dword(optional + 60);
  image->resourceVa = Dword(optional + directories + 16);
  image->resourceSize = Dword(optional + directories + 20);
  // Inside the headers a loader reads the tree at its address, not through a section.
  if (image->resourceVa && image->resourceVa < headersSize) return Answer::kAskSystem;
  uint64_t table = lfanew + 24 + optionalSize;
  if (!ReadSections(bytes, table, sectionCount, image)) {
    // A section table that runs past the file's end: the loaders refuse the image.
    bool cut = sectionCount <= kMostSections && bytes.EndsBefore(table, sectionCount * 40);
    return cut ? Answer::kNone : Answer::kAskSystem;
  }
  // The system maps the image only when the raw data of every section, as much of
  // it as the section's pages take, lies within the file counted in whole 512-byte
  // sectors; otherwise it finds no resource in it at all.
  for (const Section& s : image->sections) {
    uint64_t mapped = s.rawSize;
    if (s.virtualSize && alignment) mapped = std::min<uint64_t>(mapped, AlignUp(s.virtualSize, alignment));
    if (!s.rawPointer || !mapped) continue;
    uint64_t lastSector = AlignUp(s.rawPointer + mapped, 512) - 512;
    if (bytes.EndsBefore(lastSector, 1)) return Answer::kNone;
  }
  return Answer::kBlock;
}

// The resource tree, read only within its section's sure bytes and the size the headers give it.
struct Tree {
  FileBytes& bytes;
  const Image& image;
  const Section& home;
  uint64_t root;
  uint32_t size;
  const char* At(uint32_t offset, size_t length) {
    if (offset > size || length > size - offset) return nullptr;
    return bytes.At(root + offset, length);
  }
  // Whether those bytes lie past the file's end and at an address where no other
  // section's data is mapped: the system's search finds nothing there.
  bool PastTheFile(uint32_t offset, size_t length) {
    const Section* mapped = Holding(image.sections, image.resourceVa + offset);
    return (!mapped || mapped == &home) && bytes.EndsBefore(root + offset, length);
  }
  Answer Missing(uint32_t offset, size_t length) {
    return PastTheFile(offset, length) ? Answer::kNone : Answer::kAskSystem;
  }
};

// kPastEnd: the directory, or its entries, end past the file.
enum class Lookup { kFound, kAbsent, kOdd, kPastEnd };

// The ID entry `id` of the directory at `offset`, as a subdirectory or as data. Its
// IDs must rise strictly, so that every search finds what a search in halves finds;
// an entry of the other kind is odd: one system passes it over, another takes it.
Lookup FindId(Tree& tree, uint32_t offset, uint16_t id, bool subdirectory, uint32_t* target) {
  const char* dir = tree.At(offset, 16);
  if (!dir) return tree.PastTheFile(offset, 16) ? Lookup::kPastEnd : Lookup::kOdd;
  size_t named = Word(dir + 12), ids = Word(dir + 14);
  const char* entries = tree.At(offset + 16, (named + ids) * 8);
  if (!entries) return tree.PastTheFile(offset + 16, (named + ids) * 8) ? Lookup::kPastEnd : Lookup::kOdd;
  Lookup found = Lookup::kAbsent;
  for (size_t i = named; i < named + ids; i++) {
    uint32_t name = Dword(entries + i * 8);
    if (name > 0xFFFF || (i > named && name <= Dword(entries + i * 8 - 8))) return Lookup::kOdd;
    if (name != id) continue;
    *target = Dword(entries + i * 8 + 4);
    found = ((*target & kSubdirectory) != 0) == subdirectory ? Lookup::kFound : Lookup::kOdd;
  }
  return found;
}

// The names of the root's named types, kept: their text lies past the rest of the tree.
bool ReadTypeNames(Tree& tree, std::vector<uint32_t>* names) {
  const char* dir = tree.At(0, 16);
  size_t count = dir ? Word(dir + 12) : 0;
  const char* entries = dir ? tree.At(16, count * 8) : nullptr;
  if (!entries) return false;
  for (size_t i = 0; i < count; i++) names->push_back(Dword(entries + i * 8));
  return true;
}

// Whether one of the types is "MUI": newer systems then take the version text from
// a language file beside the image.
Lookup FindMuiType(Tree& tree, const std::vector<uint32_t>& names) {
  for (uint32_t name : names) {
    const char* length = (name & kNamed) ? tree.At(name & ~kNamed, 2) : nullptr;
    if (!length) return Lookup::kOdd;
    if (Word(length) != 3) continue;
    const char* text = tree.At((name & ~kNamed) + 2, 6);
    if (!text) return Lookup::kOdd;
    std::wstring type = {(wchar_t)Word(text), (wchar_t)Word(text + 2), (wchar_t)Word(text + 4)};
    if (Text::Upper(type) == L"MUI") return Lookup::kFound;
  }
  return Lookup::kAbsent;
}

Answer Settled(Lookup lookup) {
  return lookup == Lookup::kAbsent || lookup == Lookup::kPastEnd ? Answer::kNone : Answer::kAskSystem;
}

// Where the data of type 16, name 1 lies, when its only language is a data entry:
// every order of languages a system tries then picks it. A directory that ends
// past the file, or a language that leads back to a directory on the way to it,
// holds no data the system finds.
Answer FindVersionData(Tree& tree, uint32_t* rva, uint32_t* size) {
  if (tree.PastTheFile(0, 16)) return Answer::kNone;
  std::vector<uint32_t> types;
  if (!ReadTypeNames(tree, &types)) return Answer::kAskSystem;
  uint32_t names = 0, languages = 0;
  Lookup type = FindId(tree, 0, kVersionType, true, &names);
  if (type != Lookup::kFound) return Settled(type);
  uint32_t namesAt = names & ~kSubdirectory;
  Lookup name = FindId(tree, namesAt, kVersionName, true, &languages);
  if (name != Lookup::kFound) return Settled(name);
  uint32_t languagesAt = languages & ~kSubdirectory;
  const char* dir = tree.At(languagesAt, 16 + 8);
  if (!dir) return tree.Missing(languagesAt, 16 + 8);
  if (Word(dir + 12) != 0 || Word(dir + 14) != 1) return Answer::kAskSystem;
  if (Dword(dir + 20) & kSubdirectory) {
    bool loop = languagesAt == 0 || languagesAt == namesAt;
    return loop ? Answer::kNone : Answer::kAskSystem;
  }
  const char* entry = tree.At(Dword(dir + 20), 16);
  if (!entry) return tree.Missing(Dword(dir + 20), 16);
  *rva = Dword(entry);
  *size = Dword(entry + 4);
  return FindMuiType(tree, types) == Lookup::kAbsent ? Answer::kBlock : Answer::kAskSystem;
}

// What the system's calls fill in: a buffer twice the resource and four bytes more,
// the resource at its start and "FE2X" after the block, for its ANSI calls.
std::string AsTheSystemHandsItOut(const char* data, uint32_t size) {
  std::string buffer(size_t(size) * 2 + 4, '\0');
  memcpy(&buffer[0], data, size);
  size_t length = Word(buffer, 0);
  if (length + 4 <= buffer.size()) memcpy(&buffer[length], "FE2X", 4);
  return buffer;
}

}  // namespace

Answer ReadBlockFromBytes(const std::wstring& path, const std::string& head, std::string* block, bool wholeFile) {
  FileBytes bytes(path, head, wholeFile);
  const char* start = bytes.At(0, 2);
  if (!start) return bytes.Missing(0, 2);
  if (memcmp(start, "MZ", 2) != 0) {
    const char* compressed = bytes.At(0, 4);  // older systems expand such a file first
    return compressed && memcmp(compressed, "SZDD", 4) == 0 ? Answer::kAskSystem : Answer::kNone;
  }
  // An "MZ" file without room for its header, or whose pointer to the image header
  // leads past the file's end, holds no image: the loader and the system's own
  // reader find nothing in it.
  const char* dos = bytes.At(0, 0x40);
  if (!dos) return bytes.Missing(0, 0x40);
  uint32_t lfanew = Dword(dos + 0x3C);
  const char* signature = bytes.At(lfanew, 4);
  if (!signature) return bytes.Missing(lfanew, 4);
  // Only an image or an older library ("NE", "LE", "LX") can hold a block: for any
  // other header the loader refuses the file and the system's own reader gives up.
  if (memcmp(signature, "PE\0\0", 4) != 0) {
    bool older = !memcmp(signature, "NE", 2) || !memcmp(signature, "LE", 2) || !memcmp(signature, "LX", 2);
    return older ? Answer::kAskSystem : Answer::kNone;
  }
  Image image;
  Answer headers = ReadImage(bytes, &image);
  if (headers != Answer::kBlock) return headers;
  if (!image.resourceVa && !image.resourceSize) return Answer::kNone;
  const Section* home = Holding(image.sections, image.resourceVa);
  if (!home || image.resourceSize < 16 || image.resourceVa >= SureEnd(*home)) return Answer::kAskSystem;
  uint32_t size = (uint32_t)std::min<uint64_t>(image.resourceSize, SureEnd(*home) - image.resourceVa);
  Tree tree{bytes, image, *home, home->rawPointer + uint64_t(image.resourceVa - home->va), size};
  uint32_t rva = 0, dataSize = 0;
  Answer found = FindVersionData(tree, &rva, &dataSize);
  if (found != Answer::kBlock) return found;
  const Section* section = Holding(image.sections, rva);
  // No section holds it: the system's own calls would read unmapped memory and
  // take the program down, so such an image has no version block.
  if (!section) return Answer::kNone;
  if (!dataSize || dataSize > kLargestBlock || rva + uint64_t(dataSize) > SureEnd(*section)) return Answer::kAskSystem;
  uint64_t dataAt = section->rawPointer + uint64_t(rva - section->va);
  const char* data = bytes.At(dataAt, dataSize);
  // Data that begins past the file's end is not found; data cut short by it the
  // system hands out with what follows the end, so that is its to tell.
  if (!data) return bytes.Missing(dataAt, 1);
  *block = AsTheSystemHandsItOut(data, dataSize);
  return Answer::kBlock;
}

bool ReadBlockBySystem(const std::wstring& path, std::string* block) {
  // The system's calls open the file by name: under its literal name, and only a file on a disk.
  std::wstring literal;
  if (!Files::LiteralPath(path, &literal) || !Files::IsDiskFile(literal)) return false;
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(literal.c_str(), &ignored);
  if (size < 1) return false;
  std::string buffer(size, '\0');
  if (!GetFileVersionInfoW(literal.c_str(), 0, size, &buffer[0])) return false;
  block->swap(buffer);
  return true;
}

bool ReadBlock(const std::wstring& path, const std::string& head, std::string* block, bool wholeFile) {
  Answer answer = ReadBlockFromBytes(path, head, block, wholeFile);
  if (answer == Answer::kAskSystem) return ReadBlockBySystem(path, block);
  return answer == Answer::kBlock;
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
