#include "syscheck/TrustList.h"

#include "common/DataFolder.h"
#include "platform/Files.h"
#include "platform/System.h"

namespace TrustList {

namespace {

// The list beside the program applies to every user; a user's own list only to
// that user, and only where the user cannot write beside the program.
std::vector<std::wstring> Lists() {
  std::vector<std::wstring> lists{System::ProgramFile(L"\\Allow.dat")};
  if (!DataFolder::IsBesideProgram()) lists.push_back(Path());
  return lists;
}

}  // namespace

std::wstring Path() { return DataFolder::File(L"Allow.dat"); }

std::vector<std::wstring> Entries() {
  std::vector<std::wstring> entries;
  for (const std::wstring& list : Lists()) {
    std::vector<std::wstring> read;
    Files::ReadQuotedFields(list, &read);
    entries.insert(entries.end(), read.begin(), read.end());
  }
  return entries;
}

bool IsTrusted(const std::wstring& text) {
  bool found = false;
  for (const std::wstring& list : Lists()) {
    Files::ForEachQuotedField(list, [&](const std::wstring& entry) {
      found = entry == text;
      return !found;
    });
    if (found) return true;
  }
  return false;
}

bool AddTrusted(const std::wstring& text, unsigned long* error) {
  unsigned long code = 0;
  DataFolder::Make();
  if (Files::AppendQuotedLine(Path(), text, &code)) return true;
  if (error) *error = code;
  return false;
}

}  // namespace TrustList
