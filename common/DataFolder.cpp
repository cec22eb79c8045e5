#include "common/DataFolder.h"

#include "platform/Files.h"
#include "platform/System.h"

namespace DataFolder {
namespace {

struct Choice {
  std::wstring path;
  bool besideProgram;
};

const Choice& Chosen() {
  static const Choice choice = [] {
    std::wstring program = System::ProgramFolder();
    if (Files::CanWriteIn(program)) return Choice{program, true};
    std::wstring own = System::LocalAppDataFolder();
    // Without a profile folder there is nowhere else: writes beside the program
    // then fail and say so, as they did before.
    if (own.empty()) return Choice{program, true};
    return Choice{own + L"\\Zorvane", false};
  }();
  return choice;
}

}  // namespace

std::wstring Path() { return Chosen().path; }

bool IsBesideProgram() { return Chosen().besideProgram; }

std::wstring File(const std::wstring& name) { return Path() + L"\\" + name; }

bool Make(const std::wstring& sub) {
  if (!Files::CreateFolder(Path())) return false;
  return sub.empty() || Files::CreateFolder(File(sub));
}

}  // namespace DataFolder
