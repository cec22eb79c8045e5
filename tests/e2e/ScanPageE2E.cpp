// The suspicious-file scan page as a user meets it: start, results, stop.
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tests/driver/UiDriver.h"

namespace {

int Count(const std::wstring& text, const std::wstring& what) {
  int n = 0;
  for (size_t at = text.find(what); at != std::wstring::npos; at = text.find(what, at + 1)) n++;
  return n;
}

// The number in "扫描完成，已扫描 N个文件。", or -1.
long ScannedCount(const std::wstring& label) {
  const std::wstring head = L"扫描完成，已扫描 ";
  const std::wstring tail = L"个文件。";
  if (label.compare(0, head.size(), head) != 0 || label.size() <= head.size() + tail.size()) return -1;
  if (label.compare(label.size() - tail.size(), tail.size(), tail) != 0) return -1;
  std::wstring digits = label.substr(head.size(), label.size() - head.size() - tail.size());
  if (digits.find_first_not_of(L"0123456789") != std::wstring::npos) return -1;
  return std::stol(digits);
}

class ScanPage : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateDirectoryW(L"C:\\scanfix", nullptr);
    ui::WriteFileBytes(L"C:\\scanfix\\hook.dll", "MZ" + std::string(100, '\0') + ui::HookSignature());
    main = ui::Launch(app, L"scan");
    ASSERT_NE(nullptr, main);
    ui::ClickNow(ui::FindChild(main, L"可疑文件扫描"));
    scan = ui::FindChild(main, L"扫描", L"Button");
    stop = ui::FindChild(main, L"停止", L"Button");
    ASSERT_TRUE(scan && stop);
  }
  void TearDown() override { ui::Kill(app); }

  HWND ResultBox() {
    HWND box = FindWindowExW(GetParent(scan), nullptr, L"Edit", nullptr);
    EXPECT_NE(nullptr, box);
    return box;
  }
  // Waits for the closing message; returns the status label's text while it is open.
  std::wstring FinishScan() {
    HWND box = nullptr;
    EXPECT_TRUE(ui::WaitFor(
        [&] { return (box = ui::TopOfProcess(app.process.dwProcessId, L"扫描完成!", L"#32770")) != nullptr; }, 120000));
    if (!box) return L"";
    EXPECT_EQ(L"扫描完成。", ui::TextOf(GetDlgItem(box, 0xFFFF)));
    EXPECT_FALSE(IsWindowEnabled(scan));
    HWND state = nullptr;
    ui::TopWithChildText(app.process.dwProcessId, L"扫描完成，已扫描 ", &state);
    std::wstring text = state ? ui::TextOf(state) : L"";
    PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(ui::WaitFor([&] { return IsWindowEnabled(scan) && !IsWindowEnabled(stop); }, 20000));
    return text;
  }

  ui::App app;
  HWND main = nullptr, scan = nullptr, stop = nullptr;
};

TEST_F(ScanPage, AllDrivesScanListsTheHookLibraryAndResultsAccumulate) {
  EXPECT_NE(nullptr, ui::FindChild(main, L"我的电脑"));
  EXPECT_NE(nullptr, ui::FindChild(main, L"扫描状态：未进行扫描。"));
  EXPECT_TRUE(IsWindowEnabled(scan));
  EXPECT_FALSE(IsWindowEnabled(stop));
  ui::PostButton(scan);
  long first = ScannedCount(FinishScan());
  EXPECT_GT(first, 100);  // the whole of C:
  const std::wstring line = L" 可疑文件：C:\\scanfix\\hook.dll | 文件发行者：未知\r\n";
  EXPECT_EQ(1, Count(ui::TextOf(ResultBox()), line));

  ui::PostButton(scan);
  long second = ScannedCount(FinishScan());
  EXPECT_GE(second, first - 5);
  EXPECT_EQ(2, Count(ui::TextOf(ResultBox()), line));
}

// The result lines are the user's to keep: each stays one line however long, the
// box scrolls sideways to show the rest of it, and what is selected is copied.
TEST_F(ScanPage, ResultLinesStayWholeScrollSidewaysAndCopy) {
  std::vector<std::wstring> folders{L"C:\\scanwide"};
  for (int i = 0; i < 4; i++) folders.push_back(folders.back() + L"\\一个名字很长的文件夹" + std::to_wstring(i));
  for (const std::wstring& f : folders) CreateDirectoryW(f.c_str(), nullptr);
  const std::wstring deep = folders.back() + L"\\deep.dll";
  ui::WriteFileBytes(deep, "MZ" + ui::HookSignature());
  ui::PostButton(scan);
  FinishScan();
  HWND box = ResultBox();
  std::wstring text = ui::TextOf(box);
  const std::wstring line = L" 可疑文件：" + deep + L" | 文件发行者：未知\r\n";
  EXPECT_EQ(1, Count(text, line));
  EXPECT_EQ(Count(text, L"\r\n") + 1, SendMessageW(box, EM_GETLINECOUNT, 0, 0));  // no line wraps

  // The long line reaches past the box's right edge; scrolled to the right, its
  // start moves out on the left.
  RECT client;
  GetClientRect(box, &client);
  LRESULT start = (LRESULT)text.find(line), end = start + (LRESULT)line.size() - 2;
  EXPECT_GT((short)LOWORD(SendMessageW(box, EM_POSFROMCHAR, (WPARAM)end - 1, 0)), client.right);
  SendMessageW(box, WM_HSCROLL, SB_RIGHT, 0);
  EXPECT_LT((short)LOWORD(SendMessageW(box, EM_POSFROMCHAR, (WPARAM)start, 0)), 0);

  SendMessageW(box, EM_SETSEL, 0, -1);
  SendMessageW(box, WM_COPY, 0, 0);
  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  const wchar_t* copied = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr;
  EXPECT_EQ(text, copied ? std::wstring(copied) : L"");
  if (copied) GlobalUnlock(data);
  CloseClipboard();

  DeleteFileW(deep.c_str());
  for (auto f = folders.rbegin(); f != folders.rend(); ++f) RemoveDirectoryW(f->c_str());
}

TEST_F(ScanPage, StopEndsTheScanWithTheCountSoFar) {
  ui::PostButton(scan);
  long full = ScannedCount(FinishScan());
  ASSERT_GT(full, 100);
  ui::PostButton(scan);
  ui::PostButton(stop);
  long stopped = ScannedCount(FinishScan());
  EXPECT_GE(stopped, 0);
  EXPECT_LT(stopped, full);
  // The next scan starts again from the drives, not from what the stop left queued.
  ui::PostButton(scan);
  EXPECT_GE(ScannedCount(FinishScan()), full - 5);
}

TEST_F(ScanPage, ClosingTheWindowEndsARunningScanCleanly) {
  ui::PostButton(scan);
  ui::WaitFor([&] { return !IsWindowEnabled(scan); }, 10000);
  PostMessageW(main, WM_CLOSE, 0, 0);
  ASSERT_TRUE(ui::WaitExit(app, 30000));
  DWORD code = 99;
  GetExitCodeProcess(app.process.hProcess, &code);
  EXPECT_EQ(0u, code);
  EXPECT_EQ(nullptr, ui::FindTop(L"扫描完成!"));
}

TEST_F(ScanPage, ChosenFolderIsTheTargetAndIsWalkedWhole) {
  CreateDirectoryW(L"C:\\scanfix\\sub", nullptr);
  ui::WriteFileBytes(L"C:\\scanfix\\sub\\deeper.exe", "MZ" + ui::HookSignature());
  ui::WriteFileBytes(L"C:\\scanfix\\readme.txt", "x");
  ui::PostButton(ui::FindChild(main, L"选择", L"Button"));
  std::wstring tree;
  bool chosen = ui::ChooseInFolderBrowser(app.process.dwProcessId, {L"我的电脑", L"C:", L"scanfix"}, &tree);
  ASSERT_TRUE(chosen) << testing::PrintToString(tree);
  EXPECT_TRUE(ui::WaitFor([&] { return ui::FindChild(main, L"C:\\scanfix") != nullptr; }, 10000));
  ui::PostButton(scan);
  EXPECT_EQ(3, ScannedCount(FinishScan()));
  std::wstring results = ui::TextOf(ResultBox());
  EXPECT_EQ(1, Count(results, L" 可疑文件：C:\\scanfix\\hook.dll | 文件发行者：未知\r\n"));
  EXPECT_EQ(1, Count(results, L" 可疑文件：C:\\scanfix\\sub\\deeper.exe | 文件发行者：未知\r\n"));

  // Cancelling the browser keeps the target.
  ui::PostButton(ui::FindChild(main, L"选择", L"Button"));
  ui::CancelFolderBrowser(app.process.dwProcessId);
  Sleep(300);
  EXPECT_NE(nullptr, ui::FindChild(main, L"C:\\scanfix"));

  // A drive root keeps its backslash.
  ui::PostButton(ui::FindChild(main, L"选择", L"Button"));
  ASSERT_TRUE(ui::ChooseInFolderBrowser(app.process.dwProcessId, {L"我的电脑", L"C:"}));
  EXPECT_TRUE(ui::WaitFor([&] { return ui::FindChild(main, L"C:\\") != nullptr; }, 10000));
}

// The browser's choice is read in UTF-16: a folder the code page would best-fit
// ("Ð") or cannot hold (a Devanagari letter) is the target as it is, and is walked.
TEST_F(ScanPage, ChosenFolderNamedOutsideTheCodePageIsScannedUnderItsName) {
  const std::wstring folder = L"C:\\scanfix\\\u00D0ata\u0915";
  CreateDirectoryW(folder.c_str(), nullptr);
  ui::WriteFileBytes(folder + L"\\hook\u00AA.dll", "MZ" + ui::HookSignature());
  ui::PostButton(ui::FindChild(main, L"选择", L"Button"));
  std::wstring tree;
  bool chosen =
      ui::ChooseInFolderBrowser(app.process.dwProcessId, {L"我的电脑", L"C:", L"scanfix", L"\u00D0ata\u0915"}, &tree);
  ASSERT_TRUE(chosen) << testing::PrintToString(tree);
  EXPECT_TRUE(ui::WaitFor([&] { return ui::FindChild(main, folder) != nullptr; }, 10000));
  ui::PostButton(scan);
  EXPECT_EQ(1, ScannedCount(FinishScan()));
  EXPECT_EQ(1, Count(ui::TextOf(ResultBox()), L" 可疑文件：" + folder + L"\\hook\u00AA.dll | 文件发行者：未知\r\n"));
  DeleteFileW((folder + L"\\hook\u00AA.dll").c_str());  // the other cases count C:\\scanfix whole
  RemoveDirectoryW(folder.c_str());
}

}  // namespace
