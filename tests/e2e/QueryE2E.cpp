// The query page as a user meets it: type a file name, press "查询", read the answer.
#include <gtest/gtest.h>
#include <string>

#include "tests/driver/UiDriver.h"

namespace {

struct Search {
  std::wstring text;
  HWND found = nullptr;
};

BOOL CALLBACK FindVisible(HWND hwnd, LPARAM lParam) {
  auto* s = reinterpret_cast<Search*>(lParam);
  if (!IsWindowVisible(hwnd) || ui::TextOf(hwnd) != s->text) return TRUE;
  s->found = hwnd;
  return FALSE;
}

// The image a user sees and presses: of the pair named "查询", the one shown.
HWND VisibleChild(HWND parent, const std::wstring& text) {
  Search s{text};
  EnumChildWindows(parent, FindVisible, (LPARAM)&s);
  return s.found;
}

class QueryE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateDirectoryW(L"C:\\queryfix", nullptr);
    CreateDirectoryW(L"C:\\queryfix\\with space", nullptr);
    ui::WriteFileBytes(L"C:\\queryfix\\hook.dll", "MZ" + std::string(100, '\0') + ui::HookSignature());
    ui::WriteFileBytes(L"C:\\queryfix\\with space\\clean.exe", "MZ" + std::string(100, '\0'));
    main = ui::Launch(app, L"query");
    ASSERT_NE(nullptr, main);
    ui::ClickNow(ui::FindChild(main, L"可疑文件查询"));
    button = VisibleChild(main, L"查询");
    ASSERT_NE(nullptr, button);
    field = FindWindowExW(GetParent(button), nullptr, L"Edit", nullptr);
    ASSERT_NE(nullptr, field);
  }
  void TearDown() override { ui::Kill(app); }

  // Replaces the field's text key by key, as typing does.
  void Type(const std::wstring& text) {
    SendMessageW(field, EM_SETSEL, 0, -1);
    if (text.empty()) PostMessageW(field, WM_CHAR, VK_BACK, 0);
    for (wchar_t c : text) PostMessageW(field, WM_CHAR, c, 0);
    EXPECT_TRUE(ui::WaitFor([&] { return ui::TextOf(field) == text; }, 10000));
  }

  ui::App app;
  HWND main = nullptr, button = nullptr, field = nullptr;
};

TEST_F(QueryE2E, TypedNameIsExaminedAndAnswered) {
  struct Case {
    std::wstring typed;
    std::wstring answer;
  } cases[] = {
      {L"C:\\queryfix\\hook.dll", L"可疑文件：C:\\queryfix\\hook.dll | 文件发行者：未知"},
      {L" \"C:\\queryfix\\with space\\clean.exe\" ", L"该文件是安全的。"},
      {L"", L"请输入要查询的文件名。"},
      {L"COM1", L"不是文件（设备或管道），无法查询：COM1"},
  };
  for (const Case& c : cases) {
    Type(c.typed);
    ui::PostMouseDown(button, 1);
    EXPECT_EQ(c.answer, ui::AcknowledgeMessage(app.process.dwProcessId));
    EXPECT_TRUE(ui::WaitFor([&] { return IsWindowEnabled(main); }, 10000));  // the main window takes input again
  }
  Type(L"C:\\queryfix\\missing.dll");
  ui::PostMouseDown(button, 2);  // either mouse button
  std::wstring answer = ui::AcknowledgeMessage(app.process.dwProcessId);
  EXPECT_EQ(0u, answer.find(L"找不到文件：C:\\queryfix\\missing.dll\r\n")) << answer.size();
  EXPECT_NE(std::wstring::npos, answer.find(L"（错误 2）"));
}

}  // namespace
