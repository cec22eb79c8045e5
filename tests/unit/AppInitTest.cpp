// The AppInit_DLLs check against the machine's real key, which a fresh prefix
// does not have.
#include <gtest/gtest.h>
#include <memory>

#include "syscheck/Detection.h"
#include "syscheck/TrustList.h"
#include "syscheck/checks/ModuleInit_DLLs.h"
#include "tests/unit/CheckSupport.h"
#include "tests/unit/TestSupport.h"

namespace {

using checksupport::ReportLines;
using checksupport::StandInPrompt;
using checksupport::Stored;
using checksupport::WideBytes;

const wchar_t kKey[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const wchar_t kValue[] = L"AppInit_DLLs";
const std::wstring kHead = L"(RID)：发现可疑程序，可能是木马! -> ";

Stored Sz(const std::wstring& text) { return {REG_SZ, WideBytes(text)}; }
void Set(const Stored& value) { checksupport::SetValue(HKEY_LOCAL_MACHINE, kKey, kValue, value); }
bool Get(Stored* value) { return checksupport::GetValue(HKEY_LOCAL_MACHINE, kKey, kValue, value); }
bool Holds(const Stored& expected) {
  Stored now;
  return Get(&now) && now.type == expected.type && now.data == expected.data;
}

class AppInit : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteFileW(TrustList::Path().c_str());
    checksupport::ClearReport();
  }
  void TearDown() override {
    Detection::Prompt = Detection::PromptDetection;
    if (readOnly) readOnly->Restore();
    saved.Restore();
    DeleteFileW(TrustList::Path().c_str());
  }
  // One run of the check, answered in turn.
  std::vector<std::wstring> Run(std::vector<std::wstring> answers, std::function<void()> onPrompt = nullptr) {
    checksupport::ClearReport();
    StandInPrompt prompt(std::move(answers));
    prompt.onPrompt = std::move(onPrompt);
    ModuleInit_DLLs::CheckAppInitDlls();
    return prompt.warnings;
  }
  checksupport::SavedValue saved{HKEY_LOCAL_MACHINE, kKey, kValue};
  std::unique_ptr<checksupport::ReadOnlyKey> readOnly;
};

// More than four characters is a finding, shown whole and as stored, however long.
TEST_F(AppInit, ListsOfMoreThanFourCharactersAreShownWhole) {
  const std::wstring longList = L"C:\\WINDOWS\\" + std::wstring(300, L'd') + L".dll";
  struct Case {
    Stored value;            // type 0: the key is absent
    const wchar_t* subject;  // nullptr: no finding
  } cases[] = {
      {{}, nullptr},
      {Sz(L""), nullptr},
      {Sz(L"abcd"), nullptr},
      {Sz(L"abcde"), L"abcde"},
      {Sz(L"  ab "), L"  ab "},
      {Sz(L"C:\\x\\a.dll, C:\\x\\b.dll"), L"C:\\x\\a.dll, C:\\x\\b.dll"},
      {Sz(longList), longList.c_str()},
      // Every part is shown, as CLEAN empties every part.
      {{REG_BINARY, std::string("hook.dll\0junk", 13)}, L"hook.dll | junk"},
      {{REG_MULTI_SZ, WideBytes(std::wstring(L"a.dll\0C:\\x\\b.dll\0", 17))}, L"a.dll | C:\\x\\b.dll"},
      {{REG_SZ, WideBytes(std::wstring(L"ab\0cd", 5))}, L"ab | cd"},
  };
  for (const Case& c : cases) {
    std::string what = testing::PrintToString(c.value.data);
    testsupport::DeleteTree(HKEY_LOCAL_MACHINE, kKey);
    if (c.value.type) Set(c.value);
    std::vector<std::wstring> warnings, lines;
    if (c.subject) warnings.push_back(L"警告" + kHead + c.subject);
    if (c.subject) lines.push_back(kHead + c.subject + L" 跳过,未清除!");
    EXPECT_EQ(warnings, Run({L"SKIP"})) << what;
    EXPECT_EQ(lines, ReportLines()) << what;
    if (c.value.type) {
      EXPECT_TRUE(Holds(c.value)) << what << ": SKIP changes nothing";
    }
  }
}

// CLEAN empties the whole list and keeps the value with its type; text keeps its
// terminating NUL. The emptied value is no finding.
TEST_F(AppInit, CleanEmptiesTheListAndKeepsItsType) {
  struct Case {
    Stored value, emptied;
  } cases[] = {
      {Sz(L"a.dll b.dll"), {REG_SZ, std::string(2, '\0')}},
      {{REG_EXPAND_SZ, WideBytes(L"a.dll b.dll")}, {REG_EXPAND_SZ, std::string(2, '\0')}},
      {{REG_BINARY, "a.dll b.dll"}, {REG_BINARY, ""}},
  };
  for (const Case& c : cases) {
    std::string what = std::to_string(c.value.type);
    Set(c.value);
    EXPECT_EQ(std::vector<std::wstring>{L"警告" + kHead + L"a.dll b.dll"}, Run({L"CLEAN"})) << what;
    EXPECT_EQ(std::vector<std::wstring>{kHead + L"a.dll b.dll 已清除!"}, ReportLines()) << what;
    EXPECT_TRUE(Holds(c.emptied)) << what;
    EXPECT_TRUE(Run({}).empty()) << what;
  }
}

// CLEAN says it failed when the key refuses the write, or when the list changed or
// went while the prompt waited (then it is left alone).
TEST_F(AppInit, CleanThatCannotFinishIsReportedAsFailed) {
  const Stored list = Sz(L"C:\\x\\hook.dll");
  struct Case {
    const char* what;
    std::function<void()> onPrompt;
    Stored after;  // type 0: absent
  } cases[] = {
      {"the key refuses the write", [this] { readOnly.reset(new checksupport::ReadOnlyKey(HKEY_LOCAL_MACHINE, kKey)); },
       list},
      {"the list changed meanwhile", [] { Set(Sz(L"C:\\x\\other.dll")); }, Sz(L"C:\\x\\other.dll")},
      {"the list went meanwhile", [] { checksupport::DeleteValue(HKEY_LOCAL_MACHINE, kKey, kValue); }, {}},
  };
  for (const Case& c : cases) {
    Set(list);
    EXPECT_EQ(1u, Run({L"CLEAN"}, c.onPrompt).size()) << c.what;
    EXPECT_EQ(std::vector<std::wstring>{kHead + L"C:\\x\\hook.dll 清除失败!"}, ReportLines()) << c.what;
    Stored now;
    EXPECT_EQ(c.after.type != 0, Get(&now)) << c.what;
    if (c.after.type) {
      EXPECT_TRUE(Holds(c.after)) << c.what;
    }
    if (readOnly) readOnly->Restore();
  }
}

// ALLOW trusts the list shown: not asked again, until the value holds another.
TEST_F(AppInit, TrustedListIsNotAskedAgainUntilItChanges) {
  Set(Sz(L"C:\\x\\a.dll"));
  EXPECT_EQ(std::vector<std::wstring>{L"警告" + kHead + L"C:\\x\\a.dll"}, Run({L"ALLOW"}));
  EXPECT_EQ(std::vector<std::wstring>{kHead + L"C:\\x\\a.dll 信任,未清除!"}, ReportLines());
  EXPECT_TRUE(TrustList::IsTrusted(L"C:\\x\\a.dll"));
  EXPECT_TRUE(Holds(Sz(L"C:\\x\\a.dll")));
  EXPECT_TRUE(Run({}).empty());
  EXPECT_TRUE(ReportLines().empty());
  Set(Sz(L"C:\\x\\a.dll C:\\x\\b.dll"));
  EXPECT_EQ(std::vector<std::wstring>{L"警告" + kHead + L"C:\\x\\a.dll C:\\x\\b.dll"}, Run({L"SKIP"}));
}

}  // namespace
