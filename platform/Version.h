// Version information blocks of files, read whole and checked before any query.
#pragma once
#include <string>

namespace Version {

// The file's version block, or false when it has none or cannot be read.
bool ReadBlock(const std::wstring& path, std::string* block);
// True when every node of the block lies within its parent and the block.
bool WellFormed(const std::string& block);
// Looks a value up; `offset` is where it starts inside the block and `available`
// how many bytes of the block follow it; text values are UTF-16 as stored. False
// when absent or outside the block.
bool Query(const std::string& block, const std::wstring& subBlock, size_t* offset, size_t* available);

}  // namespace Version
