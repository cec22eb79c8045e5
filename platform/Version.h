// Version information blocks of files, read whole and checked before any query.
#pragma once
#include <string>

namespace Version {

// The file's version block as the system's version calls hand it back, or false
// when it has none or cannot be read. A plain PE image, and a file that is no image
// or older library at all, is read from its own bytes (loading it as a library costs
// many times more); anything else is left to the system.
// `head`: the file's first bytes as already read (any number of them, none too): a
// file whose version resource lies within them is not opened again.
bool ReadBlock(const std::wstring& path, const std::string& head, std::string* block);
// What the file's bytes alone say, without the system's calls: its block, that it
// has none, or that only the system can tell.
enum class Answer { kBlock, kNone, kAskSystem };
Answer ReadBlockFromBytes(const std::wstring& path, const std::string& head, std::string* block);
// The block as the system's version calls read it.
bool ReadBlockBySystem(const std::wstring& path, std::string* block);
// True when every node of the block lies within its parent and the block.
bool WellFormed(const std::string& block);
// Looks a value up; `offset` is where it starts inside the block and `available`
// how many bytes of the block follow it; text values are UTF-16 as stored. False
// when absent or outside the block.
bool Query(const std::string& block, const std::wstring& subBlock, size_t* offset, size_t* available);

}  // namespace Version
