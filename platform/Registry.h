// Registry access through the ANSI calls. Keys are opened, used and closed
// within one operation by the callers; results are the Win32 codes.
#pragma once
#include <cstdint>
#include <string>

namespace Reg {

using Key = uintptr_t;
constexpr Key ClassesRoot = 0x80000000u;
constexpr Key CurrentUser = 0x80000001u;
constexpr Key LocalMachine = 0x80000002u;

constexpr long Ok = 0;
constexpr long NotFound = 2;
constexpr long MoreData = 234;
constexpr long NoMoreItems = 259;

constexpr unsigned long TypeSz = 1;
constexpr unsigned long TypeExpandSz = 2;
constexpr unsigned long TypeDword = 4;

// Size of the fixed buffers the enumerations historically used.
constexpr unsigned long ShortBuffer = 255;

struct Value {
  std::wstring name;
  std::string data;  // raw bytes as stored
  unsigned long type = 0;
  // The data read as ANSI text up to its first NUL.
  std::wstring Text() const;
};

long Open(Key root, const std::wstring& path, Key* key);
long Create(Key root, const std::wstring& path, Key* key);
void Close(Key key);

// Reads value number `index`. With `whole` false the name and data must fit
// 255-byte buffers (MoreData otherwise); with `whole` true any size is read.
long EnumValue(Key key, unsigned long index, Value* value, bool whole);
long EnumKey(Key key, unsigned long index, std::wstring* name);
long QueryValue(Key key, const std::wstring& name, Value* value);
long SetString(Key key, const std::wstring& name, const std::wstring& text);
long DeleteValue(Key key, const std::wstring& name);
long DeleteKey(Key key, const std::wstring& subkey);

}  // namespace Reg
