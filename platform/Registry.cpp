#include "platform/Registry.h"

#include <windows.h>

#include <utility>

#include "platform/Text.h"

namespace Reg {
namespace {

// Sizes asked for first can grow before the read when another program writes.
constexpr int kAttempts = 4;

HKEY H(uintptr_t handle) { return reinterpret_cast<HKEY>(handle); }
HKEY H(const Key& key) { return H(key.Handle()); }

long OpenBelow(HKEY parent, const std::string& ansiPath, Key* key) {
  HKEY h = nullptr;
  LONG rc = RegOpenKeyA(parent, ansiPath.c_str(), &h);
  if (rc == ERROR_SUCCESS) *key = Key(reinterpret_cast<uintptr_t>(h));
  return rc;
}

long EnumValueInto(const Key& key, DWORD index, DWORD nameSize, DWORD dataSize, Value* value) {
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

// The key's longest subkey name, value name and value data, as the key reports them.
long QueryMaxima(const Key& key, DWORD* subkeyName, DWORD* valueName, DWORD* valueData) {
  return RegQueryInfoKeyA(H(key), nullptr, nullptr, nullptr, nullptr, subkeyName, nullptr, nullptr, valueName,
                          valueData, nullptr, nullptr);
}

// Reads entries 0, 1, ... until the key has no more: all of them or, on an error, nothing.
template <typename Entry, typename Enumerate>
long ReadAll(Root root, const std::wstring& path, Enumerate enumerate, std::vector<Entry>* entries) {
  Key key;
  long rc = Open(root, path, &key);
  if (rc != ERROR_SUCCESS) return rc;
  std::vector<Entry> read;
  Entry entry;
  for (DWORD index = 0; (rc = enumerate(key, index, &entry)) == ERROR_SUCCESS; index++) read.push_back(entry);
  if (rc != ERROR_NO_MORE_ITEMS) return rc;
  entries->swap(read);
  return ERROR_SUCCESS;
}

long DeleteBelow(HKEY parent, const std::string& ansiPath);

// Each deletion moves the next subkey down to index 0.
long DeleteSubkeys(const Key& key) {
  std::wstring name;
  long rc;
  while ((rc = EnumKey(key, 0, &name)) == ERROR_SUCCESS) {
    rc = DeleteBelow(H(key), Text::ToAnsi(name));
    if (rc != ERROR_SUCCESS) return rc;
  }
  return rc == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : rc;
}

long DeleteBelow(HKEY parent, const std::string& ansiPath) {
  Key key;
  long rc = OpenBelow(parent, ansiPath, &key);
  if (rc == ERROR_SUCCESS) rc = DeleteSubkeys(key);
  if (rc != ERROR_SUCCESS) return rc;
  return RegDeleteKeyA(parent, ansiPath.c_str());
}

}  // namespace

Key::~Key() {
  if (handle_) RegCloseKey(H(handle_));
}

Key::Key(Key&& other) noexcept : handle_(std::exchange(other.handle_, 0)) {}

Key& Key::operator=(Key&& other) noexcept {
  if (this == &other) return *this;
  if (handle_) RegCloseKey(H(handle_));
  handle_ = std::exchange(other.handle_, 0);
  return *this;
}

std::wstring Value::Text() const {
  size_t end = data.find('\0');
  return Text::FromAnsi(data.substr(0, end == std::string::npos ? data.size() : end));
}

long Open(Root root, const std::wstring& path, Key* key) { return OpenBelow(H(root), Text::ToAnsi(path), key); }

long Create(Root root, const std::wstring& path, Key* key) {
  HKEY h = nullptr;
  LONG rc = RegCreateKeyA(H(root), Text::ToAnsi(path).c_str(), &h);
  if (rc == ERROR_SUCCESS) *key = Key(reinterpret_cast<uintptr_t>(h));
  return rc;
}

long EnumValue(const Key& key, unsigned long index, Value* value, bool whole) {
  if (!whole) return EnumValueInto(key, index, ShortBuffer, ShortBuffer, value);
  for (int attempt = 0; attempt < kAttempts; attempt++) {
    DWORD maxName = 0, maxData = 0;
    LONG rc = QueryMaxima(key, nullptr, &maxName, &maxData);
    if (rc != ERROR_SUCCESS) return rc;
    // The ANSI name length can exceed the count the key reports in characters.
    rc = EnumValueInto(key, index, maxName * 2 + 2, maxData + 2, value);
    if (rc != ERROR_MORE_DATA) return rc;
  }
  return ERROR_MORE_DATA;
}

long EnumKey(const Key& key, unsigned long index, std::wstring* name) {
  for (int attempt = 0; attempt < kAttempts; attempt++) {
    DWORD maxName = 0;
    LONG rc = QueryMaxima(key, &maxName, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    std::vector<char> buffer(maxName * 2 + 2);  // characters reported, ANSI bytes needed
    DWORD length = (DWORD)buffer.size();
    rc = RegEnumKeyExA(H(key), index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_MORE_DATA) continue;
    if (rc == ERROR_SUCCESS) *name = Text::FromAnsi(buffer.data(), length);
    return rc;
  }
  return ERROR_MORE_DATA;
}

long QueryValue(const Key& key, const std::wstring& name, Value* value) {
  std::string ansiName = Text::ToAnsi(name);
  for (int attempt = 0; attempt < kAttempts; attempt++) {
    DWORD type = 0, size = 0;
    LONG rc = RegQueryValueExA(H(key), ansiName.c_str(), nullptr, &type, nullptr, &size);
    if (rc != ERROR_SUCCESS) return rc;
    // One byte spare: the system may end unterminated text with a NUL it does not count.
    std::vector<BYTE> data(size + 1);
    DWORD length = (DWORD)data.size();
    rc = RegQueryValueExA(H(key), ansiName.c_str(), nullptr, &type, data.data(), &length);
    if (rc == ERROR_MORE_DATA) continue;
    if (rc != ERROR_SUCCESS) return rc;
    value->name = name;
    value->data.assign(reinterpret_cast<char*>(data.data()), length);
    value->type = type;
    return rc;
  }
  return ERROR_MORE_DATA;
}

long SetValue(const Key& key, const std::wstring& name, unsigned long type, const std::string& data) {
  // Like NT, the system counts one byte more for text whose next byte is NUL; a
  // byte other than NUL after the data keeps the count as given.
  std::string guarded = data + '\x01';
  return RegSetValueExA(H(key), Text::ToAnsi(name).c_str(), 0, type, reinterpret_cast<const BYTE*>(guarded.data()),
                        (DWORD)data.size());
}

long SetString(const Key& key, const std::wstring& name, const std::wstring& text) {
  std::string data = Text::ToAnsi(text);
  return SetValue(key, name, TypeSz, std::string(data.c_str(), data.size() + 1));
}

long DeleteValue(const Key& key, const std::wstring& name) {
  return RegDeleteValueA(H(key), Text::ToAnsi(name).c_str());
}

long ReadValues(Root root, const std::wstring& path, std::vector<Value>* values) {
  auto enumerate = [](const Key& key, DWORD index, Value* value) { return EnumValue(key, index, value, true); };
  return ReadAll(root, path, enumerate, values);
}

long ReadSubkeys(Root root, const std::wstring& path, std::vector<std::wstring>* names) {
  return ReadAll(root, path, EnumKey, names);
}

long DeleteValue(Root root, const std::wstring& path, const std::wstring& name) {
  Key key;
  long rc = Open(root, path, &key);
  if (rc != ERROR_SUCCESS) return rc;
  return DeleteValue(key, name);
}

long DeleteTree(Root root, const std::wstring& path) {
  // An empty path would name the root itself: never empty a whole hive.
  if (path.empty()) return ERROR_INVALID_PARAMETER;
  return DeleteBelow(H(root), Text::ToAnsi(path));
}

}  // namespace Reg
