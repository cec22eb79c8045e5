#include "syscheck/checks/ModuleUserInit.h"

#include "platform/Text.h"
#include "syscheck/checks/ModuleProcess.h"
#include "syscheck/checks/Winlogon.h"

namespace ModuleUserInit {
namespace {

// What follows the first comma (the whole value without one) names a program
// when it holds a dot.
bool ListTail(const std::wstring& text, std::wstring* subject) {
  size_t comma = text.find(L',');
  std::wstring tail = Text::Trim(comma == std::wstring::npos ? text : text.substr(comma + 1));
  if (tail.find(L'.') == std::wstring::npos) return false;
  *subject = tail;
  return true;
}

// Every program of the list after the first comma.
bool EndListed(const std::wstring&, const std::wstring& subject) {
  bool allEnded = true;
  size_t start = 0;
  for (size_t comma = subject.find(L',');; comma = subject.find(L',', start)) {
    allEnded = ModuleProcess::EndProgram(subject.substr(start, comma - start)) && allEnded;
    if (comma == std::wstring::npos) return allEnded;
    start = comma + 1;
  }
}

const Winlogon::Rule kUserinit = {Winlogon::kUserinit, L"RUI", L"userinit.exe,", ListTail, EndListed};

}  // namespace

void CheckUserInit() { Winlogon::ExamineValue(kUserinit); }

}  // namespace ModuleUserInit
