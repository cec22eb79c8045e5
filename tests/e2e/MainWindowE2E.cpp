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

// The defaults of a first start, with CheckAutoRun seeded as `autoRun`.
void ExpectSeeded(const wchar_t* autoRun) {
  const wchar_t* const expected[][2] = {
      {L"CheckOnTimeScan", L"1"},
      {L"CheckAutoRun", autoRun},
      {L"CheckSoundAlart", L"1"},
      {L"CheckShowReportAfterScan", L"1"},
      {L"CheckAutoDetectNewVersion", L"0"},
      {L"CheckAutoDetectNewDB", L"0"},
      {L"Inited", L"1"},
      {L"EnableOnTimeScan", L"0"},
  };
  for (auto& e : expected) EXPECT_EQ(std::wstring(e[1]), Setting(e[0])) << e[0];
}

class Program : public ::testing::Test {
 protected:
  void SetUp() override { ui::RegDeleteTree(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\57302"); }
  void TearDown() override { ui::Kill(app); }

  HWND Start(const wchar_t* name) { return ui::Launch(app, name); }
  // As the logon task starts it: "/logon" after the program's path.
  static bool StartAtLogon(ui::App& started, const std::wstring& folder) {
    started.folder = folder;
    std::wstring command = L"\"" + folder + L"\\Quorrel2006.exe\" /logon";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    return CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                          &started.process) != FALSE;
  }
  HWND LaunchAtLogon(const wchar_t* name) {
    if (!StartAtLogon(app, ui::FreshInstall(name))) return nullptr;
    return ui::WaitShown(kCaption, 30000, app.process.dwProcessId);
  }
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

// Started by hand or by a logon task, which an administrator deploys for
// everybody: a user who never set the options gets the start on from the latter.
TEST_F(Program, FirstStartSeedsSettingsAndCloseEndsTheProcess) {
  struct Case {
    const wchar_t* name;
    bool atLogon;
    const wchar_t* autoRun;
  } cases[] = {{L"first", false, L"0"}, {L"logon-new", true, L"1"}};
  for (const Case& c : cases) {
    ui::RegDeleteTree(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\57302");
    SetSetting(L"EnableOnTimeScan", L"1");  // left by a run that ended while hidden
    HWND main = c.atLogon ? LaunchAtLogon(c.name) : Start(c.name);
    ASSERT_NE(nullptr, main);
    ExpectSeeded(c.autoRun);
    CloseAndExpectExit(main);
    ui::Kill(app);
  }
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

// Started by a logon task for a user who turned the start off: it ends at once,
// shows no window and leaves the copy already running (hidden in the tray) alone.
// At logon, with the start off or a copy already running (hidden in the tray), the
// program ends with no window and leaves the running copy as it is.
TEST_F(Program, LogonStartEndsQuietlyWhenOffOrAlreadyRunning) {
  for (const wchar_t* autoRun : {L"0", L"1"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(L"CheckAutoRun ") + autoRun));
    SetSetting(L"Inited", L"1");
    SetSetting(L"CheckAutoRun", autoRun);
    const std::wstring name = std::wstring(L"logon-") + autoRun;
    HWND main = Start(name.c_str());
    ASSERT_NE(nullptr, main);
    PostMessageW(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(ui::WaitFor([&] { return !IsWindowVisible(main) && Setting(L"EnableOnTimeScan") == L"1"; }, 20000));
    ui::App logon;
    ASSERT_TRUE(StartAtLogon(logon, app.folder));
    ASSERT_TRUE(ui::WaitExit(logon, 20000));
    DWORD code = 99;
    GetExitCodeProcess(logon.process.hProcess, &code);
    EXPECT_EQ(0u, code);
    EXPECT_EQ(nullptr, ui::FindTop(kCaption, logon.process.dwProcessId));
    ui::Kill(logon);
    // A hand-over would bring the hidden copy back.
    EXPECT_FALSE(ui::WaitFor([&] { return IsWindowVisible(main) != FALSE; }, 3000));
    EXPECT_EQ(L"1", Setting(L"EnableOnTimeScan"));
    EXPECT_EQ(autoRun, Setting(L"CheckAutoRun"));
    ui::Kill(app);
  }
}

}  // namespace
