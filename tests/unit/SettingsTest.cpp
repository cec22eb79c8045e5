#include <gtest/gtest.h>

#include "common/SettingsStore.h"
#include "frame/FormMain.h"
#include "platform/Settings.h"
#include "tests/unit/TestSupport.h"

namespace {

const wchar_t kRoot[] = L"Software\\VB and VBA Program Settings\\57302";

class Settings : public ::testing::Test {
 protected:
  void SetUp() override { testsupport::DeleteTree(HKEY_CURRENT_USER, kRoot); }
  void TearDown() override { testsupport::DeleteTree(HKEY_CURRENT_USER, kRoot); }
};

TEST_F(Settings, StoreLivesUnderTheClassicPerUserLocation) {
  ASSERT_TRUE(SettingsStore::Save(L"CheckAutoRun", L"1"));
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS,
            RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\57302\\quorrel2006", 0, KEY_READ,
                          &key));
  wchar_t data[16] = {};
  DWORD size = sizeof data, type = 0;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, L"CheckAutoRun", nullptr, &type, (BYTE*)data, &size));
  RegCloseKey(key);
  EXPECT_EQ(DWORD(REG_SZ), type);
  EXPECT_STREQ(L"1", data);
}

TEST_F(Settings, AbsentKeyReadsEmpty) {
  EXPECT_EQ(L"", SettingsStore::Get(L"CheckOnTimeScan"));
  EXPECT_FALSE(SettingsStore::IsOn(L"CheckOnTimeScan"));
}

TEST_F(Settings, OnMeansTheTextReadsAsTheNumberOne) {
  struct Case {
    const wchar_t* stored;
    bool on;
  } cases[] = {{L"1", true},   {L"01", true},   {L" 1", true}, {L"1abc", true}, {L"0", false}, {L"2", false},
               {L"-1", false}, {L"abc", false}, {L"", false},  {L"11", false},  {L"+1", true}};
  for (const Case& c : cases) {
    SettingsStore::Save(L"CheckSoundAlart", c.stored);
    EXPECT_EQ(c.on, SettingsStore::IsOn(L"CheckSoundAlart"))
        << "stored: [" << ::testing::PrintToString(std::wstring(c.stored)) << "]";
  }
}

TEST_F(Settings, FirstStartSeedsTheDefaults) {
  FormMain::InitSettings();
  const wchar_t* const expected[][2] = {
      {L"CheckOnTimeScan", L"1"},
      {L"CheckAutoRun", L"0"},
      {L"CheckSoundAlart", L"1"},
      {L"CheckShowReportAfterScan", L"1"},
      {L"CheckAutoDetectNewVersion", L"0"},
      {L"CheckAutoDetectNewDB", L"0"},
      {L"Inited", L"1"},
  };
  for (auto& e : expected) EXPECT_EQ(std::wstring(e[1]), SettingsStore::Get(e[0])) << e[0];
}

TEST_F(Settings, SeededStoreKeepsTheUsersChoices) {
  FormMain::InitSettings();
  SettingsStore::Save(L"CheckOnTimeScan", L"0");
  SettingsStore::Save(L"CheckAutoDetectNewDB", L"1");
  FormMain::InitSettings();
  EXPECT_EQ(L"0", SettingsStore::Get(L"CheckOnTimeScan"));
  EXPECT_EQ(L"1", SettingsStore::Get(L"CheckAutoDetectNewDB"));
}

TEST_F(Settings, InitedOtherThanOneReseeds) {
  for (const wchar_t* inited : {L"0", L"yes", L"2"}) {
    SettingsStore::Save(L"Inited", inited);
    SettingsStore::Save(L"CheckOnTimeScan", L"0");
    SettingsStore::Save(L"CheckAutoRun", L"1");
    FormMain::InitSettings();
    EXPECT_EQ(L"1", SettingsStore::Get(L"CheckOnTimeScan"));
    EXPECT_EQ(L"0", SettingsStore::Get(L"CheckAutoRun"));
    EXPECT_EQ(L"1", SettingsStore::Get(L"Inited"));
  }
}

}  // namespace
