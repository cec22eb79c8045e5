// The publisher of a file, from its version resource.
#pragma once
#include <string>

namespace ModuleFileInfo {

// "CompanyName" of the string table of the first translation, as stored;
// empty when there is none or the block is damaged.
std::wstring GetFileCompany(const std::wstring& path);
// The same for a file whose first bytes the caller has already read.
std::wstring GetFileCompany(const std::wstring& path, const std::string& head);

}  // namespace ModuleFileInfo
