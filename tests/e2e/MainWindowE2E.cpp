// The program as a user meets it: a fresh install in this test's prefix,
// started as its own process and driven through its windows.
#include <gtest/gtest.h>

#include "tests/driver/UiDriver.h"

namespace {

const wchar_t kSection[] = L"Software\\VB and VBA Program Settings\\57302\\quorrel2006";
const wchar_t kCaption[] = L"Zorvane v3.3";
constexpr int kMenuExit = 102;
constexpr int kMenuViewReport = 301;

std::wstring Setting(const wchar_t* key, bool* found = nullptr) {
  return ui::RegText(HKEY_CURRENT_USER, kSection, key, found);
}

void SetSetting(const wchar_t* key, const wchar_t* value) { ui::SetRegText(HKEY_CURRENT_USER, kSection, key, value); }

class Program : public ::testing::Test {
 protected:
  void SetUp() override { ui::RegDeleteTree(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\57302"); }
  void TearDown() override { ui::Kill(app); }

  HWND Start(const wchar_t* name) { return ui::Launch(app, name); }
  // Closes the main window with its close box and expects the process to end.
  void CloseAndExpectExit(HWND main) {
    PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(ui::WaitExit(app, 20000));
    DWORD code = 99;
    GetExitCodeProcess(app.process.hProcess, &code);
    EXPECT_EQ(0u, code);
    EXPECT_EQ(nullptr, ui::FindTop(kCaption));
  }
  ui::App app;
};

TEST_F(Program, FirstStartSeedsSettingsAndCloseEndsTheProcess) {
  SetSetting(L"EnableOnTimeScan", L"1");  // left by a run that ended while hidden
  HWND main = Start(L"first");
  ASSERT_NE(nullptr, main);
  const wchar_t* const expected[][2] = {
      {L"CheckOnTimeScan", L"1"},
      {L"CheckAutoRun", L"0"},
      {L"CheckSoundAlart", L"1"},
      {L"CheckShowReportAfterScan", L"1"},
      {L"CheckAutoDetectNewVersion", L"0"},
      {L"CheckAutoDetectNewDB", L"0"},
      {L"Inited", L"1"},
      {L"EnableOnTimeScan", L"0"},
  };
  for (auto& e : expected) EXPECT_EQ(std::wstring(e[1]), Setting(e[0])) << e[0];
  CloseAndExpectExit(main);
}

TEST_F(Program, LaterStartsKeepTheUsersChoicesUnlessInitedWasReset) {
  SetSetting(L"Inited", L"1");
  SetSetting(L"CheckOnTimeScan", L"0");
  SetSetting(L"CheckSoundAlart", L"0");
  HWND main = Start(L"second");
  ASSERT_NE(nullptr, main);
  EXPECT_EQ(L"0", Setting(L"CheckOnTimeScan"));
  EXPECT_EQ(L"0", Setting(L"CheckSoundAlart"));
  CloseAndExpectExit(main);
  ui::Kill(app);

  SetSetting(L"Inited", L"0");
  main = Start(L"third");
  ASSERT_NE(nullptr, main);
  EXPECT_EQ(L"1", Setting(L"CheckOnTimeScan"));
  EXPECT_EQ(L"1", Setting(L"CheckSoundAlart"));
  EXPECT_EQ(L"1", Setting(L"Inited"));
  CloseAndExpectExit(main);
}

TEST_F(Program, PagesSwitchByTheirLabels) {
  HWND main = Start(L"pages");
  ASSERT_NE(nullptr, main);
  HWND scanLabel = ui::FindChild(main, L"可疑文件扫描");
  HWND askLabel = ui::FindChild(main, L"可疑文件查询");
  HWND killLabel = ui::FindChild(main, L"查杀病毒木马");
  HWND scanButton = ui::FindChild(main, L"扫描", L"Button");
  HWND fileLabel = ui::FindChild(main, L"文件名：");
  ASSERT_TRUE(scanLabel && askLabel && killLabel && scanButton && fileLabel);
  HWND scanPanel = GetParent(scanButton);
  HWND askPanel = GetParent(fileLabel);
  EXPECT_FALSE(ui::OwnVisible(scanPanel));
  EXPECT_FALSE(ui::OwnVisible(askPanel));
  ui::ClickNow(scanLabel);
  EXPECT_TRUE(IsWindowVisible(scanButton));
  EXPECT_FALSE(ui::OwnVisible(askPanel));
  ui::ClickNow(askLabel);
  EXPECT_FALSE(ui::OwnVisible(scanPanel));
  EXPECT_TRUE(IsWindowVisible(fileLabel));
  ui::ClickNow(killLabel);
  EXPECT_FALSE(ui::OwnVisible(scanPanel));
  EXPECT_FALSE(ui::OwnVisible(askPanel));
  CloseAndExpectExit(main);
}

TEST_F(Program, DateLabelAndMenuBar) {
  HWND main = Start(L"date");
  ASSERT_NE(nullptr, main);
  wchar_t date[64] = {};
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, 64);
  EXPECT_NE(nullptr, ui::FindChild(main, std::wstring(L"病毒库日期：") + date));
  EXPECT_NE(nullptr, GetMenu(main));
  CloseAndExpectExit(main);
}

TEST_F(Program, StartsWithoutTheSkinFile) {
  app.folder = ui::FreshInstall(L"noskin");
  ASSERT_TRUE(DeleteFileW((app.folder + L"\\sk.bmp").c_str()));
  ASSERT_TRUE(ui::Start(app));
  HWND main = ui::WaitShown(kCaption, 30000, app.process.dwProcessId);
  ASSERT_NE(nullptr, main);
  EXPECT_TRUE(IsWindowVisible(main));
  CloseAndExpectExit(main);
}

// Wine's file browser ignores the requested show state, so only the folder is checked.
TEST_F(Program, HistoryOpensTheLogFolder) {
  HWND main = Start(L"history");
  ASSERT_NE(nullptr, main);
  ui::Command(main, kMenuViewReport);
  HWND browser = ui::WaitWindow(L"log", 30000);
  ASSERT_NE(nullptr, browser);
  wchar_t cls[64] = {};
  GetClassNameW(browser, cls, 64);
  EXPECT_STREQ(L"ExplorerWClass", cls);
  PostMessageW(browser, WM_CLOSE, 0, 0);
  EXPECT_TRUE(ui::WaitFor([&] { return !IsWindow(browser); }, 10000));
  CloseAndExpectExit(main);
}

TEST_F(Program, ExitCommandEndsTheProgram) {
  HWND main = Start(L"exit");
  ASSERT_NE(nullptr, main);
  ui::PostCommand(main, kMenuExit);
  ASSERT_TRUE(ui::WaitExit(app, 20000));
  EXPECT_EQ(nullptr, ui::FindTop(kCaption));
}

}  // namespace
