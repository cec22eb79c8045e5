// Version information blocks of files, read whole and checked before any query.
#pragma once
#include <string>

namespace Version {

// The file's version block as the system's version calls hand it back, or false
// when it has none or cannot be read. A plain PE image, and a file that is no image
// or older library at all, is read from its own bytes (loading it as a library costs
// many times more); anything else is left to the system.
// `head`: the file's first bytes as already read (any number of them, none too): a
// file whose version resource lies within them is not opened again. `wholeFile`:
// the head is all the file holds (a read that stopped short at its end), so a
// malformed file whose headers point past its end is settled without opening it.
bool ReadBlock(const std::wstring& path, const std::string& head, std::string* block, bool wholeFile = false);
// What the file's bytes alone say, without the system's calls: its block, that it
// has none, or that only the system can tell. A file that ends before its image
// header, inside its headers or section table, before a section's raw data does,
// or before its resource directories or version data begin has none, as the
// system finds none; so has one whose version's language leads back to a
// directory on the way to it.
enum class Answer { kBlock, kNone, kAskSystem };
Answer ReadBlockFromBytes(const std::wstring& path, const std::string& head, std::string* block,
                          bool wholeFile = false);
// The block as the system's version calls read it.
bool ReadBlockBySystem(const std::wstring& path, std::string* block);
// True when every node of the block lies within its parent and the block.
bool WellFormed(const std::string& block);
// Looks a value up; `offset` is where it starts inside the block and `available`
// how many bytes of the block follow it; text values are UTF-16 as stored. False
// when absent or outside the block.
bool Query(const std::string& block, const std::wstring& subBlock, size_t* offset, size_t* available);

}  // namespace Version
