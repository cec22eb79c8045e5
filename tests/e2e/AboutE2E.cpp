// The about box as a user meets it: opened from the help menu of the running
// program, closed by its OK image, and gone with the program when it ends.
#include <gtest/gtest.h>

#include "tests/driver/UiDriver.h"

namespace {

const wchar_t kCaption[] = L"Zorvane v3.3";
// Another process cannot read the menus under Wine: the command goes by its id.
constexpr int kMenuAbout = 503;

class AboutE2E : public ::testing::Test {
 protected:
  void TearDown() override { ui::Kill(app); }
  // Opens the box from the menu; the box, or null when it did not show.
  HWND OpenAbout(HWND main) {
    ui::PostCommand(main, kMenuAbout);
    return ui::WaitShown(L"关于", 20000, app.process.dwProcessId);
  }
  ui::App app;
};

TEST_F(AboutE2E, OpensFromTheMenuAndClosesByItsOkImage) {
  HWND main = ui::Launch(app, L"about");
  ASSERT_NE(nullptr, main);
  for (int button : {1, 2}) {  // either mouse button closes it
    HWND box = OpenAbout(main);
    ASSERT_NE(nullptr, box) << button;
    EXPECT_EQ(main, GetWindow(box, GW_OWNER));
    EXPECT_FALSE(IsWindowEnabled(main));
    EXPECT_NE(nullptr, ui::FindChild(box, L"检测和清除各类已知或未知的木马、蠕虫病毒、恶意程序"));
    EXPECT_NE(nullptr, ui::FindChild(box, L"https://zorvane.example/"));
    HWND ok = ui::FindChild(box, L"确定");
    ASSERT_NE(nullptr, ok);
    ui::PostMouseDown(ok, button);
    EXPECT_TRUE(ui::WaitFor([&] { return !IsWindow(box); }, 10000)) << button;
    EXPECT_TRUE(IsWindowEnabled(main)) << button;
  }
  // The main window takes input again: a page label answers.
  ui::ClickNow(ui::FindChild(main, L"可疑文件扫描"));
  EXPECT_TRUE(IsWindowVisible(ui::FindChild(main, L"扫描", L"Button")));
  PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_TRUE(ui::WaitExit(app, 20000));
}

TEST_F(AboutE2E, ClosingTheProgramTakesAnOpenBoxAlong) {
  HWND main = ui::Launch(app, L"aboutexit");
  ASSERT_NE(nullptr, main);
  HWND box = OpenAbout(main);
  ASSERT_NE(nullptr, box);
  PostMessageW(main, WM_CLOSE, 0, 0);
  ASSERT_TRUE(ui::WaitExit(app, 20000));
  EXPECT_FALSE(IsWindow(box));
  EXPECT_EQ(nullptr, ui::FindTop(kCaption));
}

}  // namespace
