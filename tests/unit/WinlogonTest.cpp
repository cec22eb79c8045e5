// The Winlogon Shell and Userinit checks against the machine's real Winlogon key.
#include <gtest/gtest.h>
#include <list>
#include <memory>

#include "platform/Text.h"
#include "syscheck/Detection.h"
#include "syscheck/TrustList.h"
#include "syscheck/checks/ModuleExplorerShell.h"
#include "syscheck/checks/ModuleUserInit.h"
#include "tests/unit/CheckSupport.h"
#include "tests/unit/TestSupport.h"

namespace {

using checksupport::ReportLines;
using checksupport::StandInPrompt;
using checksupport::Stored;
using checksupport::WideBytes;
using testsupport::Alive;

const wchar_t kKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";
const wchar_t kSandbox[] = L"C:\\sandbox";

struct Check {
  const wchar_t* value;
  const wchar_t* tag;
  void (*run)();
  const wchar_t* restored;
};
const Check kShell = {L"Shell", L"RES", ModuleExplorerShell::CheckExplorerShell, L"Explorer.exe"};
const Check kUserinit = {L"Userinit", L"RUI", ModuleUserInit::CheckUserInit, L"userinit.exe,"};

std::wstring Head(const Check& check) { return std::wstring(L"(") + check.tag + L")：发现可疑程序，可能是木马! -> "; }
std::wstring Warning(const Check& check, const std::wstring& subject) { return L"警告" + Head(check) + subject; }
std::wstring Line(const Check& check, const std::wstring& subject, const wchar_t* outcome) {
  return Head(check) + subject + outcome;
}

Stored Sz(const std::wstring& text) { return {REG_SZ, WideBytes(text)}; }
void Set(const Check& check, const Stored& value) {
  checksupport::SetValue(HKEY_LOCAL_MACHINE, kKey, check.value, value);
}
void Set(const Check& check, const std::wstring& text) { Set(check, Sz(text)); }
Stored Get(const Check& check) {
  Stored value;
  checksupport::GetValue(HKEY_LOCAL_MACHINE, kKey, check.value, &value);
  return value;
}
bool operator==(const Stored& a, const Stored& b) { return a.type == b.type && a.data == b.data; }

class Winlogon : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteFileW(TrustList::Path().c_str());
    checksupport::ClearReport();
  }
  void TearDown() override {
    Detection::Prompt = Detection::PromptDetection;
    if (readOnly) readOnly->Restore();
    for (auto& p : processes) testsupport::EndProcess(p);
    shell.Restore();     // a fresh prefix holds Shell = explorer.exe
    userinit.Restore();  // and no Userinit
    DeleteFileW(TrustList::Path().c_str());
  }
  // `path` is a folder and an image name, or an image name alone to start in the sandbox.
  PROCESS_INFORMATION& Start(const std::wstring& path) {
    size_t slash = path.rfind(L'\\');
    std::wstring folder = slash == std::wstring::npos ? kSandbox : path.substr(0, slash);
    processes.push_back(testsupport::StartSleeper(folder, path.substr(slash + 1)));
    EXPECT_TRUE(Alive(processes.back())) << "could not start " << testing::PrintToString(path);
    return processes.back();
  }
  // One run of the check, answered in turn.
  std::vector<std::wstring> Run(const Check& check, std::vector<std::wstring> answers,
                                std::function<void()> onPrompt = nullptr) {
    checksupport::ClearReport();
    StandInPrompt prompt(std::move(answers));
    prompt.onPrompt = std::move(onPrompt);
    check.run();
    return prompt.warnings;
  }
  checksupport::SavedValue shell{HKEY_LOCAL_MACHINE, kKey, L"Shell"};
  checksupport::SavedValue userinit{HKEY_LOCAL_MACHINE, kKey, L"Userinit"};
  std::unique_ptr<checksupport::ReadOnlyKey> readOnly;
  std::list<PROCESS_INFORMATION> processes;  // stable references
};

// What each value shows, and that a long one is read whole: a hijack past the
// first 255 bytes must never read as empty and pass.
TEST_F(Winlogon, SubjectIsTheShellTailOrWhatFollowsTheUserinitComma) {
  const std::wstring longTail = L"C:\\WINDOWS\\" + std::wstring(300, L'l') + L".exe";
  struct Case {
    const Check& check;
    Stored value;            // type 0: the value is absent
    const wchar_t* subject;  // nullptr: no finding
  } cases[] = {
      {kShell, Sz(L"Explorer.exe"), nullptr},
      {kShell, Sz(L"Explorer.exe C:\\WINDOWS\\x.exe"), L"C:\\WINDOWS\\x.exe"},
      {kShell, Sz(L"C:\\Program Files\\My Shell\\shell.exe"), L"Files\\My Shell\\shell.exe"},
      {kShell, Sz(L"Explorer.exe "), L""},
      {kShell, Sz(L"Explorer.exe   C:\\x.exe  "), L"C:\\x.exe"},
      {kShell, Sz(L"Explorer.exe " + longTail), longTail.c_str()},
      // Every part is shown, as CLEAN writes every part over.
      {kShell,
       {REG_BINARY, std::string("Explorer.exe C:\\WINDOWS\\bin.exe\0junk", 36)},
       L"C:\\WINDOWS\\bin.exe | junk"},
      {kShell,
       {REG_MULTI_SZ, WideBytes(std::wstring(L"Explorer.exe\0C:\\WINDOWS\\x.exe\0", 30))},
       L"| C:\\WINDOWS\\x.exe"},
      {kUserinit, {}, nullptr},
      {kUserinit, Sz(L"C:\\WINDOWS\\system32\\userinit.exe,"), nullptr},
      {kUserinit, Sz(L"userinit.exe,noprogram"), nullptr},
      {kUserinit, Sz(L"C:\\WINDOWS\\system32\\userinit.exe,C:\\WINDOWS\\x.exe,"), L"C:\\WINDOWS\\x.exe,"},
      {kUserinit, Sz(L"C:\\WINDOWS\\system32\\userinit.exe"), L"C:\\WINDOWS\\system32\\userinit.exe"},
      {kUserinit, Sz(L"userinit.exe,a.exe,b.exe"), L"a.exe,b.exe"},
      {kUserinit, Sz(std::wstring(L"userinit.exe,a.exe\0b.exe", 24)), L"a.exe | b.exe"},
      {kUserinit, Sz(L"userinit.exe, C:\\x\\y.exe "), L"C:\\x\\y.exe"},
      {kUserinit, Sz(L"userinit.exe," + longTail), longTail.c_str()},
      {kUserinit,
       {REG_EXPAND_SZ, WideBytes(L"%SystemRoot%\\userinit.exe,%SystemRoot%\\x.exe")},
       L"%SystemRoot%\\x.exe"},
  };
  for (const Case& c : cases) {
    std::string what = Text::ToAnsi(c.check.value) + ": " + testing::PrintToString(c.value.data);
    if (c.value.type)
      Set(c.check, c.value);
    else
      checksupport::DeleteValue(HKEY_LOCAL_MACHINE, kKey, c.check.value);
    std::vector<std::wstring> asked = Run(c.check, {L"SKIP"});
    std::vector<std::wstring> warnings, lines;
    if (c.subject) warnings.push_back(Warning(c.check, c.subject));
    if (c.subject) lines.push_back(Line(c.check, c.subject, L" 跳过,未清除!"));
    EXPECT_EQ(warnings, asked) << what;
    EXPECT_EQ(lines, ReportLines()) << what;
    if (c.value.type) {
      EXPECT_TRUE(c.value == Get(c.check)) << what << ": SKIP changes nothing";
    }
  }
}

// CLEAN ends the programs the value starts beside the standard one (each of a
// Userinit list), exactly those files, and writes the fixed text back as a REG_SZ
// with its terminating NUL.
TEST_F(Winlogon, CleanEndsTheNamedProgramsAndWritesTheFixedTextBack) {
  struct Case {
    const Check& check;
    std::wstring value, subject;
    std::vector<std::wstring> ended, spared;  // started before the check: a path, or a name in the sandbox
  } cases[] = {
      {kShell, L"Explorer.exe C:\\WINDOWS\\x.exe", L"C:\\WINDOWS\\x.exe", {L"C:\\WINDOWS\\x.exe"}, {L"x.exe"}},
      {kShell,
       L"C:\\sandbox\\My Shell\\shell.exe",
       L"Shell\\shell.exe",
       {L"C:\\sandbox\\My Shell\\shell.exe"},
       {L"shell.exe"}},
      {kShell, L"Explorer.exe ", L"", {}, {}},
      {kShell,
       L"Explorer.exe | C:\\WINDOWS\\wlbar.exe",  // two parts of a value, joined
       L"| C:\\WINDOWS\\wlbar.exe",
       {L"C:\\WINDOWS\\wlbar.exe"},
       {L"wlbar.exe"}},
      {kShell,
       L"Explorer.exe %SystemRoot%\\wlenv",
       L"%SystemRoot%\\wlenv",
       {L"C:\\WINDOWS\\wlenv.exe"},
       {L"wlenv.exe"}},
      {kUserinit,
       L"C:\\WINDOWS\\system32\\userinit.exe,C:\\WINDOWS\\x.exe,",
       L"C:\\WINDOWS\\x.exe,",
       {L"C:\\WINDOWS\\x.exe"},
       {L"x.exe"}},
      {kUserinit,
       L"C:\\WINDOWS\\system32\\userinit.exe",
       L"C:\\WINDOWS\\system32\\userinit.exe",
       {},
       {L"userinit.exe"}},  // not the system's own userinit
      {kUserinit, L"userinit.exe,a.exe,b.exe", L"a.exe,b.exe", {L"a.exe", L"b.exe"}, {L"ab.exe"}},
      {kUserinit,
       L"userinit.exe,C:\\WINDOWS\\uia.exe /s,\"C:\\sandbox\\ui b.exe\"",
       L"C:\\WINDOWS\\uia.exe /s,\"C:\\sandbox\\ui b.exe\"",
       {L"C:\\WINDOWS\\uia.exe", L"C:\\sandbox\\ui b.exe"},
       {L"uia.exe", L"b.exe"}},
  };
  PROCESS_INFORMATION& bystander = Start(L"bystander.exe");
  for (const Case& c : cases) {
    std::string what = Text::ToAnsi(c.value);
    std::vector<PROCESS_INFORMATION*> targets, others;
    for (const std::wstring& path : c.ended) targets.push_back(&Start(path));
    for (const std::wstring& path : c.spared) others.push_back(&Start(path));
    Set(c.check, c.value);
    EXPECT_EQ(std::vector<std::wstring>{Warning(c.check, c.subject)}, Run(c.check, {L"CLEAN"})) << what;
    EXPECT_EQ(std::vector<std::wstring>{Line(c.check, c.subject, L" 已清除!")}, ReportLines()) << what;
    for (PROCESS_INFORMATION* target : targets)
      EXPECT_TRUE(testsupport::WaitFor([&] { return !Alive(*target); })) << what;
    for (PROCESS_INFORMATION* other : others) EXPECT_TRUE(Alive(*other)) << what;
    for (PROCESS_INFORMATION* other : others) testsupport::EndProcess(*other);
    EXPECT_TRUE(Sz(c.check.restored) == Get(c.check)) << what;
    EXPECT_TRUE(Run(c.check, {}).empty()) << what << ": the value written back is no finding";
  }
  EXPECT_TRUE(Alive(bystander));
}

// CLEAN says it failed when a matching program survives, when the key refuses the
// write, or when the value changed while the prompt waited (then it is left alone).
TEST_F(Winlogon, CleanThatCannotFinishIsReportedAsFailed) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring survivor = L"userinit.exe," + std::wstring(self);  // this program never ends itself
  const std::wstring hijack = L"Explorer.exe C:\\WINDOWS\\x.exe";
  struct Case {
    const char* what;
    const Check& check;
    std::wstring value, subject;
    std::function<void()> onPrompt;
    std::wstring after;
  } cases[] = {
      {"a matching process survives", kUserinit, survivor, self, nullptr, L"userinit.exe,"},
      {"the key refuses the write", kShell, hijack, L"C:\\WINDOWS\\x.exe",
       [this] { readOnly.reset(new checksupport::ReadOnlyKey(HKEY_LOCAL_MACHINE, kKey)); }, hijack},
      {"the value changed meanwhile", kShell, hijack, L"C:\\WINDOWS\\x.exe",
       [] { Set(kShell, L"Explorer.exe C:\\WINDOWS\\other.exe"); }, L"Explorer.exe C:\\WINDOWS\\other.exe"},
  };
  for (const Case& c : cases) {
    Set(c.check, c.value);
    EXPECT_EQ(std::vector<std::wstring>{Warning(c.check, c.subject)}, Run(c.check, {L"CLEAN"}, c.onPrompt)) << c.what;
    EXPECT_EQ(std::vector<std::wstring>{Line(c.check, c.subject, L" 清除失败!")}, ReportLines()) << c.what;
    EXPECT_TRUE(Sz(c.after) == Get(c.check)) << c.what;
    if (readOnly) readOnly->Restore();
  }
}

// ALLOW trusts the subject shown: not asked again, until the value holds another.
TEST_F(Winlogon, TrustedSubjectIsNotAskedAgainUntilItChanges) {
  struct Case {
    const Check& check;
    std::wstring value, subject, changed, changedSubject;
  } cases[] = {
      {kShell, L"Explorer.exe C:\\WINDOWS\\x.exe", L"C:\\WINDOWS\\x.exe", L"Explorer.exe C:\\WINDOWS\\y.exe",
       L"C:\\WINDOWS\\y.exe"},
      {kUserinit, L"userinit.exe,C:\\WINDOWS\\x.exe,", L"C:\\WINDOWS\\x.exe,", L"userinit.exe,C:\\WINDOWS\\X.exe,",
       L"C:\\WINDOWS\\X.exe,"},
  };
  for (const Case& c : cases) {
    std::string what = Text::ToAnsi(c.value);
    Set(c.check, c.value);
    EXPECT_EQ(std::vector<std::wstring>{Warning(c.check, c.subject)}, Run(c.check, {L"ALLOW"})) << what;
    EXPECT_EQ(std::vector<std::wstring>{Line(c.check, c.subject, L" 信任,未清除!")}, ReportLines()) << what;
    EXPECT_TRUE(TrustList::IsTrusted(c.subject)) << what;
    EXPECT_TRUE(Sz(c.value) == Get(c.check)) << what;
    EXPECT_TRUE(Run(c.check, {}).empty()) << what;
    EXPECT_TRUE(ReportLines().empty()) << what;
    Set(c.check, c.changed);
    EXPECT_EQ(std::vector<std::wstring>{Warning(c.check, c.changedSubject)}, Run(c.check, {L"SKIP"})) << what;
  }
}

}  // namespace
