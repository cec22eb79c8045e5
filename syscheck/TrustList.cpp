#include "syscheck/TrustList.h"

#include "platform/Files.h"
#include "platform/System.h"

namespace TrustList {

std::wstring Path() { return System::ProgramFile(L"\\Allow.dat"); }

std::vector<std::wstring> Entries() {
  std::vector<std::wstring> entries;
  Files::ReadQuotedFields(Path(), &entries);
  return entries;
}

bool IsTrusted(const std::wstring& text) {
  bool found = false;
  Files::ForEachQuotedField(Path(), [&](const std::wstring& entry) {
    found = entry == text;
    return !found;
  });
  return found;
}

bool AddTrusted(const std::wstring& text, unsigned long* error) {
  unsigned long code = 0;
  if (Files::AppendQuotedLine(Path(), text, &code)) return true;
  if (error) *error = code;
  return false;
}

}  // namespace TrustList
