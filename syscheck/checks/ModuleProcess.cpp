#include "syscheck/checks/ModuleProcess.h"

#include <vector>

#include "platform/Console.h"
#include "platform/Files.h"
#include "platform/Processes.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "platform/Toolkit.h"
#include "syscheck/Detection.h"

namespace ModuleProcess {
namespace {

constexpr size_t kListBytes = 32767;

// Ending one of these stops or restarts Windows, or takes the desktop with it
// (the shell): the system's own are never ended.
const wchar_t* const kCritical[] = {
    L"SYSTEM",    L"REGISTRY",   L"SMSS.EXE",    L"CSRSS.EXE",       L"WININIT.EXE", L"WINLOGON.EXE",   L"SERVICES.EXE",
    L"LSASS.EXE", L"LSAISO.EXE", L"SVCHOST.EXE", L"FONTDRVHOST.EXE", L"DWM.EXE",     L"MEMCOMPRESSION", L"EXPLORER.EXE",
};

bool IsCriticalName(const std::wstring& upperImage) {
  for (const wchar_t* critical : kCritical)
    if (upperImage == critical) return true;
  return false;
}

// The image lies directly in a system folder, or is the shell in the Windows folder.
bool IsSystemsOwn(const std::wstring& upperPath, const std::wstring& upperImage) {
  for (const std::wstring& folder : System::SystemFolders())
    if (upperPath == Text::Upper(folder) + L"\\" + upperImage) return true;
  return upperImage == L"EXPLORER.EXE" && upperPath == Text::Upper(System::WindowsFolder()) + L"\\EXPLORER.EXE";
}

std::wstring FileName(const std::wstring& path) { return path.substr(path.rfind(L'\\') + 1); }

// "C:\..." or "\\server\...": a path that does not depend on where it is started from.
bool IsRooted(const std::wstring& path) {
  return (path.size() >= 3 && path[1] == L':' && path[2] == L'\\') || path.compare(0, 2, L"\\\\") == 0;
}

// A file name without an extension means a program: Windows appends ".exe".
std::wstring WithExtension(const std::wstring& file) {
  return FileName(file).find(L'.') == std::wstring::npos ? file + L".exe" : file;
}

// The shortest prefix ending before a space (or at the end) that names an
// existing file, as CreateProcess searches an unquoted path; else up to the first space.
std::wstring UnquotedProgram(const std::wstring& text) {
  Files::RealSystemFolder real;  // Windows starts an entry's program from the real System32
  for (size_t end = text.find(L' '); end != std::wstring::npos; end = text.find(L' ', end + 1)) {
    std::wstring candidate = text.substr(0, end);
    if (IsRooted(candidate) && Files::FileExists(WithExtension(candidate))) return candidate;
  }
  if (IsRooted(text) && Files::FileExists(WithExtension(text))) return text;
  return text.substr(0, text.find(L' '));
}

// The commands of a text whose parts are joined by " | "; a "|" at either end of
// the text (the rest of a joined part) separates too.
std::vector<std::wstring> Parts(const std::wstring& text) {
  std::vector<std::wstring> parts;
  size_t start = 0;
  for (size_t bar = text.find(L'|'); bar != std::wstring::npos; bar = text.find(L'|', bar + 1)) {
    bool spaced = (bar == 0 || text[bar - 1] == L' ') && (bar + 1 == text.size() || text[bar + 1] == L' ');
    if (!spaced) continue;
    parts.push_back(Text::Trim(text.substr(start, bar - start)));
    start = bar + 1;
  }
  parts.push_back(Text::Trim(text.substr(start)));
  return parts;
}

// One file has one name here: C:\x\..\y.exe and C:\LONG~1\y.exe name their long path.
std::wstring Resolved(const std::wstring& path) {
  Files::RealSystemFolder real;
  return Files::LongPath(path);
}

// `upperPath` is the process's resolved, upper-cased image path (empty where
// unknown); `upperFile` an upper-cased program file.
bool IsImageOf(const Processes::Entry& entry, const std::wstring& upperPath, const std::wstring& upperFile) {
  if (upperPath.empty()) return Text::Upper(Text::Trim(entry.image)) == FileName(upperFile);
  if (IsRooted(upperFile)) return upperPath == upperFile;
  std::wstring tail = L"\\" + upperFile;  // a bare name, or a folder relative to wherever it was started
  return upperPath.size() > tail.size() && upperPath.compare(upperPath.size() - tail.size(), tail.size(), tail) == 0;
}

bool IsImageOfAny(const Processes::Entry& entry, const std::vector<std::wstring>& upperFiles) {
  std::wstring path = entry.path.empty() ? std::wstring() : Text::Upper(Resolved(entry.path));
  for (const std::wstring& file : upperFiles)
    if (IsImageOf(entry, path, file)) return true;
  return false;
}

}  // namespace

bool IsCritical(const Processes::Entry& entry) {
  std::wstring image = Text::Upper(Text::Trim(entry.image));
  if (!IsCriticalName(image)) return false;
  return entry.path.empty() || IsSystemsOwn(Text::Upper(Resolved(entry.path)), image);  // an unknown image is spared
}

std::wstring ReadProcessNameList() {
  std::string bytes;
  if (!Files::ReadHead(System::ProgramFile(L"\\blkt.dat"), kListBytes, &bytes)) return {};
  return Text::Upper(Text::FromAnsi(bytes));
}

std::wstring NameStem(const std::wstring& imageName) {
  size_t dot = imageName.find(L'.');
  return dot == std::wstring::npos ? std::wstring(L"系统进程") : imageName.substr(0, dot + 1);
}

void CheckMemory() {
  std::wstring list = ReadProcessNameList();
  std::vector<Processes::Entry> entries;
  if (!Processes::Snapshot(&entries)) {
    // A run without a window says it on the error output instead.
    if (Detection::Owner)
      tk::MsgBox(*Detection::Owner, L"内存扫描模块出错 内存检测 跳过!", tk::Icon::Error, L"严重错误");
    else
      Console::Err(L"严重错误：内存扫描模块出错 内存检测 跳过!");
    return;
  }
  if (list.empty()) return;  // an empty or unreadable list flags nothing
  for (const Processes::Entry& entry : entries) {
    tk::DoEvents();
    if (tk::Ending()) return;
    std::wstring image = Text::Trim(entry.image);
    std::wstring stem = NameStem(image);
    if (list.find(Text::Upper(stem)) == std::wstring::npos) continue;
    Detection::Finding finding;
    finding.tag = L"P";
    finding.message = L"内存中发现可疑程序，可能是木马!";
    finding.subject = image;
    finding.reportSubject = stem;
    unsigned long id = entry.id;
    bool spared = IsCritical(entry);
    finding.clean = [id, spared] { return !spared && id != System::CurrentProcessId() && Processes::Terminate(id); };
    Detection::Handle(finding);
  }
}

std::wstring ProgramFile(const std::wstring& command) {
  std::wstring text = Text::Trim(System::ExpandEnvironment(command));
  std::wstring file;
  if (!text.empty() && text[0] == L'"') {
    size_t close = text.find(L'"', 1);
    file = text.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1);
  } else {
    file = UnquotedProgram(text);
  }
  for (wchar_t& c : file)
    if (c == L'/') c = L'\\';
  if (FileName(file).empty()) return {};
  return IsRooted(file) ? Resolved(WithExtension(file)) : WithExtension(file);
}

bool EndProgram(const std::wstring& command) {
  std::vector<std::wstring> files;
  for (const std::wstring& part : Parts(command)) {
    std::wstring file = ProgramFile(part);
    if (!file.empty()) files.push_back(Text::Upper(file));
  }
  if (files.empty()) return true;
  std::vector<Processes::Entry> entries;
  if (!Processes::Snapshot(&entries)) return false;
  bool allEnded = true;
  for (const Processes::Entry& entry : entries) {
    tk::DoEvents();
    if (!IsImageOfAny(entry, files) || IsCritical(entry)) continue;
    // This program never ends itself; a match on it counts as a process left running.
    if (entry.id == System::CurrentProcessId() || !Processes::Terminate(entry.id)) allEnded = false;
  }
  return allEnded;
}

}  // namespace ModuleProcess
