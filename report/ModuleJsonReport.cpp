#include "report/ModuleJsonReport.h"

#include <cstdio>

#include "platform/Files.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "report/ModuleEventLog.h"
#include "syscheck/ModuleBackup.h"

namespace ModuleJsonReport {
namespace {

void AppendUtf8(std::string* out, unsigned long c) {
  if (c < 0x80) {
    *out += (char)c;
  } else if (c < 0x800) {
    *out += (char)(0xC0 | (c >> 6));
    *out += (char)(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += (char)(0xE0 | (c >> 12));
    *out += (char)(0x80 | ((c >> 6) & 0x3F));
    *out += (char)(0x80 | (c & 0x3F));
  } else {
    *out += (char)(0xF0 | (c >> 18));
    *out += (char)(0x80 | ((c >> 12) & 0x3F));
    *out += (char)(0x80 | ((c >> 6) & 0x3F));
    *out += (char)(0x80 | (c & 0x3F));
  }
}

void AppendEscape(std::string* out, unsigned long c) {
  char text[8];
  snprintf(text, sizeof text, "\\u%04lx", c);
  *out += text;
}

bool IsHigh(unsigned long c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(unsigned long c) { return c >= 0xDC00 && c <= 0xDFFF; }
bool IsControl(unsigned long c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

std::string PlaceObject(const Detection::Record& record) {
  if (!record.hasPlace) return "null";
  const ModuleBackup::Place& place = record.place;
  if (place.file) return "{\"root\":\"file\",\"view\":null,\"key\":" + Quote(place.path) + ",\"value\":null}";
  return std::string("{\"root\":\"") + Text::ToUtf8(ModuleBackup::RootName(place.root)) +
         "\",\"view\":" + (Reg::Reaches64(place.view) ? "64" : "32") + ",\"key\":" + Quote(place.path) +
         ",\"value\":" + (place.wholeKey ? std::string("null") : Quote(place.name)) + "}";
}

// "2026-12-11 07:30:00" as ISO 8601 with the offset: "2026-12-11T07:30:00+08:00".
std::wstring IsoTime(std::wstring local, const std::wstring& offset) {
  if (local.size() > 10 && local[10] == L' ') local[10] = L'T';
  return local + offset;
}

}  // namespace

std::string Quote(const std::wstring& text) {
  std::string out = "\"";
  for (size_t i = 0; i < text.size(); i++) {
    unsigned long c = (unsigned long)(unsigned short)text[i];
    if (c == L'"' || c == L'\\') {
      out += '\\';
      out += (char)c;
    } else if (IsControl(c)) {
      AppendEscape(&out, c);
    } else if (IsHigh(c) && i + 1 < text.size() && IsLow((unsigned short)text[i + 1])) {
      AppendUtf8(&out, 0x10000 + ((c - 0xD800) << 10) + ((unsigned short)text[++i] - 0xDC00));
    } else if (IsHigh(c) || IsLow(c)) {
      AppendEscape(&out, c);  // no character: kept as it was, for the reader to see
    } else {
      AppendUtf8(&out, c);
    }
  }
  return out + "\"";
}

std::string FindingLine(const Detection::Record& record, const std::wstring& host, const std::wstring& offset) {
  return "{\"time\":" + Quote(IsoTime(record.time, offset)) + ",\"host\":" + Quote(host) +
         ",\"check\":" + Quote(record.tag) + ",\"place\":" + PlaceObject(record) +
         ",\"subject\":" + Quote(record.subject) + ",\"data\":" + Quote(record.data) + ",\"outcome\":\"" +
         Text::ToUtf8(ModuleEventLog::OutcomeWord(record.outcome)) + "\"}";
}

std::string SummaryLine(const ModuleEventLog::Summary& summary, const std::wstring& host, const std::wstring& time) {
  char numbers[160];
  snprintf(numbers, sizeof numbers, "\"found\":%d,\"cleaned\":%d,\"failed\":%d,\"seconds\":%.3f", summary.found,
           summary.cleaned, summary.failed, summary.seconds);
  return "{\"time\":" + Quote(time) + ",\"host\":" + Quote(host) + "," + numbers +
         ",\"version\":" + Quote(ModuleEventLog::kVersion) + "}";
}

std::string Format(const std::vector<Detection::Record>& records, const ModuleEventLog::Summary& summary) {
  std::wstring host = System::ComputerName();
  std::wstring offset = System::UtcOffset();
  std::string text;
  for (const Detection::Record& record : records) text += FindingLine(record, host, offset) + "\n";
  return text + SummaryLine(summary, host, IsoTime(System::LocalTimestamp(), offset)) + "\n";
}

std::wstring Target(const std::wstring& file, const std::wstring& localTimestamp) {
  bool folder = !file.empty() && (file.back() == L'\\' || file.back() == L'/');
  if (!folder && !Files::FolderExists(file)) return file;
  std::wstring stamp;
  for (wchar_t c : localTimestamp)
    if (c == L' ')
      stamp += L'-';
    else if (c != L'-' && c != L':')
      stamp += c;
  return (folder ? file.substr(0, file.size() - 1) : file) + L"\\check-" + stamp + L".jsonl";
}

bool Write(const std::wstring& path, const std::vector<Detection::Record>& records,
           const ModuleEventLog::Summary& summary, unsigned long* error) {
  return Files::ReplaceWithBytes(path, Format(records, summary), error);
}

}  // namespace ModuleJsonReport
