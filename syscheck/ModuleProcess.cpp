#include "syscheck/ModuleProcess.h"

#include <vector>

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
// (the shell): whatever name matches them, they are never ended.
const wchar_t* const kCritical[] = {
    L"SYSTEM",    L"REGISTRY",   L"SMSS.EXE",    L"CSRSS.EXE",       L"WININIT.EXE", L"WINLOGON.EXE",   L"SERVICES.EXE",
    L"LSASS.EXE", L"LSAISO.EXE", L"SVCHOST.EXE", L"FONTDRVHOST.EXE", L"DWM.EXE",     L"MEMCOMPRESSION", L"EXPLORER.EXE",
};

// Compares the upper-cased, trimmed image name.
bool IsCriticalImage(const std::wstring& upperImage) {
  for (const wchar_t* critical : kCritical)
    if (upperImage == critical) return true;
  return false;
}

}  // namespace

bool IsCritical(const std::wstring& image) { return IsCriticalImage(Text::Upper(Text::Trim(image))); }

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
    if (Detection::Owner)
      tk::MsgBox(*Detection::Owner, L"内存扫描模块出错 内存检测 跳过!", tk::Icon::Error, L"严重错误");
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
    bool spared = IsCritical(image);
    finding.clean = [id, spared] { return !spared && id != System::CurrentProcessId() && Processes::Terminate(id); };
    Detection::Handle(finding);
  }
}

bool KillProcessByName(const std::wstring& name) {
  std::vector<Processes::Entry> entries;
  if (!Processes::Snapshot(&entries)) return false;
  std::wstring wanted = Text::Upper(name);
  bool allEnded = true;
  for (const Processes::Entry& entry : entries) {
    tk::DoEvents();
    std::wstring image = Text::Upper(Text::Trim(entry.image));
    if (image.empty() || IsCriticalImage(image)) continue;  // spared, and so not a match either
    if (image.find(wanted) == std::wstring::npos && wanted.find(image) == std::wstring::npos) continue;
    // This program never ends itself; a match on it counts as a process left running.
    if (entry.id == System::CurrentProcessId() || !Processes::Terminate(entry.id)) allEnded = false;
  }
  return allEnded;
}

}  // namespace ModuleProcess
