#include "platform/Folders.h"

#include <windows.h>

#include <cstring>
#include <utility>

#include "platform/ScopedHandle.h"
#include "platform/Text.h"

namespace Folders {
namespace {

std::wstring WidePath(const std::wstring& path) {
  if (path.compare(0, 4, L"\\\\?\\") == 0) return path;
  return L"\\\\?\\" + path;
}

void FromAnsiData(const WIN32_FIND_DATAA& data, Entry* entry) {
  entry->name = Text::FromAnsi(data.cFileName);
  entry->attributes = data.dwFileAttributes;
  // '?' cannot stand in a file name: the code page had no character for it.
  entry->nameLost = strchr(data.cFileName, '?') != nullptr;
  // The alias is only needed to reach a lost name.
  entry->shortName = entry->nameLost ? Text::FromAnsi(data.cAlternateFileName) : std::wstring();
}

void FromWideData(const WIN32_FIND_DATAW& data, Entry* entry) {
  entry->name = data.cFileName;
  entry->shortName = data.cAlternateFileName;
  entry->attributes = data.dwFileAttributes;
  entry->nameLost = false;
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

Listing::Listing(Listing&& other) noexcept : find_(std::exchange(other.find_, 0)), wide_(other.wide_) {}

Listing& Listing::operator=(Listing&& other) noexcept {
  if (this == &other) return *this;
  if (find_) FindClose(reinterpret_cast<HANDLE>(find_));
  find_ = std::exchange(other.find_, 0);
  wide_ = other.wide_;
  return *this;
}

Listing First(const std::wstring& folder, const std::wstring& pattern, Entry* entry) {
  std::wstring path = folder + pattern;
  Listing listing;
  listing.wide_ = !FitsAnsiCalls(path);
  HANDLE find = INVALID_HANDLE_VALUE;
  if (listing.wide_) {
    WIN32_FIND_DATAW data;
    find = FindFirstFileW(WidePath(path).c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) FromWideData(data, entry);
  } else {
    WIN32_FIND_DATAA data;
    find = FindFirstFileA(Text::ToAnsi(path).c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) FromAnsiData(data, entry);
  }
  if (find != INVALID_HANDLE_VALUE) listing.find_ = reinterpret_cast<uintptr_t>(find);
  return listing;
}

bool Next(const Listing& listing, Entry* entry) {
  HANDLE find = reinterpret_cast<HANDLE>(listing.find_);
  if (listing.wide_) {
    WIN32_FIND_DATAW data;
    if (!FindNextFileW(find, &data)) return false;
    FromWideData(data, entry);
    return true;
  }
  WIN32_FIND_DATAA data;
  if (!FindNextFileA(find, &data)) return false;
  FromAnsiData(data, entry);
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
