// The notification area as a user meets it: minimize hides the window to its
// icon, a double-click on the icon brings it back, and no way of ending the
// program leaves the icon behind.
#include <functional>
#include <gtest/gtest.h>

#include "tests/driver/UiDriver.h"

namespace {

const wchar_t kSection[] = L"Software\\VB and VBA Program Settings\\57302\\quorrel2006";
constexpr UINT kTrayMessage = 2025;
constexpr int kMenuExit = 102;

std::wstring Setting(const wchar_t* key) { return ui::RegText(HKEY_CURRENT_USER, kSection, key); }

class Tray : public ::testing::Test {
 protected:
  void SetUp() override { ui::RegDeleteTree(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\57302"); }
  void TearDown() override { ui::Kill(app); }
  HWND Start(const wchar_t* name) { return ui::Launch(app, name); }
  void Minimize(HWND main) {
    PostMessageW(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(ui::WaitFor([&] { return !IsWindowVisible(main) && Setting(L"EnableOnTimeScan") == L"1"; }, 20000));
  }
  ui::App app;
};

TEST_F(Tray, MinimizeHidesToTheIconAndADoubleClickBringsTheWindowBack) {
  HWND main = Start(L"tray");
  ASSERT_NE(nullptr, main);
  EXPECT_EQ(L"0", Setting(L"EnableOnTimeScan"));
  EXPECT_TRUE(ui::TrayIconPresent(main));
  int shownButtons = 0;
  ASSERT_TRUE(ui::WaitFor([&] { return (shownButtons = ui::VisibleTaskbarButtons()) >= 2; }, 10000));

  Minimize(main);
  EXPECT_TRUE(IsIconic(main));
  EXPECT_TRUE(ui::WaitFor([&] { return ui::VisibleTaskbarButtons() == shownButtons - 1; }, 10000));
  EXPECT_TRUE(ui::TrayIconPresent(main));

  PostMessageW(main, kTrayMessage, 0, WM_LBUTTONDBLCLK);
  // Shown, then restored: the restore is its own step.
  ASSERT_TRUE(ui::WaitFor([&] { return IsWindowVisible(main) && Setting(L"EnableOnTimeScan") == L"0"; }, 20000));
  EXPECT_TRUE(ui::WaitFor([&] { return !IsIconic(main); }, 20000));
  EXPECT_TRUE(ui::WaitFor([&] { return ui::VisibleTaskbarButtons() == shownButtons; }, 10000));
  EXPECT_TRUE(ui::TrayIconPresent(main));
}

TEST_F(Tray, NoIconIsLeftBehindHoweverTheProgramEnds) {
  struct End {
    const wchar_t* name;
    bool hiddenFirst;
    std::function<void(HWND)> act;
  } ends[] = {
      {L"closebox", false, [](HWND main) { PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0); }},
      {L"exit", false, [](HWND main) { ui::PostCommand(main, kMenuExit); }},
      {L"endsession", false,
       [](HWND main) {
         DWORD_PTR answer = 0;
         SendMessageTimeoutW(main, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 20000, &answer);
         EXPECT_EQ(TRUE, (BOOL)answer);
         SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 20000, &answer);
       }},
      {L"endsession-hidden", true,
       [](HWND main) { SendMessageTimeoutW(main, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 20000, nullptr); }},
  };
  for (const End& end : ends) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(end.name)));
    HWND main = Start(end.name);
    ASSERT_NE(nullptr, main);
    ASSERT_TRUE(ui::TrayIconPresent(main));
    if (end.hiddenFirst) Minimize(main);
    end.act(main);
    ASSERT_TRUE(ui::WaitExit(app, 20000));
    DWORD code = 99;
    GetExitCodeProcess(app.process.hProcess, &code);
    EXPECT_EQ(0u, code);
    EXPECT_FALSE(ui::TrayIconPresent(main));
    ui::Kill(app);
  }
}

// Whatever brings the hidden window back ends the monitor's watch, not only the
// icon: a restore from outside, and a prompt of a check run while it was away.
TEST_F(Tray, WhateverBringsTheWindowBackEndsTheWatch) {
  const wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  ui::SetRegText(HKEY_CURRENT_USER, kRun, L"demo", L"C:\\WINDOWS\\evil.exe");
  HWND main = Start(L"comeback");
  ASSERT_NE(nullptr, main);
  Minimize(main);
  ShowWindow(main, SW_RESTORE);
  EXPECT_TRUE(ui::WaitFor([&] { return IsWindowVisible(main) && Setting(L"EnableOnTimeScan") == L"0"; }, 20000));

  ui::PressScanAndWatchProgress(main, app.process.dwProcessId, nullptr, [&](HWND) { Minimize(main); });
  HWND prompt = ui::WaitPrompt(app.process.dwProcessId);
  ASSERT_NE(nullptr, prompt);
  EXPECT_TRUE(IsWindowVisible(main));
  EXPECT_TRUE(ui::WaitFor([&] { return Setting(L"EnableOnTimeScan") == L"0"; }, 20000));
  ui::AnswerPrompt(app.process.dwProcessId, L"跳过");
  ui::RegDeleteTree(HKEY_CURRENT_USER, kRun);
}

// One copy per session: a second start brings the copy in the tray back and ends.
TEST_F(Tray, SecondStartBringsTheRunningCopyBack) {
  HWND main = Start(L"single");
  ASSERT_NE(nullptr, main);
  Minimize(main);
  ui::App second;
  second.folder = app.folder;
  ASSERT_TRUE(ui::Start(second));
  EXPECT_TRUE(ui::WaitExit(second, 20000));
  DWORD code = 99;
  GetExitCodeProcess(second.process.hProcess, &code);
  EXPECT_EQ(0u, code);
  ui::Kill(second);
  EXPECT_TRUE(ui::WaitFor(
      [&] { return IsWindowVisible(main) && !IsIconic(main) && Setting(L"EnableOnTimeScan") == L"0"; }, 20000));
  EXPECT_TRUE(ui::TrayIconPresent(main));
  EXPECT_EQ(main, ui::FindTop(L"Zorvane v3.3"));
}

}  // namespace
