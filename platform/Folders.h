// Folder listings and drives. Listings always use the wide calls: the ANSI
// listing silently changes names the code page lacks (to "?" or a look-alike),
// and a changed name reaches a different file or none.
#pragma once
#include <cstdint>
#include <string>

namespace Folders {

constexpr unsigned long kDirectory = 0x10;
constexpr unsigned long kReparsePoint = 0x400;

struct Entry {
  std::wstring name;  // the real name, as the file system holds it
  unsigned long attributes = 0;
};

class Listing;
// Opens a listing of folder + pattern and reads its first entry; the listing
// tests false when nothing could be listed.
Listing First(const std::wstring& folder, const std::wstring& pattern, Entry* entry);
bool Next(const Listing& listing, Entry* entry);

// An open listing; it closes itself. Move-only, so exactly one owner closes it.
class Listing {
 public:
  Listing() = default;
  ~Listing();
  Listing(Listing&& other) noexcept;
  Listing& operator=(Listing&& other) noexcept;
  Listing(const Listing&) = delete;
  Listing& operator=(const Listing&) = delete;

  explicit operator bool() const { return find_ != 0; }

 private:
  friend Listing First(const std::wstring& folder, const std::wstring& pattern, Entry* entry);
  friend bool Next(const Listing& listing, Entry* entry);
  uintptr_t find_ = 0;
};

// True when a path can go through the ANSI file calls unchanged.
bool FitsAnsiCalls(const std::wstring& path);
// Bit 0 = A:, bit 1 = B:, ...
unsigned long LogicalDrives();
// A folder's identity (volume and index), to recognise one folder under two names.
bool Identity(const std::wstring& folder, uint64_t* volume, uint64_t* index);

}  // namespace Folders
