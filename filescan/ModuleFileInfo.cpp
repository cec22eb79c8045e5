#include "filescan/ModuleFileInfo.h"

#include <cstdio>
#include <cstring>

#include "platform/Text.h"
#include "platform/Version.h"

namespace ModuleFileInfo {
namespace {
constexpr size_t kMaxCompanyBytes = 1024;

std::wstring CompanyOf(const std::string& block) {
  size_t offset = 0, available = 0;
  if (!Version::Query(block, L"\\VarFileInfo\\Translation", &offset, &available) || available < 4) return {};
  uint16_t language, codePage;
  memcpy(&language, block.data() + offset, 2);
  memcpy(&codePage, block.data() + offset + 2, 2);
  wchar_t key[9];
  swprintf(key, 9, L"%04X%04X", language, codePage);
  if (!Version::Query(block, std::wstring(L"\\StringFileInfo\\") + key + L"\\CompanyName", &offset, &available))
    return {};
  size_t limit = (available < kMaxCompanyBytes ? available : kMaxCompanyBytes) / 2;
  std::wstring text(limit, L'\0');
  if (limit) memcpy(&text[0], block.data() + offset, limit * 2);
  size_t nul = text.find(L'\0');
  if (nul == std::wstring::npos) return {};
  return text.substr(0, nul);
}

}  // namespace

std::wstring GetFileCompany(const std::wstring& path, const std::string& head, bool wholeFile) {
  std::string block;
  return Version::ReadBlock(path, head, &block, wholeFile) ? CompanyOf(block) : std::wstring();
}

}  // namespace ModuleFileInfo
