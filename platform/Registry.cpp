#include "platform/Registry.h"

#include <windows.h>

#include <vector>

#include "platform/Text.h"

namespace Reg {
namespace {

HKEY H(Key key) { return reinterpret_cast<HKEY>(key); }

long EnumValueInto(Key key, DWORD index, DWORD nameSize, DWORD dataSize, Value* value) {
  std::vector<char> name(nameSize + 1);
  std::vector<BYTE> data(dataSize + 1);
  DWORD nameLength = nameSize;
  DWORD dataLength = dataSize;
  DWORD type = 0;
  LONG rc = RegEnumValueA(H(key), index, name.data(), &nameLength, nullptr, &type, data.data(), &dataLength);
  if (rc != ERROR_SUCCESS) return rc;
  value->name = Text::FromAnsi(name.data(), nameLength);
  value->data.assign(reinterpret_cast<char*>(data.data()), dataLength);
  value->type = type;
  return rc;
}

}  // namespace

std::wstring Value::Text() const {
  size_t end = data.find('\0');
  return Text::FromAnsi(data.substr(0, end == std::string::npos ? data.size() : end));
}

long Open(Key root, const std::wstring& path, Key* key) {
  HKEY h = nullptr;
  LONG rc = RegOpenKeyA(H(root), Text::ToAnsi(path).c_str(), &h);
  if (rc == ERROR_SUCCESS) *key = reinterpret_cast<Key>(h);
  return rc;
}

long Create(Key root, const std::wstring& path, Key* key) {
  HKEY h = nullptr;
  LONG rc = RegCreateKeyA(H(root), Text::ToAnsi(path).c_str(), &h);
  if (rc == ERROR_SUCCESS) *key = reinterpret_cast<Key>(h);
  return rc;
}

void Close(Key key) { RegCloseKey(H(key)); }

long EnumValue(Key key, unsigned long index, Value* value, bool whole) {
  if (!whole) return EnumValueInto(key, index, ShortBuffer, ShortBuffer, value);
  // Ask the key for its largest name and data; retry if a writer grew them meanwhile.
  for (int attempt = 0; attempt < 4; attempt++) {
    DWORD maxName = 0, maxData = 0;
    LONG rc = RegQueryInfoKeyA(H(key), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName,
                               &maxData, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    // The ANSI name length can exceed the count the key reports in characters.
    rc = EnumValueInto(key, index, maxName * 2 + 2, maxData + 2, value);
    if (rc != ERROR_MORE_DATA) return rc;
  }
  return ERROR_MORE_DATA;
}

long EnumKey(Key key, unsigned long index, std::wstring* name) {
  char buffer[ShortBuffer + 1] = {};
  LONG rc = RegEnumKeyA(H(key), index, buffer, ShortBuffer + 1);
  if (rc == ERROR_SUCCESS) *name = Text::FromAnsi(buffer);
  return rc;
}

long QueryValue(Key key, const std::wstring& name, Value* value) {
  std::string ansiName = Text::ToAnsi(name);
  DWORD type = 0, size = 0;
  LONG rc = RegQueryValueExA(H(key), ansiName.c_str(), nullptr, &type, nullptr, &size);
  if (rc != ERROR_SUCCESS) return rc;
  std::vector<BYTE> data(size + 2);
  DWORD length = size + 1;
  rc = RegQueryValueExA(H(key), ansiName.c_str(), nullptr, &type, data.data(), &length);
  if (rc != ERROR_SUCCESS) return rc;
  value->name = name;
  value->data.assign(reinterpret_cast<char*>(data.data()), length);
  value->type = type;
  return rc;
}

long SetString(Key key, const std::wstring& name, const std::wstring& text) {
  std::string data = Text::ToAnsi(text);
  return RegSetValueExA(H(key), Text::ToAnsi(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                        (DWORD)data.size() + 1);
}

long DeleteValue(Key key, const std::wstring& name) { return RegDeleteValueA(H(key), Text::ToAnsi(name).c_str()); }

long DeleteKey(Key key, const std::wstring& subkey) { return RegDeleteKeyA(H(key), Text::ToAnsi(subkey).c_str()); }

}  // namespace Reg
