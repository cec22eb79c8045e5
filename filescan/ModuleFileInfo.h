// The publisher of a file, from its version resource.
#pragma once
#include <string>

namespace ModuleFileInfo {

// "CompanyName" of the string table of the first translation, as stored;
// empty when there is none or the block is damaged.
// `head`: the file's first bytes when the caller has already read them;
// `wholeFile`: they are all the file holds.
std::wstring GetFileCompany(const std::wstring& path, const std::string& head = std::string(), bool wholeFile = false);

}  // namespace ModuleFileInfo
