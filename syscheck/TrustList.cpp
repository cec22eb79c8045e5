#include "syscheck/TrustList.h"

#include <vector>

#include "platform/Files.h"
#include "platform/System.h"

namespace TrustList {

std::wstring Path() { return System::ProgramFolder() + L"\\Allow.dat"; }

bool IsTrusted(const std::wstring& text) {
  std::vector<std::wstring> entries;
  Files::ReadQuotedFields(Path(), &entries);
  for (const std::wstring& entry : entries)
    if (entry == text) return true;
  return false;
}

bool AddTrusted(const std::wstring& text) { return Files::AppendQuotedLine(Path(), text); }

}  // namespace TrustList
