// Registry access through the wide calls, so names and texts reach the program
// exactly as stored, whatever the code page. Keys are opened, used and closed
// within one operation; results are the Win32 codes, and a failing call leaves
// its output untouched. Names are counted (a NUL inside one is kept); data are
// the raw bytes, text types as UTF-16.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace Reg {

// The predefined root keys: plain values, never opened or closed. They are the
// 32-bit numbers 0x80000000... sign-extended, as the system's handles are in a
// 64-bit program; files keep their low 32 bits.
enum Root : intptr_t {
  ClassesRoot = -0x7FFFFFFF - 1,  // 0x80000000
  CurrentUser = -0x7FFFFFFF,      // 0x80000001
  LocalMachine = -0x7FFFFFFE,     // 0x80000002
};

// Which registry a call reaches on 64-bit Windows, where HKLM\Software and the class
// registrations have a 64-bit and a 32-bit view (Wow6432Node). Own adds no flag:
// the program's own view, the 32-bit one for the 32-bit build and the 64-bit one
// for the 64-bit build.
enum View : unsigned long {
  Own = 0,
  Bits64 = 0x0100,  // KEY_WOW64_64KEY
  Bits32 = 0x0200,  // KEY_WOW64_32KEY
};

// An opened key; it closes itself. Move-only, so exactly one owner closes it.
class Key {
 public:
  Key() = default;
  // Takes over an opened handle; keys below it are reached in the same view.
  explicit Key(uintptr_t handle, View view = Own) : handle_(handle), view_(view) {}
  ~Key();
  Key(Key&& other) noexcept;
  Key& operator=(Key&& other) noexcept;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;

  uintptr_t Handle() const { return handle_; }
  View Of() const { return view_; }

 private:
  uintptr_t handle_ = 0;
  View view_ = Own;
};

// The views a place is examined in: Own on 32-bit Windows; on 64-bit Windows the
// 64-bit view, and the 32-bit view too unless the two name the same key there.
std::vector<View> ViewsOf(Root root, const std::wstring& path);
// Where the program writes what Windows itself should read: the 64-bit view on
// 64-bit Windows, else Own.
View NativeView();
// Whether calls in `view` reach the 64-bit registry of 64-bit Windows (Own does in
// the 64-bit build).
bool Reaches64(View view);
// The view that reaches the 32-bit registry: Bits32 on 64-bit Windows, else Own.
View View32();

constexpr long Ok = 0;
constexpr long NotFound = 2;
constexpr long MoreData = 234;
constexpr long NoMoreItems = 259;

constexpr unsigned long TypeSz = 1;
constexpr unsigned long TypeExpandSz = 2;
constexpr unsigned long TypeDword = 4;
constexpr unsigned long TypeMultiSz = 7;

// Size of the fixed buffers the enumerations historically used.
constexpr unsigned long ShortBuffer = 255;

// How Value::Text shows the NULs between parts of a value.
constexpr wchar_t kPartSeparator[] = L" | ";

struct Value {
  std::wstring name;  // "" is the key's default value
  std::string data;   // raw bytes as stored
  unsigned long type = 0;
  // REG_SZ, REG_EXPAND_SZ or REG_MULTI_SZ: UTF-16 data.
  bool IsText() const;
  // The data as text, UTF-16 for the text types and the bytes read in the ANSI
  // code page for any other type. Every part is shown: NULs inside the data (the
  // parts of a REG_MULTI_SZ, or text hidden behind a NUL) read as kPartSeparator;
  // only the NULs that end the data are dropped.
  std::wstring Text() const;
};
bool operator==(const Value& a, const Value& b);

// A key with everything under it, as stored. A symbolic link to another key is
// kept as the link itself: its values (the target's name in "SymbolicLinkValue")
// and never what it leads to.
struct Tree {
  std::wstring name;  // below its parent; "" for the key read or written itself
  bool link = false;
  std::vector<Value> values;
  std::vector<Tree> subkeys;  // none for a link
};
bool operator==(const Tree& a, const Tree& b);

long Open(Root root, const std::wstring& path, Key* key, View view = Own);
long Create(Root root, const std::wstring& path, Key* key, View view = Own);

// Reads value number `index`. With `whole` false the name and data must fit
// 255-byte buffers (MoreData otherwise); with `whole` true any size is read.
long EnumValue(const Key& key, unsigned long index, Value* value, bool whole);
// Reads the name of subkey number `index` whole.
long EnumKey(const Key& key, unsigned long index, std::wstring* name);
// Reads one value whole, whatever its size; the name "" reads the default value.
long QueryValue(const Key& key, const std::wstring& name, Value* value);
// Stores the bytes exactly as given, with any type. A name with a NUL inside is
// refused: the wide call would cut it short and write another value.
long SetValue(const Key& key, const std::wstring& name, unsigned long type, const std::string& data);
long SetString(const Key& key, const std::wstring& name, const std::wstring& text);
long DeleteValue(const Key& key, const std::wstring& name);

// Whole-key operations that open and close the key themselves. A walk over a
// snapshot deletes by name, so a removal never makes it skip the next entry and
// nothing added or removed meanwhile changes what it examines.
long ReadValues(Root root, const std::wstring& path, std::vector<Value>* values, View view = Own);
long ReadSubkeys(Root root, const std::wstring& path, std::vector<std::wstring>* names, View view = Own);
long DeleteValue(Root root, const std::wstring& path, const std::wstring& name, View view = Own);
// The value named as `shown` is still stored there with the same type and bytes:
// a repair changes only what the user decided on.
bool Holds(Root root, const std::wstring& path, const Value& shown, View view = Own);
// The tree operations open the key and every key below it as itself: a symbolic
// link is read, deleted and written as a link, and never followed, so they stay
// inside the tree they were given. A walk deeper than the registry nests keys
// stops with ERROR_CANT_RESOLVE_FILENAME.
//
// Deletes the key with all its subkeys, deepest first: the system refuses to
// delete a key that still has subkeys.
long DeleteTree(Root root, const std::wstring& path, View view = Own);
// The system refuses this program the change of a place: the values of the key at
// `path`, or with `wholeKey` the key itself. False when the key is missing or may
// be changed.
bool Refused(Root root, const std::wstring& path, bool wholeKey, View view = Own);
// Reads a key with all its values and subkeys, whole; `tree` is left untouched on
// any error.
long ReadTree(Root root, const std::wstring& path, Tree* tree, View view = Own);
// Creates the key and writes every value and subkey of `tree` into it; what the
// key already holds stays unless `tree` overwrites it. A link is created only
// where no key of its name stands (ERROR_ALREADY_EXISTS).
long WriteTree(Root root, const std::wstring& path, const Tree& tree, View view = Own);

}  // namespace Reg
