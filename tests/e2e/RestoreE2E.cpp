// Undoing a CLEAN as a user does: two Run values cleaned in a system check, then
// 查看 > 已清除项目: one restored, the other's backup deleted, the window closed.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tests/driver/UiDriver.h"

namespace {

const wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr int kMenuViewBackups = 302;
const wchar_t kCaption[] = L"恢复已清除项目";

bool HasValue(const wchar_t* name, std::wstring* text = nullptr) {
  bool found = false;
  std::wstring read = ui::RegText(HKEY_CURRENT_USER, kRun, name, &found);
  if (text) *text = read;
  return found;
}

class RestoreE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::RegDeleteTree(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\57302");
    ui::RegDeleteTree(HKEY_CURRENT_USER, kRun);
  }
  void TearDown() override { ui::Kill(app); }
  DWORD Pid() const { return app.process.dwProcessId; }

  // Opens the window from the menu; its list, or null.
  HWND Open(HWND main, HWND* window) {
    ui::PostCommand(main, kMenuViewBackups);
    *window = ui::WaitShown(kCaption, 20000, Pid());
    return *window ? FindWindowExW(*window, nullptr, L"ListBox", nullptr) : nullptr;
  }
  void Close(HWND window) {
    ui::PostButton(ui::FindChild(window, L"关闭", L"Button"));
    EXPECT_TRUE(ui::WaitFor([&] { return !IsWindow(window); }, 10000));
  }
  // Selects only the row that mentions `text`.
  void SelectRow(HWND list, const std::wstring& text) {
    SendMessageW(list, LB_SETSEL, FALSE, -1);
    std::vector<std::wstring> rows = ui::ListRows(list);
    for (size_t i = 0; i < rows.size(); i++)
      if (rows[i].find(text) != std::wstring::npos) SendMessageW(list, LB_SETSEL, TRUE, (LPARAM)i);
  }

  ui::App app;
};

TEST_F(RestoreE2E, CleanTwoRestoreOneDeleteTheOther) {
  ui::SetRegText(HKEY_CURRENT_USER, kRun, L"alpha", L"C:\\WINDOWS\\undo-alpha.exe");
  ui::SetRegText(HKEY_CURRENT_USER, kRun, L"beta", L"C:\\WINDOWS\\undo-beta.exe");
  HWND main = ui::Launch(app, L"restore");
  ASSERT_NE(nullptr, main);
  ui::PressScanAndWatchProgress(main, Pid());
  const std::wstring rar = L"警告(RAR)：发现可疑程序，可能是木马! -> ";
  EXPECT_EQ(rar + L"C:\\WINDOWS\\undo-alpha.exe", ui::AnswerPrompt(Pid(), L"清除"));
  EXPECT_EQ(rar + L"C:\\WINDOWS\\undo-beta.exe", ui::AnswerPrompt(Pid(), L"清除"));
  HWND report = ui::WaitReport(Pid());
  ASSERT_NE(nullptr, report);
  ui::CloseReport(report);
  ASSERT_FALSE(HasValue(L"alpha"));
  ASSERT_FALSE(HasValue(L"beta"));

  HWND window = nullptr;
  HWND list = Open(main, &window);
  ASSERT_NE(nullptr, list);
  std::vector<std::wstring> rows = ui::ListRows(list);
  ASSERT_EQ(2u, rows.size()) << testing::PrintToString(rows);
  for (const wchar_t* name : {L"alpha", L"beta"})
    EXPECT_TRUE(rows[0].find(name) != std::wstring::npos || rows[1].find(name) != std::wstring::npos) << name;
  EXPECT_NE(std::wstring::npos, rows[0].find(L"  RAR  C:\\WINDOWS\\undo-"));
  EXPECT_NE(std::wstring::npos, rows[0].find(L"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run : "));

  SelectRow(list, L"undo-alpha.exe");
  ui::PostButton(ui::FindChild(window, L"恢复", L"Button"));
  ASSERT_TRUE(ui::WaitFor([&] { return ui::ListRows(list).size() == 1; }, 10000));
  std::wstring text;
  EXPECT_TRUE(HasValue(L"alpha", &text));
  EXPECT_EQ(L"C:\\WINDOWS\\undo-alpha.exe", text);
  EXPECT_NE(std::wstring::npos, ui::ListRows(list).at(0).find(L"undo-beta.exe"));

  SelectRow(list, L"undo-beta.exe");
  ui::PostButton(ui::FindChild(window, L"删除备份", L"Button"));
  HWND box = nullptr;
  ASSERT_TRUE(ui::WaitFor([&] { return (box = ui::TopOfProcess(Pid(), L"Zorvane", L"#32770")) != nullptr; }, 20000));
  EXPECT_EQ(L"删除选中的 1 个备份吗？删除后这些项目无法再恢复。", ui::TextOf(GetDlgItem(box, 0xFFFF)));
  ui::PostButton(GetDlgItem(box, IDYES));
  ASSERT_TRUE(ui::WaitFor([&] { return ui::ListRows(list).empty(); }, 10000));
  EXPECT_FALSE(HasValue(L"beta"));
  Close(window);

  list = Open(main, &window);
  ASSERT_NE(nullptr, list);
  EXPECT_TRUE(ui::ListRows(list).empty());
  Close(window);
  EXPECT_TRUE(HasValue(L"alpha"));
}

}  // namespace
