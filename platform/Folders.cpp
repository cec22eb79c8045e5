#include "platform/Folders.h"

#include <windows.h>

#include <cstring>

#include "platform/Text.h"

namespace Folders {
namespace {

// A listing handle remembers which family of calls made it.
struct ListingState {
  HANDLE find;
  bool wide;
};

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

Listing First(const std::wstring& folder, const std::wstring& pattern, Entry* entry) {
  std::wstring path = folder + pattern;
  auto* state = new ListingState{INVALID_HANDLE_VALUE, !FitsAnsiCalls(path)};
  if (state->wide) {
    WIN32_FIND_DATAW data;
    state->find = FindFirstFileW(WidePath(path).c_str(), &data);
    if (state->find != INVALID_HANDLE_VALUE) FromWideData(data, entry);
  } else {
    WIN32_FIND_DATAA data;
    state->find = FindFirstFileA(Text::ToAnsi(path).c_str(), &data);
    if (state->find != INVALID_HANDLE_VALUE) FromAnsiData(data, entry);
  }
  if (state->find == INVALID_HANDLE_VALUE) {
    delete state;
    return kNoListing;
  }
  return reinterpret_cast<Listing>(state);
}

bool Next(Listing listing, Entry* entry) {
  auto* state = reinterpret_cast<ListingState*>(listing);
  if (state->wide) {
    WIN32_FIND_DATAW data;
    if (!FindNextFileW(state->find, &data)) return false;
    FromWideData(data, entry);
    return true;
  }
  WIN32_FIND_DATAA data;
  if (!FindNextFileA(state->find, &data)) return false;
  FromAnsiData(data, entry);
  return true;
}

void Close(Listing listing) {
  auto* state = reinterpret_cast<ListingState*>(listing);
  if (!state) return;
  FindClose(state->find);
  delete state;
}

unsigned long LogicalDrives() { return GetLogicalDrives(); }

bool Identity(const std::wstring& folder, uint64_t* volume, uint64_t* index) {
  HANDLE h = CreateFileW(WidePath(folder).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  BOOL ok = GetFileInformationByHandle(h, &info);
  CloseHandle(h);
  if (!ok) return false;
  *volume = info.dwVolumeSerialNumber;
  *index = ((uint64_t)info.nFileIndexHigh << 32) | info.nFileIndexLow;
  return true;
}

}  // namespace Folders
