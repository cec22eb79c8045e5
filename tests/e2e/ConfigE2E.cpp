// The settings dialog as a user meets it: opened from the settings button of the
// installed program, options changed, then OK, Cancel or the program's end.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>
#include <sddl.h>
#include <string>
#include <vector>

#include "tests/driver/UiDriver.h"

namespace {

const wchar_t kSettings[] = L"Software\\VB and VBA Program Settings\\57302";
const wchar_t kSection[] = L"Software\\VB and VBA Program Settings\\57302\\quorrel2006";
constexpr int kMenuSysConfig = 201;

const wchar_t kOnTimeScan[] = L"软件后台运行时启用实时监控(推荐)";
const wchar_t kAutoRun[] = L"系统启动时自动运行";
const wchar_t kSoundAlart[] = L"启用实时监控报警声音";
const wchar_t kSelectWay[] = L"发现病毒木马时提示用户选择处理方式(推荐)";
const wchar_t kShowReport[] = L"扫描完成后生成详细扫描报告";
const wchar_t kNewVersion[] = L"自动检测软件最新版本";
const wchar_t kNewDB[] = L"自动检测病毒库";

const wchar_t* const kKeys[] = {L"CheckOnTimeScan",           L"CheckAutoRun",
                                L"CheckSoundAlart",           L"CheckShowReportAfterScan",
                                L"CheckAutoDetectNewVersion", L"CheckAutoDetectNewDB"};

std::vector<std::wstring> Stored() {
  std::vector<std::wstring> values;
  for (const wchar_t* key : kKeys) values.push_back(ui::RegText(HKEY_CURRENT_USER, kSection, key));
  return values;
}

bool Checked(HWND dialog, const wchar_t* caption) {
  return SendMessageW(ui::FindChild(dialog, caption, L"Button"), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

struct ChildSearch {
  HWND main;
  RECT label;
  std::vector<HWND> images;
};

BOOL CALLBACK CollectRow(HWND child, LPARAM lParam) {
  auto* search = reinterpret_cast<ChildSearch*>(lParam);
  if (GetParent(child) != search->main) return TRUE;  // not the panels' controls
  RECT rc;
  GetWindowRect(child, &rc);
  if (rc.left >= search->label.right && std::abs(rc.top - search->label.top) <= 4) search->images.push_back(child);
  return TRUE;
}

// Whether an indicator shows its on image. Its two images stand to the right of its
// caption, off before on in the window's control order; exactly one is visible.
bool IndicatorOn(HWND main, const wchar_t* caption) {
  HWND label = nullptr;
  DWORD pid = 0;
  GetWindowThreadProcessId(main, &pid);
  ui::TopWithChildText(pid, caption, &label);
  ChildSearch search = {main, {}, {}};
  GetWindowRect(label, &search.label);
  EnumChildWindows(main, CollectRow, (LPARAM)&search);
  std::sort(search.images.begin(), search.images.end(),
            [](HWND a, HWND b) { return GetDlgCtrlID(a) < GetDlgCtrlID(b); });
  EXPECT_EQ(2u, search.images.size()) << "indicator images beside one caption";
  if (search.images.size() != 2) return false;
  bool off = ui::OwnVisible(search.images[0]), on = ui::OwnVisible(search.images[1]);
  EXPECT_NE(on, off);
  return on;
}

// Where the scheduler keeps the task of the user running the tests (the program's user too).
std::wstring UserTaskFile() {
  HANDLE token = nullptr;
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
  BYTE user[256] = {};
  DWORD size = 0;
  GetTokenInformation(token, TokenUser, user, sizeof user, &size);
  CloseHandle(token);
  wchar_t* sid = nullptr;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &sid)) return L"";
  std::wstring file = std::wstring(L"C:\\windows\\system32\\tasks\\Quorrel-") + sid;
  LocalFree(sid);
  return file;
}

class ConfigE2E : public ::testing::Test {
 protected:
  void SetUp() override { ui::RegDeleteTree(HKEY_CURRENT_USER, kSettings); }
  void TearDown() override { ui::Kill(app); }
  // Presses the settings button and waits for the dialog.
  HWND OpenDialog(HWND main) {
    ui::PostMouseDown(ui::FindChild(main, L"系统设置"), 1);
    return ui::WaitShown(L"设置", 20000, app.process.dwProcessId);
  }
  void Toggle(HWND dialog, const wchar_t* caption) {
    SendMessageW(ui::FindChild(dialog, caption, L"Button"), BM_CLICK, 0, 0);
  }
  ui::App app;
};

TEST_F(ConfigE2E, OptionsChangedAndConfirmedShowInTheIndicatorsAndTheStore) {
  HWND main = ui::Launch(app, L"config");
  ASSERT_NE(nullptr, main);
  DWORD pid = app.process.dwProcessId;
  EXPECT_TRUE(IndicatorOn(main, L"实时监控状态："));
  EXPECT_FALSE(IndicatorOn(main, L"开机自启动："));
  EXPECT_TRUE(IndicatorOn(main, L"声音报警："));

  HWND dialog = OpenDialog(main);
  ASSERT_NE(nullptr, dialog);
  EXPECT_EQ(main, GetWindow(dialog, GW_OWNER));
  EXPECT_FALSE(IsWindowEnabled(main));
  const wchar_t* const boxes[] = {kOnTimeScan, kAutoRun, kSoundAlart, kSelectWay, kShowReport, kNewVersion, kNewDB};
  const bool seeded[] = {true, false, true, true, true, false, false};
  for (size_t i = 0; i < std::size(boxes); i++) EXPECT_EQ(seeded[i], Checked(dialog, boxes[i])) << i;

  for (const wchar_t* box : {kOnTimeScan, kAutoRun, kSoundAlart, kNewDB}) Toggle(dialog, box);
  ui::PostMouseDown(ui::FindChild(dialog, kSelectWay, L"Button"), 2);
  EXPECT_EQ(L"为了确保您的系统安全，请务修改本设置项!", ui::AcknowledgeMessage(pid));
  EXPECT_TRUE(Checked(dialog, kSelectWay));
  EXPECT_EQ((std::vector<std::wstring>{L"1", L"0", L"1", L"1", L"0", L"0"}), Stored());

  ui::PostButton(ui::FindChild(dialog, L"确定", L"Button"));
  ASSERT_TRUE(ui::WaitFor([&] { return !IsWindow(dialog); }, 20000));
  EXPECT_TRUE(ui::WaitFor([&] { return IsWindowEnabled(main); }, 10000));
  EXPECT_EQ((std::vector<std::wstring>{L"0", L"1", L"0", L"1", L"0", L"1"}), Stored());
  EXPECT_FALSE(IndicatorOn(main, L"实时监控状态："));
  EXPECT_TRUE(IndicatorOn(main, L"开机自启动："));
  EXPECT_FALSE(IndicatorOn(main, L"声音报警："));
  EXPECT_TRUE(IndicatorOn(main, L"发现病毒木马后询问处理："));

  // Opened again from the menu, it shows what was saved; Cancel keeps it.
  ui::PostCommand(main, kMenuSysConfig);
  dialog = ui::WaitShown(L"设置", 20000, pid);
  ASSERT_NE(nullptr, dialog);
  EXPECT_FALSE(Checked(dialog, kOnTimeScan));
  EXPECT_TRUE(Checked(dialog, kNewDB));
  Toggle(dialog, kOnTimeScan);
  ui::PostButton(ui::FindChild(dialog, L"取消", L"Button"));
  ASSERT_TRUE(ui::WaitFor([&] { return !IsWindow(dialog); }, 20000));
  EXPECT_EQ((std::vector<std::wstring>{L"0", L"1", L"0", L"1", L"0", L"1"}), Stored());
  EXPECT_FALSE(IndicatorOn(main, L"实时监控状态："));
}

// Closing the program while the dialog is open ends it, dialog and all, saving nothing.
TEST_F(ConfigE2E, TheProgramsEndTakesAnOpenDialogAlong) {
  HWND main = ui::Launch(app, L"configend");
  ASSERT_NE(nullptr, main);
  HWND dialog = OpenDialog(main);
  ASSERT_NE(nullptr, dialog);
  const std::vector<std::wstring> before = Stored();
  Toggle(dialog, kOnTimeScan);
  PostMessageW(main, WM_CLOSE, 0, 0);
  ASSERT_TRUE(ui::WaitExit(app, 20000));
  DWORD code = 99;
  GetExitCodeProcess(app.process.hProcess, &code);
  EXPECT_EQ(0u, code);
  EXPECT_EQ(before, Stored());
}

// A start with Windows the scheduler refuses (a folder stands where the user's
// task goes): after OK the dialog says so over itself, with the reason and the
// code, then closes with the option saved.
TEST_F(ConfigE2E, ARefusedStartWithWindowsIsSaidAfterOk) {
  HWND main = ui::Launch(app, L"configrefused");
  ASSERT_NE(nullptr, main);
  DWORD pid = app.process.dwProcessId;
  const std::wstring blocker = UserTaskFile();
  ASSERT_TRUE(CreateDirectoryW(blocker.c_str(), nullptr));
  HWND dialog = OpenDialog(main);
  ASSERT_NE(nullptr, dialog);
  Toggle(dialog, kAutoRun);
  ui::PostButton(ui::FindChild(dialog, L"确定", L"Button"));
  HWND box = nullptr;
  EXPECT_TRUE(ui::WaitFor([&] { return (box = ui::TopOfProcess(pid, L"Zorvane", L"#32770")) != nullptr; }, 20000));
  EXPECT_EQ(dialog, GetWindow(box, GW_OWNER));
  std::wstring text = ui::AcknowledgeMessage(pid);
  RemoveDirectoryW(blocker.c_str());
  const std::wstring start = L"无法设置开机自启动：", end = L"（错误 0x80070005）";
  EXPECT_EQ(0u, text.find(start)) << "the message reads otherwise";
  EXPECT_GT(text.size(), start.size() + end.size());  // the system's reason between them
  EXPECT_EQ(text.size() - end.size(), text.rfind(end));
  EXPECT_TRUE(ui::WaitFor([&] { return !IsWindow(dialog); }, 20000));
  EXPECT_EQ(L"1", ui::RegText(HKEY_CURRENT_USER, kSection, L"CheckAutoRun"));
}

}  // namespace
