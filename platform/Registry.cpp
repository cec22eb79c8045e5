#include "platform/Registry.h"

#include <windows.h>

#include <cstring>
#include <utility>

#include "platform/System.h"
#include "platform/Text.h"

namespace Reg {
namespace {

// Sizes asked for first can grow before the read when another program writes.
constexpr int kAttempts = 4;
// The registry nests keys at most 512 deep: a walk deeper than that has gone round.
constexpr int kDeepestKey = 512;

HKEY H(uintptr_t handle) { return reinterpret_cast<HKEY>(handle); }
HKEY H(const Key& key) { return H(key.Handle()); }

// Own keeps the plain calls of 32-bit Windows; a view is the access flag that names it.
long OpenBelow(HKEY parent, const std::wstring& path, Key* key, View view) {
  HKEY h = nullptr;
  LONG rc = view == Own ? RegOpenKeyW(parent, path.c_str(), &h)
                        : RegOpenKeyExW(parent, path.c_str(), 0, MAXIMUM_ALLOWED | view, &h);
  if (rc == ERROR_SUCCESS) *key = Key(reinterpret_cast<uintptr_t>(h), view);
  return rc;
}

long CreateBelow(HKEY parent, const std::wstring& path, Key* key, View view) {
  HKEY h = nullptr;
  LONG rc = view == Own
                ? RegCreateKeyW(parent, path.c_str(), &h)
                : RegCreateKeyExW(parent, path.c_str(), 0, nullptr, 0, MAXIMUM_ALLOWED | view, nullptr, &h, nullptr);
  if (rc == ERROR_SUCCESS) *key = Key(reinterpret_cast<uintptr_t>(h), view);
  return rc;
}

// Looked up in ntdll at run time: the calls the Win32 registry functions do not offer.
template <typename Function>
Function Native(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), name)));
}

// The key's full name in the registry ("\REGISTRY\MACHINE\SOFTWARE\Wow6432Node\..."):
// two handles of the same key give the same name.
bool KeyName(HKEY key, std::wstring* name) {
  using QueryKey = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  static auto queryKey = Native<QueryKey>("NtQueryKey");
  constexpr int kKeyNameInformation = 3;
  std::vector<ULONG> buffer(16384);  // a length, then up to 32K UTF-16 units
  ULONG length = 0;
  if (!queryKey || queryKey(key, kKeyNameInformation, buffer.data(), (ULONG)(buffer.size() * sizeof(ULONG)), &length))
    return false;
  name->assign(reinterpret_cast<const wchar_t*>(&buffer[1]), buffer[0] / sizeof(wchar_t));
  return true;
}

bool FullName(Root root, const std::wstring& path, View view, std::wstring* name) {
  Key key;
  return OpenBelow(H(root), path, &key, view) == ERROR_SUCCESS && KeyName(H(key), name);
}

// Opens the key itself even when it is a symbolic link, and tells which it is: a
// link followed leads to another key, or nowhere. Links are never followed, so a
// walk cannot leave its tree nor come back into it.
long OpenEntry(HKEY parent, const std::wstring& path, View view, Key* key, bool* link) {
  HKEY h = nullptr;
  LONG rc = RegOpenKeyExW(parent, path.c_str(), REG_OPTION_OPEN_LINK, MAXIMUM_ALLOWED | view, &h);
  if (rc != ERROR_SUCCESS) return rc;
  Key itself(reinterpret_cast<uintptr_t>(h), view);
  Key followed;
  std::wstring own, reached;
  if (!KeyName(h, &own)) return ERROR_ACCESS_DENIED;
  *link =
      OpenBelow(parent, path, &followed, view) != ERROR_SUCCESS || !KeyName(H(followed), &reached) || reached != own;
  *key = std::move(itself);
  return ERROR_SUCCESS;
}

// Deletes the very key the handle holds, a link as a link.
long DeleteOpened(const Key& key) {
  using DeleteKey = LONG(WINAPI*)(HANDLE);
  using ToWin32 = ULONG(WINAPI*)(LONG);
  static auto deleteKey = Native<DeleteKey>("NtDeleteKey");
  static auto toWin32 = Native<ToWin32>("RtlNtStatusToDosError");
  if (!deleteKey || !toWin32) return ERROR_CALL_NOT_IMPLEMENTED;
  return (long)toWin32(deleteKey(H(key)));
}

// A link is made only where nothing stands: an existing key of that name would be
// opened, and a link there followed.
long CreateLinkBelow(HKEY parent, const std::wstring& path, Key* key, View view) {
  HKEY h = nullptr;
  DWORD disposition = 0;
  LONG rc = RegCreateKeyExW(parent, path.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                            KEY_ALL_ACCESS | KEY_CREATE_LINK | view, nullptr, &h, &disposition);
  if (rc != ERROR_SUCCESS) return rc;
  Key created(reinterpret_cast<uintptr_t>(h), view);
  if (disposition != REG_CREATED_NEW_KEY) return ERROR_ALREADY_EXISTS;
  *key = std::move(created);
  return ERROR_SUCCESS;
}

// Sizes: names in characters, data in bytes. The name comes back counted, so a
// name with a NUL inside is read whole.
long EnumValueInto(const Key& key, DWORD index, DWORD nameCount, DWORD dataLength, Value* value) {
  std::vector<wchar_t> name(nameCount + 1);
  std::vector<BYTE> data(dataLength + 2);
  DWORD nameRead = nameCount + 1;
  DWORD dataRead = dataLength;
  DWORD type = 0;
  LONG rc = RegEnumValueW(H(key), index, name.data(), &nameRead, nullptr, &type, data.data(), &dataRead);
  if (rc != ERROR_SUCCESS) return rc;
  value->name.assign(name.data(), nameRead);
  value->data.assign(reinterpret_cast<char*>(data.data()), dataRead);
  value->type = type;
  return rc;
}

// The key's longest subkey name and value name (characters) and value data (bytes).
long QueryMaxima(const Key& key, DWORD* subkeyName, DWORD* valueName, DWORD* valueData) {
  return RegQueryInfoKeyW(H(key), nullptr, nullptr, nullptr, nullptr, subkeyName, nullptr, nullptr, valueName,
                          valueData, nullptr, nullptr);
}

// Text data as stored; an odd last byte is no character.
std::wstring Utf16(const std::string& data) {
  std::wstring text(data.size() / 2, L'\0');
  if (!text.empty()) memcpy(&text[0], data.data(), text.size() * 2);
  return text;
}

bool HasNul(const std::wstring& name) { return name.find(L'\0') != std::wstring::npos; }

// The native call takes a counted name, so it reaches a value whose name holds a
// NUL, which every Reg* call would cut short and so mistake for another value.
long DeleteCountedName(const Key& key, const std::wstring& name) {
  struct CountedName {
    USHORT length, capacity;
    const wchar_t* text;
  };
  using DeleteValueKey = LONG(WINAPI*)(HANDLE, const CountedName*);
  static auto deleteValueKey = Native<DeleteValueKey>("NtDeleteValueKey");
  if (!deleteValueKey || name.size() > 32767) return ERROR_INVALID_PARAMETER;
  CountedName counted = {(USHORT)(name.size() * 2), (USHORT)(name.size() * 2), name.data()};
  LONG status = deleteValueKey(H(key), &counted);
  if (status == 0) return ERROR_SUCCESS;
  return status == (LONG)0xC0000034 ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;  // name not found, or refused
}

// A name with a NUL inside cannot be asked for by name: find it among the values.
long QueryByEnumeration(const Key& key, const std::wstring& name, Value* value) {
  Value entry;
  long rc;
  for (DWORD index = 0; (rc = EnumValue(key, index, &entry, true)) == ERROR_SUCCESS; index++) {
    if (entry.name != name) continue;
    *value = entry;
    return ERROR_SUCCESS;
  }
  return rc == ERROR_NO_MORE_ITEMS ? ERROR_FILE_NOT_FOUND : rc;
}

long EnumWholeValue(const Key& key, DWORD index, Value* value) { return EnumValue(key, index, value, true); }

// Reads entries 0, 1, ... until the key has no more: all of them or, on an error, nothing.
template <typename Entry, typename Enumerate>
long ReadAllOf(const Key& key, Enumerate enumerate, std::vector<Entry>* entries) {
  std::vector<Entry> read;
  Entry entry;
  long rc;
  for (DWORD index = 0; (rc = enumerate(key, index, &entry)) == ERROR_SUCCESS; index++) read.push_back(entry);
  if (rc != ERROR_NO_MORE_ITEMS) return rc;
  entries->swap(read);
  return ERROR_SUCCESS;
}

template <typename Entry, typename Enumerate>
long ReadAll(Root root, const std::wstring& path, View view, Enumerate enumerate, std::vector<Entry>* entries) {
  Key key;
  long rc = Open(root, path, &key, view);
  if (rc != ERROR_SUCCESS) return rc;
  return ReadAllOf(key, enumerate, entries);
}

long ReadTreeOf(const Key& key, bool link, int depth, Tree* tree);

long ReadEntry(HKEY parent, const std::wstring& path, View view, int depth, Tree* tree) {
  Key key;
  bool link = false;
  long rc = OpenEntry(parent, path, view, &key, &link);
  return rc == ERROR_SUCCESS ? ReadTreeOf(key, link, depth, tree) : rc;
}

// A link holds its target in a value; what lies beyond it is not part of the tree.
long ReadTreeOf(const Key& key, bool link, int depth, Tree* tree) {
  if (depth > kDeepestKey) return ERROR_CANT_RESOLVE_FILENAME;
  Tree read;
  read.link = link;
  std::vector<std::wstring> names;
  long rc = ReadAllOf(key, EnumWholeValue, &read.values);
  if (rc == ERROR_SUCCESS && !link) rc = ReadAllOf(key, EnumKey, &names);
  for (size_t i = 0; rc == ERROR_SUCCESS && i < names.size(); i++) {
    read.subkeys.emplace_back();
    rc = ReadEntry(H(key), names[i], key.Of(), depth + 1, &read.subkeys.back());
    read.subkeys.back().name = names[i];
  }
  if (rc != ERROR_SUCCESS) return rc;
  read.name = tree->name;
  *tree = std::move(read);
  return ERROR_SUCCESS;
}

long CreateEntry(HKEY parent, const std::wstring& path, bool link, Key* key, View view) {
  return link ? CreateLinkBelow(parent, path, key, view) : CreateBelow(parent, path, key, view);
}

long WriteTreeTo(const Key& key, const Tree& tree) {
  for (const Value& value : tree.values) {
    long rc = SetValue(key, value.name, value.type, value.data);
    if (rc != ERROR_SUCCESS) return rc;
  }
  for (const Tree& subtree : tree.subkeys) {
    Key subkey;
    long rc = CreateEntry(H(key), subtree.name, subtree.link, &subkey, key.Of());
    if (rc != ERROR_SUCCESS) return rc;
    rc = WriteTreeTo(subkey, subtree);
    if (rc != ERROR_SUCCESS) return rc;
  }
  return ERROR_SUCCESS;
}

long DeleteEntry(HKEY parent, const std::wstring& path, View view, int depth);

// Each deletion moves the next subkey down to index 0.
long DeleteSubkeys(const Key& key, int depth) {
  std::wstring name;
  long rc;
  while ((rc = EnumKey(key, 0, &name)) == ERROR_SUCCESS) {
    rc = DeleteEntry(H(key), name, key.Of(), depth + 1);
    if (rc != ERROR_SUCCESS) return rc;
  }
  return rc == ERROR_NO_MORE_ITEMS ? ERROR_SUCCESS : rc;
}

// The system refuses to delete a key that still has subkeys: deepest first. A
// link goes as a link; its target stays.
long DeleteEntry(HKEY parent, const std::wstring& path, View view, int depth) {
  if (depth > kDeepestKey) return ERROR_CANT_RESOLVE_FILENAME;
  Key key;
  bool link = false;
  long rc = OpenEntry(parent, path, view, &key, &link);
  if (rc == ERROR_SUCCESS && !link) rc = DeleteSubkeys(key, depth);
  return rc == ERROR_SUCCESS ? DeleteOpened(key) : rc;
}

std::wstring Parent(const std::wstring& path) {
  size_t slash = path.rfind(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace

Key::~Key() {
  if (handle_) RegCloseKey(H(handle_));
}

Key::Key(Key&& other) noexcept : handle_(std::exchange(other.handle_, 0)), view_(other.view_) {}

Key& Key::operator=(Key&& other) noexcept {
  if (this == &other) return *this;
  if (handle_) RegCloseKey(H(handle_));
  handle_ = std::exchange(other.handle_, 0);
  view_ = other.view_;
  return *this;
}

bool operator==(const Value& a, const Value& b) { return a.name == b.name && a.type == b.type && a.data == b.data; }

bool operator==(const Tree& a, const Tree& b) {
  return a.name == b.name && a.link == b.link && a.values == b.values && a.subkeys == b.subkeys;
}

bool Value::IsText() const { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

std::wstring Value::Text() const {
  std::wstring raw = IsText() ? Utf16(data) : Text::FromAnsi(data);
  raw.erase(raw.find_last_not_of(L'\0') + 1);  // npos + 1 empties a text of NULs only
  std::wstring text;
  for (wchar_t c : raw) {
    if (c == L'\0')
      text += kPartSeparator;
    else
      text += c;
  }
  return text;
}

// A key missing from a view takes its sharing from its nearest parent both views
// hold: the views share or split whole subtrees, and a check may create the key.
std::vector<View> ViewsOf(Root root, const std::wstring& path) {
  if (!System::Is64BitWindows()) return {Own};
  for (std::wstring key = path;; key = Parent(key)) {
    std::wstring native, wow;
    if (FullName(root, key, Bits64, &native) && FullName(root, key, Bits32, &wow))
      return native == wow ? std::vector<View>{Bits64} : std::vector<View>{Bits64, Bits32};
    if (key.empty()) return {Bits64, Bits32};
  }
}

View NativeView() { return System::Is64BitWindows() ? Bits64 : Own; }

bool Reaches64(View view) { return view == Bits64 || (view == Own && sizeof(void*) == 8); }

View View32() { return System::Is64BitWindows() ? Bits32 : Own; }

long Open(Root root, const std::wstring& path, Key* key, View view) { return OpenBelow(H(root), path, key, view); }

long Create(Root root, const std::wstring& path, Key* key, View view) { return CreateBelow(H(root), path, key, view); }

long EnumValue(const Key& key, unsigned long index, Value* value, bool whole) {
  if (!whole) return EnumValueInto(key, index, ShortBuffer, ShortBuffer, value);
  for (int attempt = 0; attempt < kAttempts; attempt++) {
    DWORD maxName = 0, maxData = 0;
    LONG rc = QueryMaxima(key, nullptr, &maxName, &maxData);
    if (rc != ERROR_SUCCESS) return rc;
    rc = EnumValueInto(key, index, maxName + 1, maxData + 2, value);
    if (rc != ERROR_MORE_DATA) return rc;
  }
  return ERROR_MORE_DATA;
}

long EnumKey(const Key& key, unsigned long index, std::wstring* name) {
  for (int attempt = 0; attempt < kAttempts; attempt++) {
    DWORD maxName = 0;
    LONG rc = QueryMaxima(key, &maxName, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    std::vector<wchar_t> buffer(maxName + 2);
    DWORD length = (DWORD)buffer.size();
    rc = RegEnumKeyExW(H(key), index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_MORE_DATA) continue;
    if (rc == ERROR_SUCCESS) name->assign(buffer.data(), length);
    return rc;
  }
  return ERROR_MORE_DATA;
}

long QueryValue(const Key& key, const std::wstring& name, Value* value) {
  if (HasNul(name)) return QueryByEnumeration(key, name, value);
  for (int attempt = 0; attempt < kAttempts; attempt++) {
    DWORD type = 0, size = 0;
    LONG rc = RegQueryValueExW(H(key), name.c_str(), nullptr, &type, nullptr, &size);
    if (rc != ERROR_SUCCESS) return rc;
    // Spare bytes: the system may end unterminated text with a NUL it does not count.
    std::vector<BYTE> data(size + 2);
    DWORD length = (DWORD)data.size();
    rc = RegQueryValueExW(H(key), name.c_str(), nullptr, &type, data.data(), &length);
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
  if (HasNul(name)) return ERROR_INVALID_PARAMETER;
  // Like NT, the system counts one byte more for text whose next byte is NUL; a
  // byte other than NUL after the data keeps the count as given.
  std::string guarded = data + "\x01\x01";
  return RegSetValueExW(H(key), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(guarded.data()),
                        (DWORD)data.size());
}

long SetString(const Key& key, const std::wstring& name, const std::wstring& text) {
  std::string data(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * 2);
  return SetValue(key, name, TypeSz, data);
}

long DeleteValue(const Key& key, const std::wstring& name) {
  if (HasNul(name)) return DeleteCountedName(key, name);
  return RegDeleteValueW(H(key), name.c_str());
}

long ReadValues(Root root, const std::wstring& path, std::vector<Value>* values, View view) {
  return ReadAll(root, path, view, EnumWholeValue, values);
}

long ReadSubkeys(Root root, const std::wstring& path, std::vector<std::wstring>* names, View view) {
  return ReadAll(root, path, view, EnumKey, names);
}

long DeleteValue(Root root, const std::wstring& path, const std::wstring& name, View view) {
  Key key;
  long rc = Open(root, path, &key, view);
  if (rc != ERROR_SUCCESS) return rc;
  return DeleteValue(key, name);
}

bool Holds(Root root, const std::wstring& path, const Value& shown, View view) {
  Key key;
  Value now;
  if (Open(root, path, &key, view) != ERROR_SUCCESS || QueryValue(key, shown.name, &now) != ERROR_SUCCESS) return false;
  return now.type == shown.type && now.data == shown.data;
}

long DeleteTree(Root root, const std::wstring& path, View view) {
  // An empty path would name the root itself: never empty a whole hive.
  if (path.empty()) return ERROR_INVALID_PARAMETER;
  return DeleteEntry(H(root), path, view, 0);
}

bool Refused(Root root, const std::wstring& path, bool wholeKey, View view) {
  HKEY h = nullptr;
  REGSAM access = (wholeKey ? DELETE : KEY_SET_VALUE) | view;  // Own adds no flag
  LONG rc = RegOpenKeyExW(H(root), path.c_str(), wholeKey ? REG_OPTION_OPEN_LINK : 0, access, &h);
  if (rc == ERROR_SUCCESS) RegCloseKey(h);
  return rc == ERROR_ACCESS_DENIED;
}

long ReadTree(Root root, const std::wstring& path, Tree* tree, View view) {
  return ReadEntry(H(root), path, view, 0, tree);
}

long WriteTree(Root root, const std::wstring& path, const Tree& tree, View view) {
  Key key;
  long rc = CreateEntry(H(root), path, tree.link, &key, view);
  return rc == ERROR_SUCCESS ? WriteTreeTo(key, tree) : rc;
}

}  // namespace Reg
