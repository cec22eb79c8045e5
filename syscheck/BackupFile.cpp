#include "syscheck/BackupFile.h"

#include <cstdio>

#include "platform/Text.h"

namespace ModuleBackup {
namespace {

const char kHeader[] = "Zorvane registry backup 1";
// The registry nests keys at most 512 deep; a deeper file is damaged.
constexpr int kDeepestKey = 512;

// --- writing ---

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (unsigned char byte : bytes) {
    hex += digits[byte >> 4];
    hex += digits[byte & 15];
  }
  return hex;
}

std::string Hex(const std::wstring& text) {
  std::string bytes;
  for (wchar_t unit : text) {
    bytes += (char)(unit & 0xFF);
    bytes += (char)(unit >> 8);
  }
  return Hex(bytes);
}

void Line(std::string* out, const char* label, const std::string& value) {
  *out += label;
  *out += ' ';
  *out += value;
  *out += "\r\n";
}

void WriteValue(std::string* out, const Reg::Value& value) {
  Line(out, "type", std::to_string(value.type));
  Line(out, "data", Hex(value.data));
}

void WriteTree(std::string* out, const Reg::Tree& tree) {
  if (tree.link) Line(out, "link", "");
  Line(out, "values", std::to_string(tree.values.size()));
  for (const Reg::Value& value : tree.values) {
    Line(out, "value", Hex(value.name));
    WriteValue(out, value);
  }
  Line(out, "subkeys", std::to_string(tree.subkeys.size()));
  for (const Reg::Tree& subkey : tree.subkeys) {
    Line(out, "subkey", Hex(subkey.name));
    WriteTree(out, subkey);
  }
}

void WriteState(std::string* out, const char* label, const Place& place, const State& state) {
  Line(out, label, state.present ? "present" : "absent");
  if (!state.present) return;
  if (place.file)
    Line(out, "data", Hex(state.value.data));
  else if (place.wholeKey)
    WriteTree(out, state.tree);
  else
    WriteValue(out, state.value);
}

void WritePlace(std::string* out, const Place& place) {
  if (place.file) {
    Line(out, "place", place.task ? "task" : "file");
    Line(out, "path", Hex(place.path));
    return;
  }
  char root[16];
  snprintf(root, sizeof root, "%08X", (unsigned)place.root);
  Line(out, "place", place.wholeKey ? "key" : "value");
  Line(out, "root", root);
  Line(out, "view", Reg::Reaches64(place.view) ? "64" : "32");
  Line(out, "path", Hex(place.path));
  if (!place.wholeKey) Line(out, "name", Hex(place.name));
}

void WriteChange(std::string* out, const Change& change) {
  const Place& place = change.place;
  WritePlace(out, place);
  WriteState(out, "before", place, change.before);
  if (change.afterKnown)
    WriteState(out, "after", place, change.after);
  else
    Line(out, "after", "unknown");
}

// --- reading: every field checked, nothing taken on trust ---

struct Reader {
  std::vector<std::string> lines;
  size_t next = 0;

  size_t Left() const { return lines.size() - next; }
  bool Field(const char* label, std::string* value) {
    if (next >= lines.size()) return false;
    const std::string& line = lines[next];
    std::string head = std::string(label) + ' ';
    if (line.compare(0, head.size(), head) != 0) return false;
    *value = line.substr(head.size());
    next++;
    return true;
  }
  bool Is(const char* label, const char* expected) {
    std::string value;
    return Field(label, &value) && value == expected;
  }
};

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool Unhex(const std::string& hex, std::string* bytes) {
  if (hex.size() % 2) return false;
  std::string out(hex.size() / 2, '\0');
  for (size_t i = 0; i < out.size(); i++) {
    int high = HexDigit(hex[2 * i]), low = HexDigit(hex[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    out[i] = (char)(high * 16 + low);
  }
  bytes->swap(out);
  return true;
}

bool ReadHexText(Reader* in, const char* label, std::wstring* text) {
  std::string hex, bytes;
  if (!in->Field(label, &hex) || !Unhex(hex, &bytes) || bytes.size() % 2) return false;
  text->assign(bytes.size() / 2, L'\0');
  for (size_t i = 0; i < text->size(); i++)
    (*text)[i] = (wchar_t)((unsigned char)bytes[2 * i] | ((unsigned char)bytes[2 * i + 1] << 8));
  return true;
}

bool ReadNumber(Reader* in, const char* label, unsigned long max, unsigned long* number) {
  std::string digits;
  if (!in->Field(label, &digits) || digits.empty() || digits.size() > 10) return false;
  if (digits.find_first_not_of("0123456789") != std::string::npos) return false;
  unsigned long long parsed = std::stoull(digits);
  if (parsed > max) return false;
  *number = (unsigned long)parsed;
  return true;
}

bool ReadValue(Reader* in, Reg::Value* value) {
  std::string hex;
  return ReadNumber(in, "type", 0xFFFFFFFFu, &value->type) && in->Field("data", &hex) && Unhex(hex, &value->data);
}

// Each entry takes at least one line, so a count beyond the lines left is damage.
bool ReadTree(Reader* in, int depth, Reg::Tree* tree) {
  unsigned long count = 0;
  std::string none;
  tree->link = in->Field("link", &none);
  if (depth > kDeepestKey || !none.empty() || !ReadNumber(in, "values", in->Left(), &count)) return false;
  tree->values.resize(count);
  for (Reg::Value& value : tree->values)
    if (!ReadHexText(in, "value", &value.name) || !ReadValue(in, &value)) return false;
  if (!ReadNumber(in, "subkeys", tree->link ? 0 : in->Left(), &count)) return false;  // a link holds no keys
  tree->subkeys.resize(count);
  for (Reg::Tree& subkey : tree->subkeys)
    if (!ReadHexText(in, "subkey", &subkey.name) || !ReadTree(in, depth + 1, &subkey)) return false;
  return true;
}

bool ReadState(Reader* in, const char* label, const Place& place, State* state, bool* known) {
  std::string word;
  if (!in->Field(label, &word)) return false;
  *known = word != "unknown";
  state->present = word == "present";
  if (word != "present") return word == "absent" || (word == "unknown" && std::string(label) == "after");
  std::string hex;
  if (place.file) return in->Field("data", &hex) && Unhex(hex, &state->value.data);
  if (place.wholeKey) return ReadTree(in, 0, &state->tree);
  state->value.name = place.name;
  return ReadValue(in, &state->value);
}

bool ReadRoot(Reader* in, Reg::Root* root) {
  std::string hex, bytes;
  if (!in->Field("root", &hex) || hex.size() != 8 || !Unhex(hex, &bytes)) return false;
  uint32_t number = (uint32_t)std::stoul(hex, nullptr, 16);
  for (Reg::Root known : {Reg::ClassesRoot, Reg::CurrentUser, Reg::LocalMachine}) {
    if (number != (uint32_t)known) continue;
    *root = known;
    return true;
  }
  return false;
}

// The file names the registry, not the build that wrote it: either build restores
// a backup of the other in the same view.
bool ReadView(Reader* in, Reg::View* view) {
  std::string bits;
  if (!in->Field("view", &bits) || (bits != "32" && bits != "64")) return false;
  *view = bits == "64" ? Reg::Bits64 : Reg::View32();
  return true;
}

bool ReadPlace(Reader* in, Place* place) {
  std::string kind;
  if (!in->Field("place", &kind) || (kind != "key" && kind != "value" && kind != "file" && kind != "task"))
    return false;
  place->wholeKey = kind == "key";
  place->task = kind == "task";
  place->file = kind == "file" || place->task;
  if (place->file) return ReadHexText(in, "path", &place->path) && !place->path.empty();
  if (!ReadRoot(in, &place->root) || !ReadView(in, &place->view) || !ReadHexText(in, "path", &place->path))
    return false;
  if (place->path.empty()) return false;  // would name a whole hive
  return place->wholeKey || ReadHexText(in, "name", &place->name);
}

bool ReadChange(Reader* in, Change* change) {
  bool known = true;
  return ReadPlace(in, &change->place) && ReadState(in, "before", change->place, &change->before, &known) && known &&
         ReadState(in, "after", change->place, &change->after, &change->afterKnown);
}

}  // namespace

Place ValuePlace(Reg::Root root, const std::wstring& path, const std::wstring& name, Reg::View view) {
  Place place;
  place.root = root;
  place.path = path;
  place.name = name;
  place.view = view;
  return place;
}

Place KeyPlace(Reg::Root root, const std::wstring& path, Reg::View view) {
  Place place = ValuePlace(root, path, std::wstring(), view);
  place.wholeKey = true;
  return place;
}

Place FilePlace(const std::wstring& path) {
  Place place;
  place.path = path;
  place.file = true;
  return place;
}

Place TaskPlace(const std::wstring& file) {
  Place place = FilePlace(file);
  place.task = true;
  return place;
}

bool operator==(const State& a, const State& b) {
  if (a.present != b.present) return false;
  return !a.present || (a.value == b.value && a.tree == b.tree);
}

std::string Format(const Backup& backup) {
  std::string out = std::string(kHeader) + "\r\n";
  Line(&out, "time", Text::ToAnsi(backup.time));
  Line(&out, "tag", Hex(backup.tag));
  Line(&out, "subject", Hex(backup.subject));
  Line(&out, "changes", std::to_string(backup.changes.size()));
  for (const Change& change : backup.changes) WriteChange(&out, change);
  out += "end\r\n";
  return out;
}

bool Parse(const std::string& text, Backup* backup) {
  Reader in;
  in.lines = SplitLines(text);
  if (in.lines.empty() || in.lines[0] != kHeader) return false;
  in.next = 1;
  Backup read;
  std::string time;
  unsigned long count = 0;
  if (!in.Field("time", &time) || time.size() != 19 || time.find_first_not_of("0123456789-: ") != std::string::npos)
    return false;
  read.time = Text::FromAnsi(time);
  if (!ReadHexText(&in, "tag", &read.tag) || !ReadHexText(&in, "subject", &read.subject)) return false;
  if (!ReadNumber(&in, "changes", in.Left(), &count) || count == 0) return false;
  read.changes.resize(count);
  for (Change& change : read.changes)
    if (!ReadChange(&in, &change)) return false;
  if (in.next + 1 != in.lines.size() || in.lines[in.next] != "end" || text.size() < 2 ||
      text.compare(text.size() - 2, 2, "\r\n") != 0)
    return false;
  read.file = backup->file;
  *backup = std::move(read);
  return true;
}

}  // namespace ModuleBackup
