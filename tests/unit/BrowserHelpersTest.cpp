// The browser helper objects and ShellExecute hooks checks against the real
// registry, answered through the prompt's stand-in.
#include <windows.h>

#include <functional>
#include <gtest/gtest.h>
#include <sddl.h>

#include "frame/FormMain.h"
#include "platform/Registry.h"
#include "report/FormReport.h"
#include "syscheck/Detection.h"
#include "syscheck/TrustList.h"
#include "syscheck/checks/ModuleBHO.h"
#include "syscheck/checks/ModuleInprocServers.h"
#include "syscheck/checks/ModuleShellExecuteHooks.h"
#include "tests/unit/CheckSupport.h"
#include "tests/unit/TestSupport.h"

namespace {

const std::wstring kObjects = ModuleBHO::kBrowserHelperObjects;
const std::wstring kHooks = ModuleShellExecuteHooks::kShellExecuteHooks;

// Class identifiers no prefix registers, in the order both walks meet them.
std::wstring Id(char letter) { return L"{BE0BE000-0000-4000-8000-00000000000" + std::wstring(1, letter) + L"}"; }
const std::string kLetters = "ABCDEF";

std::wstring ClassKey(const std::wstring& classId) { return L"CLSID\\" + classId; }
std::wstring ServerKey(const std::wstring& classId) { return ClassKey(classId) + L"\\InprocServer32"; }

void SetServer(const std::wstring& classId, const std::wstring& path, DWORD type = REG_SZ) {
  Reg::Key key;
  ASSERT_EQ(Reg::Ok, Reg::Create(Reg::ClassesRoot, ServerKey(classId), &key));
  std::string data(reinterpret_cast<const char*>(path.c_str()), (path.size() + 1) * 2);
  ASSERT_EQ(Reg::Ok, Reg::SetValue(key, L"", type, data));
}

// A browser helper object with a subkey of its own, as some register options there.
void AddObject(const std::wstring& classId) {
  Reg::Key key;
  ASSERT_EQ(Reg::Ok, Reg::Create(Reg::LocalMachine, kObjects + L"\\" + classId + L"\\Settings", &key));
  ASSERT_EQ(Reg::Ok, Reg::SetString(key, L"Option", L"1"));
}

void AddHook(const std::wstring& classId) {
  Reg::Key key;
  ASSERT_EQ(Reg::Ok, Reg::Create(Reg::LocalMachine, kHooks, &key));
  ASSERT_EQ(Reg::Ok, Reg::SetString(key, classId, L""));
}

bool HasKey(Reg::Root root, const std::wstring& path) {
  Reg::Key key;
  return Reg::Open(root, path, &key) == Reg::Ok;
}

bool HasObject(const std::wstring& classId) { return HasKey(Reg::LocalMachine, kObjects + L"\\" + classId); }

bool HasHook(const std::wstring& classId) {
  Reg::Key key;
  Reg::Value value;
  return Reg::Open(Reg::LocalMachine, kHooks, &key) == Reg::Ok && Reg::QueryValue(key, classId, &value) == Reg::Ok;
}

// The two checks: where each keeps its entries and how the tests make and find one.
struct Place {
  const char* name;
  void (*check)();
  std::wstring tag;
  std::wstring path;
  void (*add)(const std::wstring& classId);
  bool (*has)(const std::wstring& classId);
};
const Place kPlaces[] = {
    {"browser helper objects", ModuleBHO::CheckBrowserHelperObjects, L"RBHO", kObjects, AddObject, HasObject},
    {"ShellExecute hooks", ModuleShellExecuteHooks::CheckShellExecuteHooks, L"RESH", kHooks, AddHook, HasHook},
};

std::wstring Head(const Place& place) { return L"(" + place.tag + L")：发现可疑程序，可能是木马! -> "; }

// The prompt's stand-in: answers in turn ("NONE" once they run out), recording each warning.
struct Script {
  std::vector<std::wstring> answers;
  std::vector<std::wstring> warnings;
  std::function<void()> onPrompt;
};
Script script;

std::wstring Answer(const std::wstring& warning) {
  script.warnings.push_back(warning);
  if (script.onPrompt) script.onPrompt();
  size_t asked = script.warnings.size();
  return asked <= script.answers.size() ? script.answers[asked - 1] : L"NONE";
}

void Ask(std::vector<std::wstring> answers, std::function<void()> onPrompt = nullptr) {
  script = {std::move(answers), {}, std::move(onPrompt)};
}

// The report lines after the header, in order.
auto& Lines = checksupport::ReportLines;

// Replaces a key's access list; "D:(A;;KA;;;WD)" gives everyone everything again.
void SetAccess(Reg::Root root, const std::wstring& path, const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr));
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW((HKEY)root, path.c_str(), 0, WRITE_DAC, &key));
  EXPECT_EQ(ERROR_SUCCESS, RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor));
  RegCloseKey(key);
  LocalFree(descriptor);
}
const wchar_t kEveryone[] = L"D:(A;;KA;;;WD)";

class BrowserHelpers : public ::testing::Test {
 protected:
  void SetUp() override {
    Clear();
    tk::SetApplicationTitle(L"Zorvane");
    Detection::Owner = &FormMain::Get();  // as the system check hands it over
    Detection::Prompt = Answer;
    FormReport::Unload();
  }
  void TearDown() override {
    Detection::Prompt = Detection::PromptDetection;
    FormMain::Form_Unload();
    testsupport::Pump();
    Clear();
  }
  // A fresh prefix has neither place: each test makes what it needs, and leaves nothing.
  static void Clear() {
    for (const Place& place : kPlaces) {
      if (HasKey(Reg::LocalMachine, place.path)) SetAccess(Reg::LocalMachine, place.path, kEveryone);
      for (char letter : kLetters)
        if (HasObject(Id(letter))) SetAccess(Reg::LocalMachine, kObjects + L"\\" + Id(letter), kEveryone);
      testsupport::DeleteTree(HKEY_LOCAL_MACHINE, place.path);
    }
    for (char letter : kLetters) testsupport::DeleteTree(HKEY_CLASSES_ROOT, ClassKey(Id(letter)));
    DeleteFileW(TrustList::Path().c_str());
  }
};

// Each entry shows its own server, read whole and as stored, or its class
// identifier when its class names none: never the path of the entry before it.
TEST_F(BrowserHelpers, EachEntryShowsItsServerOrItsClassIdentifier) {
  const std::wstring longPath = L"C:\\Program Files\\" + std::wstring(300, L'd') + L".dll";
  for (const Place& place : kPlaces) {
    Clear();
    FormReport::Unload();
    SetServer(Id('A'), L"C:\\Program Files\\Bar\\a.dll");
    Reg::Key noDefault;  // B: no class at all; C: the key without its default value
    ASSERT_EQ(Reg::Ok, Reg::Create(Reg::ClassesRoot, ServerKey(Id('C')), &noDefault));
    SetServer(Id('D'), longPath);
    SetServer(Id('E'), L"%SystemRoot%\\e.dll", REG_EXPAND_SZ);
    SetServer(Id('F'), L"");
    for (char letter : kLetters) place.add(Id(letter));
    Ask({L"SKIP", L"SKIP", L"SKIP", L"SKIP", L"SKIP", L"SKIP"});
    place.check();
    const std::wstring shown[] = {L"C:\\Program Files\\Bar\\a.dll", Id('B'), Id('C'), longPath,
                                  L"%SystemRoot%\\e.dll",           Id('F')};
    std::vector<std::wstring> warnings, lines;
    for (const std::wstring& subject : shown) {
      warnings.push_back(L"警告" + Head(place) + subject);
      lines.push_back(Head(place) + subject + L" 跳过,未清除!");
    }
    EXPECT_EQ(warnings, script.warnings) << place.name;
    EXPECT_EQ(lines, Lines()) << place.name;
  }
}

// A name the wide calls would cut short, or an empty one, would reach another
// class's key: it shows itself.
TEST_F(BrowserHelpers, NamesThatCannotBeLookedUpShowThemselves) {
  SetServer(Id('A'), L"C:\\x\\a.dll");
  Reg::Key key;
  ASSERT_EQ(Reg::Ok, Reg::Create(Reg::ClassesRoot, ClassKey(Id('A')), &key));
  ASSERT_EQ(Reg::Ok, Reg::SetString(key, L"", L"A class's own name"));
  EXPECT_EQ(L"C:\\x\\a.dll", ModuleInprocServers::ServerPath(Id('A')));
  const std::wstring cut = Id('A') + std::wstring(L"\0x", 2);
  EXPECT_EQ(cut, ModuleInprocServers::ServerPath(cut));
  EXPECT_EQ(L"", ModuleInprocServers::ServerPath(L""));
}

// After a removal the next entry is still asked about; CLEAN takes away only the
// registration, with anything under a browser helper object's subkey.
TEST_F(BrowserHelpers, CleanRemovesTheEntryAndTheNextIsStillAsked) {
  for (const Place& place : kPlaces) {
    Clear();
    FormReport::Unload();
    for (char letter : std::string("ABC")) {
      SetServer(Id(letter), L"C:\\x\\" + std::wstring(1, letter) + L".dll");
      place.add(Id(letter));
    }
    Ask({L"CLEAN", L"CLEAN", L"SKIP"});
    place.check();
    EXPECT_EQ(3u, script.warnings.size()) << place.name;
    std::vector<std::wstring> lines = {Head(place) + L"C:\\x\\A.dll 已清除!", Head(place) + L"C:\\x\\B.dll 已清除!",
                                       Head(place) + L"C:\\x\\C.dll 跳过,未清除!"};
    EXPECT_EQ(lines, Lines()) << place.name;
    EXPECT_FALSE(place.has(Id('A'))) << place.name;
    EXPECT_FALSE(place.has(Id('B'))) << place.name;
    EXPECT_TRUE(place.has(Id('C'))) << place.name;
    EXPECT_TRUE(HasKey(Reg::LocalMachine, place.path)) << place.name;
    EXPECT_TRUE(HasKey(Reg::ClassesRoot, ServerKey(Id('A')))) << place.name;  // the class stays registered
  }
}

// A class identifier longer than 255 characters is read whole,
// shown whole (its class can name no server) and removed.
TEST_F(BrowserHelpers, LongHookNameIsShownWholeAndRemoved) {
  const std::wstring longId = L"{" + std::wstring(300, L'h') + L"}";
  AddHook(longId);
  AddHook(Id('A'));
  Ask({L"SKIP", L"CLEAN"});  // values come sorted by name: the long one second
  ModuleShellExecuteHooks::CheckShellExecuteHooks();
  EXPECT_EQ(2u, script.warnings.size());
  EXPECT_EQ(std::vector<std::wstring>(
                {Head(kPlaces[1]) + Id('A') + L" 跳过,未清除!", Head(kPlaces[1]) + longId + L" 已清除!"}),
            Lines());
  EXPECT_FALSE(HasHook(longId));
  EXPECT_TRUE(HasHook(Id('A')));
}

TEST_F(BrowserHelpers, AbsentOrEmptyPlacesAskNothing) {
  Ask({});
  for (const Place& place : kPlaces) place.check();
  for (const Place& place : kPlaces) {
    Reg::Key key;
    ASSERT_EQ(Reg::Ok, Reg::Create(Reg::LocalMachine, place.path, &key));
    place.check();
  }
  EXPECT_TRUE(script.warnings.empty());
  EXPECT_FALSE(FormReport::HasFindings());
  // Without the browser helper objects key the hooks are still asked about.
  testsupport::DeleteTree(HKEY_LOCAL_MACHINE, kObjects);
  AddHook(Id('A'));
  Ask({L"SKIP"});
  for (const Place& place : kPlaces) place.check();
  EXPECT_EQ(std::vector<std::wstring>{L"警告" + Head(kPlaces[1]) + Id('A')}, script.warnings);
}

// ALLOW trusts the subject shown; a trusted entry is not asked about again until
// its class names another server.
TEST_F(BrowserHelpers, TrustedServerIsNotAskedAgainUntilItChanges) {
  for (const Place& place : kPlaces) {
    Clear();
    FormReport::Unload();
    SetServer(Id('A'), L"C:\\x\\trusted.dll");
    place.add(Id('A'));
    place.add(Id('B'));  // no class: trusted by its identifier
    Ask({L"ALLOW", L"ALLOW"});
    place.check();
    EXPECT_EQ(std::vector<std::wstring>(
                  {Head(place) + L"C:\\x\\trusted.dll 信任,未清除!", Head(place) + Id('B') + L" 信任,未清除!"}),
              Lines())
        << place.name;
    EXPECT_TRUE(TrustList::IsTrusted(L"C:\\x\\trusted.dll")) << place.name;
    EXPECT_TRUE(place.has(Id('A')) && place.has(Id('B'))) << place.name;
    FormReport::Unload();
    Ask({});
    place.check();
    EXPECT_TRUE(script.warnings.empty()) << place.name;
    EXPECT_FALSE(FormReport::HasFindings()) << place.name;
    SetServer(Id('A'), L"C:\\x\\other.dll");
    SetServer(Id('B'), L"C:\\x\\b.dll");
    Ask({L"SKIP", L"SKIP"});
    place.check();
    EXPECT_EQ(std::vector<std::wstring>(
                  {L"警告" + Head(place) + L"C:\\x\\other.dll", L"警告" + Head(place) + L"C:\\x\\b.dll"}),
              script.warnings)
        << place.name;
  }
}

// CLEAN says " 清除失败!" whenever the registration shown was not removed: the
// system refused, it was gone already, or its class meanwhile names another server.
TEST_F(BrowserHelpers, RemovalThatFailsIsReportedAsFailed) {
  struct Case {
    const char* what;
    const Place& place;
    std::function<void()> act;  // at the prompt
    bool remains;
  } cases[] = {
      // Wine grants DELETE whatever the access list says; a key that will not list
      // its subkeys stops the removal of its tree just as well.
      {"object refuses listing", kPlaces[0],
       [] { SetAccess(Reg::LocalMachine, kObjects + L"\\" + Id('A'), L"D:(D;;0x9;;;WD)(A;;KA;;;WD)"); }, true},
      {"hooks key refuses changes", kPlaces[1],
       [] { SetAccess(Reg::LocalMachine, kHooks, L"D:(D;;0x6;;;WD)(A;;KA;;;WD)"); }, true},
      {"object removed meanwhile", kPlaces[0], [] { testsupport::DeleteTree(HKEY_LOCAL_MACHINE, kObjects); }, false},
      {"hook removed meanwhile", kPlaces[1], [] { Reg::DeleteValue(Reg::LocalMachine, kHooks, Id('A')); }, false},
      {"object's server changed", kPlaces[0], [] { SetServer(Id('A'), L"C:\\x\\new.dll"); }, true},
      {"hook's server changed", kPlaces[1], [] { testsupport::DeleteTree(HKEY_CLASSES_ROOT, ClassKey(Id('A'))); },
       true},
  };
  for (const Case& c : cases) {
    Clear();
    FormReport::Unload();
    SetServer(Id('A'), L"C:\\x\\a.dll");
    c.place.add(Id('A'));
    Ask({L"CLEAN"}, c.act);
    c.place.check();
    EXPECT_EQ(std::vector<std::wstring>{Head(c.place) + L"C:\\x\\a.dll 清除失败!"}, Lines()) << c.what;
    EXPECT_EQ(c.remains, c.place.has(Id('A'))) << c.what;
  }
}

}  // namespace
