#include "syscheck/ModuleUserInit.h"

#include "platform/Text.h"
#include "syscheck/Winlogon.h"

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

const Winlogon::Rule kUserinit = {Winlogon::kUserinit, L"RUI", L"userinit.exe,", ListTail};

}  // namespace

void CheckUserInit() { Winlogon::ExamineValue(kUserinit); }

}  // namespace ModuleUserInit
