#include "syscheck/ModuleAutoRun.h"

#include "platform/Text.h"
#include "syscheck/Detection.h"
#include "syscheck/ModuleProcess.h"

namespace ModuleAutoRun {

const RunPlace kRunPlaces[4] = {
    {Reg::CurrentUser, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
    {Reg::CurrentUser, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunServices"},
    {Reg::LocalMachine, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run"},
    {Reg::LocalMachine, L"Software\\Microsoft\\Windows\\CurrentVersion\\RunServices"},
};

bool IsFinding(const std::wstring& command) {
  return command.find(L"\\WINNT\\") != std::wstring::npos || command.find(L"\\WINDOWS\\") != std::wstring::npos;
}

std::wstring ProgramName(const std::wstring& command) {
  size_t slash = command.rfind(L'\\');
  return slash == std::wstring::npos ? command : command.substr(slash + 1);
}

void WalkRunKey(Reg::Root hive, const std::wstring& subKey,
                const std::function<bool(const Reg::Key& key, const RunValue& value)>& visit) {
  Reg::Key key;
  if (Reg::Open(hive, subKey, &key) != Reg::Ok) return;
  Reg::Value value;
  for (unsigned long index = 0; Reg::EnumValue(key, index, &value, true) == Reg::Ok;) {
    RunValue run{value.name, Text::Trim(value.Text())};
    if (!visit(key, run)) index++;
  }
}

void ExamineRunKey(Reg::Root hive, const std::wstring& subKey) {
  WalkRunKey(hive, subKey, [](const Reg::Key& key, const RunValue& run) {
    if (Detection::Cancelled() || !IsFinding(run.command)) return false;
    Detection::Finding finding;
    finding.tag = L"RAR";
    finding.message = L"发现可疑程序，可能是木马!";
    finding.subject = run.command;
    finding.keepsTrustList = true;
    bool deleted = false;
    finding.clean = [&key, &run, &deleted] {
      std::wstring program = ProgramName(run.command);
      bool ended = program.empty() || ModuleProcess::KillProcessByName(program);
      deleted = Reg::DeleteValue(key, run.storedName) == Reg::Ok;
      return ended && deleted;
    };
    Detection::Handle(finding);
    return deleted;  // a deleted value moves the ones after it down by one
  });
}

void CheckRunKeys() {
  for (const RunPlace& place : kRunPlaces) ExamineRunKey(place.hive, place.subKey);
}

}  // namespace ModuleAutoRun
