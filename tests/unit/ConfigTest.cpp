// The settings dialog in-process: its boxes against the real settings store, the
// main window that opens it, and the monitor that reads what it saves.
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "common/SettingsStore.h"
#include "frame/FormConfig.h"
#include "frame/FormMain.h"
#include "frame/ModuleMain.h"
#include "monitor/ModuleOnTimeScan.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "tests/unit/CheckSupport.h"
#include "tests/unit/TestSupport.h"

namespace {

using testsupport::Mouse;

const wchar_t kSettings[] = L"Software\\VB and VBA Program Settings\\57302";
const wchar_t kSection[] = L"Software\\VB and VBA Program Settings\\57302\\quorrel2006";
const wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The six stored options in the order the dialog reads and writes them.
const wchar_t* const kKeys[] = {L"CheckOnTimeScan",           L"CheckAutoRun",
                                L"CheckSoundAlart",           L"CheckShowReportAfterScan",
                                L"CheckAutoDetectNewVersion", L"CheckAutoDetectNewDB"};

std::vector<tk::Control*> Boxes() {
  using namespace FormConfig;
  return {CheckOnTimeScan,           CheckAutoRun,        CheckSoundAlart, CheckShowReportAfterScan,
          CheckAutoDetectNewVersion, CheckAutoDetectNewDB};
}

std::vector<std::wstring> Stored() {
  std::vector<std::wstring> values;
  for (const wchar_t* key : kKeys) values.push_back(SettingsStore::Get(key));
  return values;
}

void Store(const std::vector<std::wstring>& values) {
  for (size_t i = 0; i < values.size(); i++) SettingsStore::Save(kKeys[i], values[i]);
}

std::vector<bool> Shown() {
  std::vector<bool> values;
  for (tk::Control* box : Boxes()) values.push_back(tk::Value(box));
  return values;
}

HWND Dialog() { return FormConfig::IsLoaded() ? (HWND)FormConfig::Get().hwnd : nullptr; }

// Runs `action` once from a timer inside the dialog's modal loop, as soon as the
// dialog shows. A dialog the action left open is closed, so a failure cannot hang.
class WhileOpen {
 public:
  explicit WhileOpen(std::function<void()> action) : action_(std::move(action)) {
    current_ = this;
    timer_ = SetTimer(nullptr, 0, 30, OnTick);
  }
  ~WhileOpen() {
    KillTimer(nullptr, timer_);
    current_ = nullptr;
  }
  bool ran = false;
  bool leftOpen = false;

 private:
  static void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD) {
    WhileOpen* self = current_;
    if (!self || !Dialog() || !IsWindowVisible(Dialog())) return;
    if (self->ran) {
      self->leftOpen = true;
      PostMessageW(Dialog(), WM_CLOSE, 0, 0);
      return;
    }
    self->ran = true;
    self->action_();
  }
  static WhileOpen* current_;
  std::function<void()> action_;
  UINT_PTR timer_ = 0;
};
WhileOpen* WhileOpen::current_ = nullptr;

class Config : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::DeleteTree(HKEY_CURRENT_USER, kSettings);
    tk::SetApplicationTitle(L"Zorvane");
  }
  void TearDown() override {
    FormMain::Form_Unload();
    testsupport::Pump();
    testsupport::DeleteTree(HKEY_CURRENT_USER, kSettings);
  }
  // The main window, seeded as at a first start, with the dialog loaded over it.
  tk::Form& OpenMain() {
    tk::Form& main = FormMain::Get();
    tk::Show(main);
    testsupport::Pump();
    return main;
  }
  void OpenDialog() {
    OpenMain();
    tk::Show(FormConfig::Get());
  }
};

TEST_F(Config, CaptionGroupsBoxesAndPlaces) {
  OpenDialog();
  tk::Form& form = FormConfig::Get();
  EXPECT_EQ(L"设置", form.caption);
  RECT client;
  GetClientRect((HWND)form.hwnd, &client);
  EXPECT_EQ(471, client.right);  // 7065 x 5760 twips
  EXPECT_EQ(384, client.bottom);
  struct Row {
    const wchar_t* name;
    const wchar_t* caption;
    int left, top;  // twips
  } rows[] = {
      {L"Label2", L"常规设置", 480, 360},
      {L"CheckOnTimeScan", L"软件后台运行时启用实时监控(推荐)", 840, 720},
      {L"CheckAutoRun", L"系统启动时自动运行", 840, 1080},
      {L"CheckSoundAlart", L"启用实时监控报警声音", 840, 1440},
      {L"Label1", L"扫描选项", 480, 1920},
      {L"CheckSelectWay", L"发现病毒木马时提示用户选择处理方式(推荐)", 840, 2280},
      {L"CheckShowReportAfterScan", L"扫描完成后生成详细扫描报告", 840, 2640},
      {L"Label3", L"升级选项", 480, 3360},
      {L"CheckAutoDetectNewVersion", L"自动检测软件最新版本", 840, 3720},
      {L"CheckAutoDetectNewDB", L"自动检测病毒库", 840, 4080},
      {L"CommandOK", L"确定", 3960, 5040},
      {L"CommandCancel", L"取消", 5280, 5040},
  };
  ASSERT_EQ(std::size(rows), form.controls.size());
  for (size_t i = 0; i < std::size(rows); i++) {
    tk::Control* c = form.controls[i].get();
    EXPECT_EQ(rows[i].name, c->name) << i;
    EXPECT_EQ(rows[i].caption, tk::Caption(c)) << c->name;
    EXPECT_EQ(rows[i].left / 15, tk::Left(c)) << c->name;
    EXPECT_EQ(rows[i].top / 15, tk::Top(c)) << c->name;
    EXPECT_EQ(L"宋体", c->fontName) << c->name;
    EXPECT_EQ(9, c->fontSize) << c->name;
  }
  RECT button;
  GetWindowRect((HWND)FormConfig::CommandOK->hwnd, &button);
  EXPECT_EQ(73, button.right - button.left);  // 1095 x 375 twips
  EXPECT_EQ(25, button.bottom - button.top);
}

TEST_F(Config, EachBoxShowsItsStoredValue) {
  const std::vector<std::wstring> cases[] = {
      {L"1", L"0", L"1", L"0", L"1", L"0"},
      {L"0", L"1", L"0", L"1", L"0", L"1"},
      {L"01", L"abc", L"", L" 1", L"2", L"1x"},  // read as numbers; anything else is off
  };
  OpenMain();  // seeds the store
  for (const auto& values : cases) {
    Store(values);
    tk::Form& form = FormConfig::Get();
    for (size_t i = 0; i < values.size(); i++) EXPECT_EQ(SettingsStore::IsOn(kKeys[i]), Shown()[i]) << kKeys[i];
    EXPECT_TRUE(tk::Value(FormConfig::CheckSelectWay));
    tk::Unload(form);
    EXPECT_EQ(values, Stored());
  }
}

TEST_F(Config, WithoutInitedTheDesignedStatesShow) {
  const wchar_t* const inited[] = {nullptr, L"0", L"abc"};
  for (const wchar_t* value : inited) {
    testsupport::DeleteTree(HKEY_CURRENT_USER, kSettings);
    if (value) SettingsStore::Save(L"Inited", value);
    Store({L"0", L"0", L"0", L"0", L"1", L"1"});
    tk::Form& form = FormConfig::Get();
    EXPECT_EQ((std::vector<bool>{true, true, true, true, false, false}), Shown()) << (value ? value : L"absent");
    EXPECT_TRUE(tk::Value(FormConfig::CheckSelectWay));
    tk::Unload(form);
    testsupport::Pump();  // the only form's unload reads as the program's end
  }
}

TEST_F(Config, OkSavesEveryOptionAndRefreshesTheIndicators) {
  OpenMain();
  Store({L"1", L"0", L"1", L"1", L"0", L"0"});
  FormConfig::Get();
  for (tk::Control* box : Boxes()) testsupport::Click(box->hwnd);  // the user flips every box
  EXPECT_EQ((std::vector<std::wstring>{L"1", L"0", L"1", L"1", L"0", L"0"}), Stored());
  testsupport::Click(FormConfig::CommandOK->hwnd);
  EXPECT_FALSE(FormConfig::IsLoaded());
  EXPECT_EQ((std::vector<std::wstring>{L"0", L"1", L"0", L"0", L"1", L"1"}), Stored());
  EXPECT_FALSE(tk::Visible(FormMain::ImageOnTimeScanOn));
  EXPECT_TRUE(tk::Visible(FormMain::ImageOnTimeScanOff));
  EXPECT_TRUE(tk::Visible(FormMain::ImageAutoRunOn));
  EXPECT_FALSE(tk::Visible(FormMain::ImageAutoRunOff));
  EXPECT_FALSE(tk::Visible(FormMain::ImageSoundOn));
  EXPECT_TRUE(tk::Visible(FormMain::ImageSoundOff));
  EXPECT_TRUE(tk::Visible(FormMain::ImageWayOn));

  // OK without changes writes all six again, even over values that are not "0" or "1".
  Store({L"01", L"abc", L"0", L"1", L"", L"1"});
  FormConfig::Get();
  testsupport::Click(FormConfig::CommandOK->hwnd);
  EXPECT_EQ((std::vector<std::wstring>{L"1", L"0", L"0", L"1", L"0", L"1"}), Stored());
}

TEST_F(Config, CancelAndTheCloseBoxChangeNothing) {
  const std::function<void()> closings[] = {
      [] { testsupport::Click(FormConfig::CommandCancel->hwnd); },
      [] { SendMessageW(Dialog(), WM_CLOSE, 0, 0); },
      [] { SendMessageW(Dialog(), WM_SYSCOMMAND, SC_CLOSE, 0); },
  };
  OpenMain();
  const std::vector<std::wstring> before = Stored();
  for (const auto& close : closings) {
    FormConfig::Get();
    for (tk::Control* box : Boxes()) testsupport::Click(box->hwnd);
    close();
    EXPECT_FALSE(FormConfig::IsLoaded());
    EXPECT_EQ(before, Stored());
    EXPECT_TRUE(tk::Visible(FormMain::ImageOnTimeScanOn));
  }
}

TEST_F(Config, SelectWayStaysCheckedAfterEveryPressAndSaysWhy) {
  struct Press {
    UINT down, up;
  } presses[] = {{WM_LBUTTONDOWN, WM_LBUTTONUP},
                 {WM_RBUTTONDOWN, WM_RBUTTONUP},
                 {WM_MBUTTONDOWN, WM_MBUTTONUP},
                 {WM_LBUTTONDBLCLK, WM_LBUTTONUP},
                 {WM_KEYDOWN, WM_KEYUP}};  // the space bar
  OpenDialog();
  testsupport::Answerer answerer({});
  HWND box = (HWND)FormConfig::CheckSelectWay->hwnd;
  for (size_t i = 0; i < std::size(presses); i++) {
    if (i % 2) tk::SetValue(FormConfig::CheckSelectWay, false);  // a press also checks a cleared box
    if (presses[i].down == WM_KEYDOWN) {
      SetFocus(box);
      SendMessageW(box, WM_KEYDOWN, VK_SPACE, 0);
      SendMessageW(box, WM_KEYUP, VK_SPACE, 0);
    } else {
      Mouse(box, presses[i].down);
      Mouse(box, presses[i].up);
    }
    EXPECT_TRUE(tk::Value(FormConfig::CheckSelectWay)) << i;
    ASSERT_EQ(i + 1, answerer.messages.size());
    EXPECT_EQ(L"为了确保您的系统安全，请务修改本设置项!", answerer.messages[i]);
    EXPECT_EQ(Dialog(), answerer.owners[i]);
  }
  testsupport::Click(FormConfig::CommandOK->hwnd);
  for (const wchar_t* key : {L"CheckSelectWay", L"SelectWay"}) EXPECT_EQ(L"", SettingsStore::Get(key));
}

// Opened from the menu and from the settings button with either mouse button:
// modal, owned by the main window, which takes input again once it is closed.
TEST_F(Config, OpensModallyOverTheMainWindow) {
  const std::function<void()> openings[] = {
      [] { SendMessageW((HWND)FormMain::Get().hwnd, WM_COMMAND, FormMain::MenuSysConfig, 0); },
      [] { Mouse(FormMain::ImageConfig[0]->hwnd, WM_LBUTTONDOWN); },
      [] { Mouse(FormMain::ImageConfig[0]->hwnd, WM_RBUTTONDOWN); },
  };
  HWND main = (HWND)OpenMain().hwnd;
  for (size_t i = 0; i < std::size(openings); i++) {
    bool fromButton = i > 0;
    WhileOpen check([&] {
      EXPECT_EQ(main, GetWindow(Dialog(), GW_OWNER));
      EXPECT_FALSE(IsWindowEnabled(main));
      EXPECT_EQ(fromButton, tk::Visible(FormMain::ImageConfig[2]));  // pressed while the dialog is open
      testsupport::Click(FormConfig::CommandCancel->hwnd);
    });
    openings[i]();
    EXPECT_TRUE(check.ran) << i;
    EXPECT_FALSE(check.leftOpen) << i;
    EXPECT_FALSE(FormConfig::IsLoaded());
    EXPECT_TRUE(IsWindowEnabled(main));
    // The pressed image stays until the pointer moves again: over the button it
    // gives way to the hover image, over the background to the normal one.
    EXPECT_EQ(fromButton, tk::Visible(FormMain::ImageConfig[2]));
    EXPECT_EQ(fromButton, tk::Visible(FormMain::ImageConfig[1]));
    Mouse(FormMain::ImageConfig[2]->hwnd, WM_MOUSEMOVE);
    EXPECT_FALSE(tk::Visible(FormMain::ImageConfig[2]));
    EXPECT_TRUE(tk::Visible(FormMain::ImageConfig[1]));
    Mouse(main, WM_MOUSEMOVE, 5, 5);
    EXPECT_TRUE(tk::Visible(FormMain::ImageConfig[0]));
    EXPECT_FALSE(tk::Visible(FormMain::ImageConfig[2]));
  }
}

// Ending the program while the dialog is open unloads it without saving.
TEST_F(Config, ProgramEndUnloadsAnOpenDialog) {
  OpenMain();
  const std::vector<std::wstring> before = Stored();
  WhileOpen end([] {
    for (tk::Control* box : Boxes()) testsupport::Click(box->hwnd);
    FormMain::Form_Unload();
  });
  Mouse(FormMain::ImageConfig[0]->hwnd, WM_LBUTTONDOWN);
  EXPECT_TRUE(end.ran);
  EXPECT_FALSE(FormConfig::IsLoaded());
  EXPECT_FALSE(FormMain::IsLoaded());
  EXPECT_EQ(before, Stored());
}

// Switched off in the dialog, the monitor's indicator turns off at once and the
// next tick, with the window hidden in the tray, runs no pass.
TEST_F(Config, ClearingOnTimeScanStopsTheMonitor) {
  testsupport::SoundLog sounds;
  testsupport::DeleteTree(HKEY_CURRENT_USER, kRun);
  HKEY run;
  RegCreateKeyW(HKEY_CURRENT_USER, kRun, &run);
  const wchar_t command[] = L"C:\\WINDOWS\\system32\\cfgtest.exe";
  RegSetValueExW(run, L"CfgTest", 0, REG_SZ, (const BYTE*)command, sizeof command);
  RegCloseKey(run);
  HWND main = (HWND)OpenMain().hwnd;
  SendMessageW(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);  // hidden: the monitor listens
  ModuleOnTimeScan::TimerOnTimeScan_Timer();
  EXPECT_EQ(1u, sounds.played.size());
  SendMessageW(main, ModuleMain::kTrayMessage, 0, WM_LBUTTONDBLCLK);  // back from the tray
  FormConfig::Get();
  testsupport::Click(FormConfig::CheckOnTimeScan->hwnd);
  testsupport::Click(FormConfig::CommandOK->hwnd);
  EXPECT_EQ(L"0", SettingsStore::Get(L"CheckOnTimeScan"));
  EXPECT_FALSE(tk::Visible(FormMain::ImageOnTimeScanOn));
  EXPECT_TRUE(tk::Visible(FormMain::ImageOnTimeScanOff));
  SendMessageW(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_EQ(L"1", SettingsStore::Get(L"EnableOnTimeScan"));
  ModuleOnTimeScan::TimerOnTimeScan_Timer();
  EXPECT_EQ(1u, sounds.played.size());
  testsupport::DeleteTree(HKEY_CURRENT_USER, kRun);
}

// A store that refuses the write: the dialog says so with the system's code, stays
// open, and the stored values stay as they were; once the store takes it, OK saves.
TEST_F(Config, AWriteTheStoreRefusesIsSaidAndTheDialogStaysOpen) {
  OpenMain();
  const std::vector<std::wstring> before = Stored();
  struct Locked {
    checksupport::ReadOnlyKey key{HKEY_CURRENT_USER, kSection};
    ~Locked() { key.Restore(); }
  };
  auto locked = std::make_unique<Locked>();
  ASSERT_FALSE(SettingsStore::Save(L"CheckOnTimeScan", L"0"));
  testsupport::Answerer answerer({});
  WhileOpen attempt([&] {
    for (tk::Control* box : Boxes()) testsupport::Click(box->hwnd);
    testsupport::Click(FormConfig::CommandOK->hwnd);
    ASSERT_EQ(1u, answerer.messages.size());
    EXPECT_EQ(L"设置保存失败（错误 5）。设置未作任何更改。", answerer.messages[0]);
    EXPECT_EQ(Dialog(), answerer.owners[0]);
    EXPECT_TRUE(FormConfig::IsLoaded());
    EXPECT_TRUE(IsWindowVisible(Dialog()));
    EXPECT_EQ(before, Stored());
    EXPECT_TRUE(tk::Visible(FormMain::ImageOnTimeScanOn));
    locked.reset();
    testsupport::Click(FormConfig::CommandOK->hwnd);
  });
  Mouse(FormMain::ImageConfig[0]->hwnd, WM_LBUTTONDOWN);
  EXPECT_FALSE(attempt.leftOpen);
  EXPECT_FALSE(FormConfig::IsLoaded());
  EXPECT_EQ(1u, answerer.messages.size());
  EXPECT_EQ((std::vector<std::wstring>{L"0", L"1", L"0", L"0", L"1", L"1"}), Stored());
  EXPECT_TRUE(tk::Visible(FormMain::ImageOnTimeScanOff));
}

// A start with Windows the system refuses, to make or to take away: the dialog
// saves, says what failed with the system's reason and code, then closes.
TEST_F(Config, ARefusedStartWithWindowsIsSaidWithTheSystemsReason) {
  const std::wstring ours = L"\"" + System::ProgramFolder() + L"\\Quorrel2006.exe\"";
  const std::wstring blocker = L"C:\\windows\\system32\\tasks\\Quorrel-" + System::CurrentUserSid();
  struct Case {
    const wchar_t* stored;  // CheckAutoRun before the user flips it
    bool lockRunKey;
    std::wstring message;
  } cases[] = {
      // A folder where the task's file goes: the scheduler refuses the task.
      {L"0", false, L"无法设置开机自启动：" + System::ErrorText(0x80070005) + L"（错误 0x80070005）"},
      // The user's Run key refuses the removal of the program's value there.
      {L"1", true, L"无法取消开机自启动：" + System::ErrorText(ERROR_ACCESS_DENIED) + L"（错误 5）"},
  };
  ASSERT_FALSE(System::ErrorText(0x80070005).empty());
  for (const Case& c : cases) {
    OpenMain();
    SettingsStore::Save(L"CheckAutoRun", c.stored);
    if (!c.lockRunKey) {
      ASSERT_TRUE(CreateDirectoryW(blocker.c_str(), nullptr));
    }
    HKEY run;
    RegCreateKeyW(HKEY_CURRENT_USER, kRun, &run);
    RegSetValueExW(run, L"Quorrel", 0, REG_SZ, (const BYTE*)ours.c_str(), (DWORD)(ours.size() + 1) * 2);
    RegCloseKey(run);
    checksupport::ReadOnlyKey locked(HKEY_CURRENT_USER, kRun, c.lockRunKey ? KEY_READ : KEY_ALL_ACCESS);
    testsupport::Answerer answerer({});
    HWND dialog = nullptr;
    WhileOpen attempt([&] {
      dialog = Dialog();
      testsupport::Click(FormConfig::CheckAutoRun->hwnd);
      testsupport::Click(FormConfig::CommandOK->hwnd);
    });
    Mouse(FormMain::ImageConfig[0]->hwnd, WM_LBUTTONDOWN);
    locked.Restore();
    RemoveDirectoryW(blocker.c_str());
    EXPECT_TRUE(attempt.ran);
    EXPECT_FALSE(attempt.leftOpen);
    EXPECT_FALSE(FormConfig::IsLoaded());
    ASSERT_EQ(1u, answerer.messages.size()) << Text::ToAnsi(c.message);
    EXPECT_EQ(c.message, answerer.messages[0]);
    EXPECT_EQ(dialog, answerer.owners[0]);
    EXPECT_NE(std::wstring(c.stored), SettingsStore::Get(L"CheckAutoRun"));  // saved all the same
    FormMain::Form_Unload();
    testsupport::Pump();
    testsupport::DeleteTree(HKEY_CURRENT_USER, kRun);
  }
}

}  // namespace
