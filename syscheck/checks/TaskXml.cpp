#include "syscheck/checks/TaskXml.h"

namespace TaskXml {
namespace {

using std::wstring;

constexpr size_t npos = wstring::npos;
constexpr wchar_t kReplacement = 0xFFFD;

void AppendCodePoint(wstring* out, unsigned long code) {
  if (code < 0x10000) {
    *out += (wchar_t)code;
    return;
  }
  code -= 0x10000;
  *out += (wchar_t)(0xD800 + (code >> 10));
  *out += (wchar_t)(0xDC00 + (code & 0x3FF));
}

bool IsCodePoint(unsigned long code) { return code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF); }

// A byte that does not start a whole, shortest-form sequence reads as U+FFFD.
wstring FromUtf8(const std::string& bytes, size_t start) {
  static const unsigned long kLeast[] = {0, 0x80, 0x800, 0x10000};
  wstring out;
  for (size_t i = start; i < bytes.size();) {
    unsigned char lead = (unsigned char)bytes[i];
    int extra = lead < 0x80 ? 0 : (lead >> 5) == 6 ? 1 : (lead >> 4) == 14 ? 2 : (lead >> 3) == 30 ? 3 : -1;
    bool whole = extra >= 0 && i + extra < bytes.size();
    unsigned long code = whole ? lead & (extra == 0 ? 0x7F : 0x3F >> extra) : 0;
    for (int k = 1; whole && k <= extra; k++) {
      unsigned char next = (unsigned char)bytes[i + k];
      whole = (next & 0xC0) == 0x80;
      code = code << 6 | (next & 0x3F);
    }
    if (!whole || code < kLeast[extra] || (code != 0 && !IsCodePoint(code))) {
      out += kReplacement;
      i++;
      continue;
    }
    AppendCodePoint(&out, code);
    i += extra + 1;
  }
  return out;
}

// An odd last byte is part of nothing and is left out.
wstring FromUtf16(const std::string& bytes, size_t start, bool bigEndian) {
  wstring out;
  for (size_t i = start; i + 1 < bytes.size(); i += 2) {
    unsigned first = (unsigned char)bytes[i], second = (unsigned char)bytes[i + 1];
    out += (wchar_t)(bigEndian ? first << 8 | second : second << 8 | first);
  }
  return out;
}

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

wstring Trim(const wstring& text) {
  size_t start = 0, end = text.size();
  while (start < end && IsSpace(text[start])) start++;
  while (end > start && IsSpace(text[end - 1])) end--;
  return text.substr(start, end - start);
}

bool StartsAt(const wstring& text, size_t at, const wchar_t* head) { return text.compare(at, wcslen(head), head) == 0; }

// "&#N;" or "&#xN;": `digits` is what lies between "#" and ";".
bool CharacterReference(const wstring& digits, wstring* out) {
  bool hex = !digits.empty() && digits[0] == L'x';
  wstring number = hex ? digits.substr(1) : digits;
  if (number.empty() || number.size() > 8) return false;
  unsigned long code = 0;
  for (wchar_t c : number) {
    int digit = c >= L'0' && c <= L'9'          ? c - L'0'
                : hex && c >= L'a' && c <= L'f' ? c - L'a' + 10
                : hex && c >= L'A' && c <= L'F' ? c - L'A' + 10
                                                : -1;
    if (digit < 0) return false;
    code = code * (hex ? 16 : 10) + digit;
  }
  if (!IsCodePoint(code)) return false;
  AppendCodePoint(out, code);
  return true;
}

// Character data with its references replaced; false for an unknown or broken one.
bool Unescape(const wstring& raw, wstring* out) {
  static const struct {
    const wchar_t* name;
    wchar_t character;
  } kNamed[] = {{L"amp", L'&'}, {L"lt", L'<'}, {L"gt", L'>'}, {L"quot", L'"'}, {L"apos", L'\''}};
  for (size_t i = 0; i < raw.size(); i++) {
    if (raw[i] != L'&') {
      *out += raw[i];
      continue;
    }
    size_t semicolon = raw.find(L';', i);
    if (semicolon == npos) return false;
    wstring name = raw.substr(i + 1, semicolon - i - 1);
    bool known = !name.empty() && name[0] == L'#' && CharacterReference(name.substr(1), out);
    for (const auto& named : kNamed)
      if (!known && name == named.name) {
        *out += named.character;
        known = true;
      }
    if (!known) return false;
    i = semicolon;
  }
  return true;
}

// The '>' that ends the tag starting at `at`; a '>' inside a quoted attribute value
// does not. npos when the tag never ends.
size_t TagEnd(const wstring& text, size_t at) {
  wchar_t quote = 0;
  for (size_t i = at; i < text.size(); i++) {
    wchar_t c = text[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == L'"' || c == L'\'') {
      quote = c;
    } else if (c == L'>' || c == L'<') {
      return c == L'>' ? i : npos;
    }
  }
  return npos;
}

// The name without its namespace prefix.
wstring Local(const wstring& name) { return name.substr(name.rfind(L':') + 1); }

struct Reading {
  wstring text;
  size_t at = 0;
  std::vector<wstring> open;  // the names of the elements open here, outermost first
  bool rooted = false;        // the root element has begun
  Action exec;                // the Exec action being read
  std::vector<Action> actions;

  // The local name of the element `up` levels above the innermost one, if any.
  wstring Above(size_t up) const { return open.size() > up ? Local(open[open.size() - 1 - up]) : wstring(); }
  bool InExec() const { return Above(0) == L"Exec" && Above(1) == L"Actions"; }
  // The field of the Exec action whose text is read here, if any.
  wstring* Field() {
    if (Above(1) != L"Exec" || Above(2) != L"Actions") return nullptr;
    if (Above(0) == L"Command") return &exec.command;
    return Above(0) == L"Arguments" ? &exec.arguments : nullptr;
  }
};

// Text outside the root element may only be white space.
bool AddText(Reading* r, const wstring& text) {
  if (r->open.empty()) return Trim(text).empty();
  wstring* field = r->Field();
  return field ? (*field += text, true) : true;
}

void Open(Reading* r, const wstring& name) {
  r->open.push_back(name);
  if (r->InExec()) r->exec = Action();
  if (wstring* field = r->Field()) field->clear();
}

void Close(Reading* r) {
  if (wstring* field = r->Field()) *field = Trim(*field);
  if (r->InExec() && !r->exec.command.empty()) r->actions.push_back(r->exec);
  r->open.pop_back();
}

// "<!--...-->", "<![CDATA[...]]>", "<?...?>": false when it does not end.
bool Special(Reading* r, bool* handled) {
  const wstring& text = r->text;
  *handled = true;
  if (StartsAt(text, r->at, L"<![CDATA[")) {
    size_t end = text.find(L"]]>", r->at + 9);
    if (end == npos || r->open.empty()) return false;
    AddText(r, text.substr(r->at + 9, end - r->at - 9));
    r->at = end + 3;
    return true;
  }
  const wchar_t* close = StartsAt(text, r->at, L"<!--") ? L"-->" : StartsAt(text, r->at, L"<?") ? L"?>" : nullptr;
  if (!close) {
    *handled = false;
    return true;
  }
  size_t end = text.find(close, r->at + 2);
  if (end == npos) return false;
  r->at = end + wcslen(close);
  return true;
}

// A start or end tag at `r->at`. A declaration ("<!DOCTYPE", which could define
// entities of its own) is no part of a task file.
bool Tag(Reading* r) {
  const wstring& text = r->text;
  size_t end = TagEnd(text, r->at + 1);
  if (end == npos || StartsAt(text, r->at, L"<!")) return false;
  bool closing = text[r->at + 1] == L'/', empty = !closing && text[end - 1] == L'/';
  size_t start = r->at + (closing ? 2 : 1);
  size_t stop = text.find_first_of(L" \t\r\n/>", start);
  wstring name = text.substr(start, stop - start);
  r->at = end + 1;
  if (name.empty()) return false;
  if (closing) {
    if (r->open.empty() || r->open.back() != name || !Trim(text.substr(stop, end - stop)).empty()) return false;
    Close(r);
    return true;
  }
  if (r->open.empty() && r->rooted) return false;  // a second root
  r->rooted = true;
  Open(r, name);
  if (empty) Close(r);
  return true;
}

// XML allows no control character but tab and line ends: binary data is no task.
bool HasControlCharacters(const wstring& text) {
  for (wchar_t c : text)
    if (c < 0x20 && c != L'\t' && c != L'\r' && c != L'\n') return true;
  return false;
}

bool Read(Reading* r) {
  const wstring& text = r->text;
  if (HasControlCharacters(text)) return false;
  while (r->at < text.size()) {
    size_t next = text.find(L'<', r->at);
    wstring data;
    if (!Unescape(text.substr(r->at, next == npos ? npos : next - r->at), &data) || !AddText(r, data)) return false;
    if (next == npos) break;
    r->at = next;
    bool handled = false;
    if (!Special(r, &handled)) return false;
    if (!handled && !Tag(r)) return false;
  }
  return r->rooted && r->open.empty();
}

}  // namespace

wstring Decode(const std::string& bytes) {
  auto at = [&bytes](size_t i) { return i < bytes.size() ? (int)(unsigned char)bytes[i] : -1; };
  if (at(0) == 0xFF && at(1) == 0xFE) return FromUtf16(bytes, 2, false);
  if (at(0) == 0xFE && at(1) == 0xFF) return FromUtf16(bytes, 2, true);
  if (at(0) == 0xEF && at(1) == 0xBB && at(2) == 0xBF) return FromUtf8(bytes, 3);
  if (at(0) == '<' && at(1) == 0) return FromUtf16(bytes, 0, false);
  if (at(0) == 0 && at(1) == '<') return FromUtf16(bytes, 0, true);
  return FromUtf8(bytes, 0);
}

std::vector<Action> ExecActions(const std::string& bytes) {
  Reading reading;
  reading.text = Decode(bytes);
  if (!Read(&reading)) return {};
  return reading.actions;
}

wstring CommandLine(const Action& action) {
  wstring line = action.command;
  if (line.find(L' ') != npos && line[0] != L'"') line = L'"' + line + L'"';
  return action.arguments.empty() ? line : line + L' ' + action.arguments;
}

}  // namespace TaskXml
