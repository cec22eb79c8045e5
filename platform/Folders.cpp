#include "platform/Folders.h"

#include <windows.h>

#include <utility>

#include "platform/ScopedHandle.h"
#include "platform/Text.h"

namespace Folders {
namespace {

// Drive paths take the long-path prefix: it lifts MAX_PATH and keeps names
// ending in a dot or a space as they are.
std::wstring WidePath(const std::wstring& path) {
  if (path.compare(0, 4, L"\\\\?\\") == 0) return path;
  if (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') return L"\\\\?\\" + path;
  return path;
}

void FromData(const WIN32_FIND_DATAW& data, Entry* entry) {
  entry->name = data.cFileName;
  entry->attributes = data.dwFileAttributes;
}

}  // namespace

bool FitsAnsiCalls(const std::wstring& path) {
  if (path.size() >= MAX_PATH) return false;
  std::string ansi = Text::ToAnsi(path);
  return ansi.size() < MAX_PATH && Text::FromAnsi(ansi) == path;
}

Listing::~Listing() {
  if (find_) FindClose(reinterpret_cast<HANDLE>(find_));
}

Listing::Listing(Listing&& other) noexcept : find_(std::exchange(other.find_, 0)) {}

Listing& Listing::operator=(Listing&& other) noexcept {
  if (this == &other) return *this;
  if (find_) FindClose(reinterpret_cast<HANDLE>(find_));
  find_ = std::exchange(other.find_, 0);
  return *this;
}

Listing First(const std::wstring& folder, const std::wstring& pattern, Entry* entry) {
  Listing listing;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW(WidePath(folder + pattern).c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return listing;
  FromData(data, entry);
  listing.find_ = reinterpret_cast<uintptr_t>(find);
  return listing;
}

bool Next(const Listing& listing, Entry* entry) {
  WIN32_FIND_DATAW data;
  if (!FindNextFileW(reinterpret_cast<HANDLE>(listing.find_), &data)) return false;
  FromData(data, entry);
  return true;
}

unsigned long LogicalDrives() { return GetLogicalDrives(); }

bool Identity(const std::wstring& folder, uint64_t* volume, uint64_t* index) {
  ScopedHandle folderHandle(CreateFileW(WidePath(folder).c_str(), 0,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!folderHandle.Valid()) return false;
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(folderHandle.Get(), &info)) return false;
  *volume = info.dwVolumeSerialNumber;
  *index = ((uint64_t)info.nFileIndexHigh << 32) | info.nFileIndexLow;
  return true;
}

}  // namespace Folders
