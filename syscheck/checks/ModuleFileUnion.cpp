#include "syscheck/checks/ModuleFileUnion.h"

#include "platform/Registry.h"
#include "platform/Text.h"
#include "platform/Toolkit.h"
#include "syscheck/Detection.h"
#include "syscheck/ModuleBackup.h"
#include "syscheck/checks/ModuleProcess.h"

namespace ModuleFileUnion {
namespace {

// In this order: after a repair made for one key, the keys after it already read
// the standard commands.
const wchar_t* const kExamined[] = {
    L"Applications\\notepad.exe\\shell\\open\\command",
    L"exefile\\shell\\open\\command",
    L"txtfile\\shell\\open\\command",
};

struct Repair {
  const wchar_t* subKey;
  const wchar_t* command;
};
// Written in this order, all five whichever key led to the repair.
const Repair kRepairs[] = {
    {L"txtfile\\shell\\open\\command", L"notepad.exe %1"},
    {L"exefile\\shell\\open\\command", L"\"%1\" %*"},
    {L"chmfile\\shell\\open\\command", L"%1"},
    {L"Applications\\notepad.exe\\shell\\open\\command", L"notepad.exe %1"},
    {L"Applications\\mspaint.exe\\shell\\open\\command", L"mspaint.exe %1"},
};

// The standard executable command has 7 characters; anything up to 20 passes.
constexpr size_t kLongestHarmless = 20;

// The default value whole, as text whatever its type; empty when there is none.
std::wstring ReadCommand(const std::wstring& subKey, Reg::View view) {
  Reg::Key key;
  Reg::Value value;
  if (Reg::Create(Reg::ClassesRoot, subKey, &key, view) != Reg::Ok) return {};
  if (Reg::QueryValue(key, L"", &value) != Reg::Ok) return {};
  return value.Text();
}

bool IsFinding(const std::wstring& command) {
  if (Text::Upper(command).find(L"NOTEPAD.EXE") != std::wstring::npos) return false;
  return command.size() > kLongestHarmless;
}

// Up to the first "." and the three characters after it; the first three
// characters when there is no ".". A leading quote stays.
std::wstring ProgramPath(const std::wstring& command) {
  size_t dot = command.find(L'.');
  return command.substr(0, dot == std::wstring::npos ? 3 : dot + 4);
}

// What the line shows after CLEAN: the file name, after the last backslash.
std::wstring FileName(const std::wstring& path) { return path.substr(path.rfind(L'\\') + 1); }

bool WriteCommand(const Repair& repair, Reg::View view) {
  Reg::Key key;
  if (Reg::Create(Reg::ClassesRoot, repair.subKey, &key, view) != Reg::Ok) return false;
  // Stored with its terminating NUL, so every reader sees a well-formed string.
  return Reg::SetString(key, L"", repair.command) == Reg::Ok;
}

// `path` is the program path shown; the program ended is that path, without its quote.
bool CleanAssociation(const std::wstring& path, Reg::View view) {
  std::wstring unquoted = !path.empty() && path[0] == L'"' ? path.substr(1) : path;
  bool ended = ModuleProcess::EndProgram(L"\"" + unquoted + L"\"");
  bool repaired = RepairFileAssociations(view);
  return ended && repaired;
}

void ExamineAssociationIn(const std::wstring& subKey, Reg::View view) {
  std::wstring command = ReadCommand(subKey, view);
  if (!IsFinding(command)) return;
  Detection::Finding finding;
  finding.tag = L"RFU";
  finding.message = Detection::kMessage;
  finding.subject = ProgramPath(command);
  finding.cleanedSubject = FileName(finding.subject);
  finding.keepsTrustList = true;
  std::wstring path = finding.subject;
  finding.clean = [path, view] { return CleanAssociation(path, view); };
  finding.places = RepairPlaces(view);
  finding.view = view;
  Detection::Handle(finding);
}

}  // namespace

bool RepairFileAssociations(Reg::View view) {
  bool all = true;
  for (const Repair& repair : kRepairs) all = WriteCommand(repair, view) && all;
  return all;
}

std::vector<ModuleBackup::Place> RepairPlaces(Reg::View view) {
  std::vector<ModuleBackup::Place> places;
  for (const Repair& repair : kRepairs)
    places.push_back(ModuleBackup::ValuePlace(Reg::ClassesRoot, repair.subKey, L"", view));
  return places;
}

void ExamineAssociation(const std::wstring& subKey) {
  for (Reg::View view : Reg::ViewsOf(Reg::ClassesRoot, subKey)) ExamineAssociationIn(subKey, view);
}

void CheckFileAssociations() {
  for (const wchar_t* subKey : kExamined) {
    if (tk::Ending()) return;
    ExamineAssociation(subKey);
  }
}

}  // namespace ModuleFileUnion
