// The main window's tray icon and its replacement window procedure, in-process.
#include <windows.h>

#include <shellapi.h>

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "common/SettingsStore.h"
#include "filescan/ScanPage.h"
#include "frame/FormMain.h"
#include "frame/ModuleMain.h"
#include "tests/unit/TestSupport.h"

namespace {

constexpr UINT kTrayMessage = 2025;

HWND MainHwnd() { return (HWND)FormMain::Get().hwnd; }

// Whether the shell holds an icon for this window: a modify that changes nothing.
bool IconPresent(HWND hwnd) {
  NOTIFYICONDATAA probe = {};
  probe.cbSize = NOTIFYICONDATAA_V1_SIZE;
  probe.hWnd = hwnd;
  return Shell_NotifyIconA(NIM_MODIFY, &probe) != FALSE;
}

struct Call {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  bool operator==(const Call& o) const {
    return hwnd == o.hwnd && message == o.message && wParam == o.wParam && lParam == o.lParam;
  }
};

// Stands in for the previous window procedure: answers the probe with a mark of
// its own and hands every other message to the real previous procedure.
std::vector<Call> g_calls;
Call g_probe;
tk::WindowProc g_realPrevious;
constexpr LRESULT kMark = 0x5EED;

LRESULT CALLBACK Recorder(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  Call call{hwnd, message, wParam, lParam};
  g_calls.push_back(call);
  if (call == g_probe) return kMark;
  return CallWindowProcA((WNDPROC)g_realPrevious, hwnd, message, wParam, lParam);
}

class TrayWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::DeleteTree(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\57302");
    tk::SetApplicationTitle(L"Zorvane");
    tk::Show(FormMain::Get());
    testsupport::Pump();
  }
  void TearDown() override {
    if (g_realPrevious) ModuleMain::PrevWndProc = g_realPrevious;
    g_realPrevious = nullptr;
    FormMain::Form_Unload();
    testsupport::Pump();
  }
  // Puts the recorder behind TrayWindowProc; the window itself keeps TrayWindowProc.
  void RecordPrevious() {
    g_realPrevious = ModuleMain::PrevWndProc;
    ModuleMain::PrevWndProc = (tk::WindowProc)Recorder;
    g_calls.clear();
  }
  LRESULT Probe(UINT message, WPARAM wParam, LPARAM lParam) {
    g_probe = {MainHwnd(), message, wParam, lParam};
    g_calls.clear();
    return ModuleMain::TrayWindowProc(MainHwnd(), message, wParam, lParam);
  }
  static bool Seen(const Call& call) { return std::find(g_calls.begin(), g_calls.end(), call) != g_calls.end(); }
};

TEST_F(TrayWindow, LoadAddsTheIconAndInstallsTheProcedure) {
  HWND main = MainHwnd();
  const NotifyIcon::Record& icon = ModuleMain::TrayIconData;
  // The first layout: 88 bytes in a 32-bit program, 104 in a 64-bit one.
  EXPECT_EQ(sizeof(void*) == 8 ? 104u : 88u, sizeof icon);
  EXPECT_EQ(sizeof icon, icon.cbSize);
  EXPECT_EQ((void*)main, icon.hWnd);
  EXPECT_EQ(0u, icon.uID);
  EXPECT_EQ(7u, icon.uFlags);
  EXPECT_EQ(2025u, icon.uCallbackMessage);
  EXPECT_NE(nullptr, icon.hIcon);
  EXPECT_EQ((void*)SendMessageA(main, WM_GETICON, ICON_BIG, 0), icon.hIcon);
  EXPECT_EQ(std::string("Zorvane") + '\0' + std::string(56, ' '), std::string(icon.szTip, 64));
  EXPECT_TRUE(IconPresent(main));
  EXPECT_EQ((LONG_PTR)ModuleMain::TrayWindowProc, GetWindowLongPtrA(main, GWLP_WNDPROC));
  EXPECT_EQ((ULONG_PTR)GetClassLongPtrA(main, GCLP_WNDPROC), (ULONG_PTR)ModuleMain::PrevWndProc);
  EXPECT_EQ(L"0", SettingsStore::Get(L"EnableOnTimeScan"));
}

TEST_F(TrayWindow, OtherMessagesReachThePreviousProcedureUnchanged) {
  RecordPrevious();
  const Call passed[] = {
      {nullptr, WM_SYSCOMMAND, SC_RESTORE, 0},
      {nullptr, WM_SYSCOMMAND, SC_MAXIMIZE, 7},
      {nullptr, WM_SYSCOMMAND, SC_MINIMIZE | 2, 0},  // compared whole
      {nullptr, kTrayMessage, 0, WM_LBUTTONDOWN},
      {nullptr, kTrayMessage, 0, WM_LBUTTONUP},
      {nullptr, kTrayMessage, 0, WM_RBUTTONDOWN},
      {nullptr, kTrayMessage, 0, WM_RBUTTONDBLCLK},
      {nullptr, kTrayMessage, 0, WM_MOUSEMOVE},
      {nullptr, kTrayMessage + 1, 0, WM_LBUTTONDBLCLK},
      {nullptr, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(3, 4)},
      {nullptr, WM_USER + 7, 0xDEADBEEF, (LPARAM)0xCAFEF00D},
      {nullptr, WM_NULL, 0, 0},
  };
  for (Call call : passed) {
    call.hwnd = MainHwnd();
    EXPECT_EQ(kMark, Probe(call.message, call.wParam, call.lParam)) << call.message << " " << call.lParam;
    EXPECT_EQ(1, std::count(g_calls.begin(), g_calls.end(), call)) << call.message << " " << call.lParam;
  }
  EXPECT_TRUE(IsWindowVisible(MainHwnd()));
  EXPECT_EQ(L"0", SettingsStore::Get(L"EnableOnTimeScan"));
}

TEST_F(TrayWindow, MinimizeIsPassedOnThenHidesAndWritesOne) {
  RecordPrevious();
  EXPECT_EQ(kMark, Probe(WM_SYSCOMMAND, SC_MINIMIZE, MAKELPARAM(9, 9)));
  EXPECT_TRUE(Seen(g_probe));
  EXPECT_FALSE(IsWindowVisible(MainHwnd()));
  EXPECT_EQ(L"1", SettingsStore::Get(L"EnableOnTimeScan"));
}

TEST_F(TrayWindow, IconDoubleClickShowsRestoresAndWritesZero) {
  RecordPrevious();
  for (bool hiddenFirst : {true, false}) {
    if (hiddenFirst) SendMessageA(MainHwnd(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_EQ(!hiddenFirst, IsWindowVisible(MainHwnd()) != FALSE);
    EXPECT_EQ(0, Probe(kTrayMessage, 0, WM_LBUTTONDBLCLK));
    EXPECT_FALSE(Seen(g_probe));  // the double-click itself is not passed on
    EXPECT_TRUE(Seen({MainHwnd(), WM_SYSCOMMAND, SC_RESTORE, 0}));
    EXPECT_TRUE(IsWindowVisible(MainHwnd()));
    EXPECT_FALSE(IsIconic(MainHwnd()));
    EXPECT_EQ(L"0", SettingsStore::Get(L"EnableOnTimeScan"));
  }
}

TEST_F(TrayWindow, MinimizeThroughTheWindowAndBackThroughTheIcon) {
  HWND main = MainHwnd();
  SendMessageA(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_FALSE(IsWindowVisible(main));
  EXPECT_TRUE(IsIconic(main));
  EXPECT_EQ(L"1", SettingsStore::Get(L"EnableOnTimeScan"));
  EXPECT_TRUE(IconPresent(main));
  SendMessageA(main, kTrayMessage, 0, WM_RBUTTONUP);  // other clicks on the icon do nothing
  EXPECT_FALSE(IsWindowVisible(main));
  EXPECT_EQ(0, SendMessageA(main, kTrayMessage, 0, WM_LBUTTONDBLCLK));
  EXPECT_TRUE(IsWindowVisible(main));
  EXPECT_FALSE(IsIconic(main));
  EXPECT_EQ(L"0", SettingsStore::Get(L"EnableOnTimeScan"));
}

// What the shell and the window looked like when the main window was being destroyed.
struct AtDestroy {
  HWND main = nullptr;
  bool seen = false;
  bool iconPresent = true;
  LONG_PTR procedure = 0;
} g_atDestroy;

LRESULT CALLBACK WatchDestroy(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_DESTROYWND && (HWND)wParam == g_atDestroy.main) {
    g_atDestroy.seen = true;
    g_atDestroy.iconPresent = IconPresent(g_atDestroy.main);
    g_atDestroy.procedure = GetWindowLongPtrA(g_atDestroy.main, GWLP_WNDPROC);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(TrayWindow, EveryEndRemovesTheIconAndRestoresTheProcedureBeforeTheWindowGoes) {
  struct End {
    const char* name;
    bool hiddenFirst;
    std::function<void(HWND)> act;
  } ends[] = {
      {"close box", false, [](HWND h) { SendMessageA(h, WM_SYSCOMMAND, SC_CLOSE, 0); }},
      {"exit command", false, [](HWND h) { SendMessageA(h, WM_COMMAND, FormMain::MenuExit, 0); }},
      {"end of session", false,
       [](HWND h) {
         SendMessageA(h, WM_QUERYENDSESSION, 0, 0);
         SendMessageA(h, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
       }},
      {"end of session while hidden", true, [](HWND h) { SendMessageA(h, WM_ENDSESSION, TRUE, 0); }},
  };
  HHOOK hook = SetWindowsHookExA(WH_CBT, WatchDestroy, nullptr, GetCurrentThreadId());
  ASSERT_NE(nullptr, hook);
  for (const End& end : ends) {
    tk::Show(FormMain::Get());
    HWND main = MainHwnd();
    LONG_PTR classProcedure = (LONG_PTR)GetClassLongPtrA(main, GCLP_WNDPROC);
    if (end.hiddenFirst) SendMessageA(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(IconPresent(main)) << end.name;
    g_atDestroy = AtDestroy();
    g_atDestroy.main = main;
    end.act(main);
    testsupport::Pump();
    EXPECT_FALSE(FormMain::IsLoaded()) << end.name;
    EXPECT_TRUE(g_atDestroy.seen) << end.name;
    EXPECT_FALSE(g_atDestroy.iconPresent) << end.name;
    EXPECT_EQ(classProcedure, g_atDestroy.procedure) << end.name;
  }
  UnhookWindowsHookEx(hook);
}

TEST_F(TrayWindow, CancelledEndOfSessionKeepsEverything) {
  HWND main = MainHwnd();
  SendMessageA(main, WM_ENDSESSION, FALSE, 0);
  EXPECT_TRUE(FormMain::IsLoaded());
  EXPECT_TRUE(IsWindowVisible(main));
  EXPECT_TRUE(IconPresent(main));
}

// A scan that ends while the window sits in the tray: its message box is owned by
// the hidden window, which takes no input until the box is closed.
TEST_F(TrayWindow, MessageBoxWhileHiddenIsOwnedByTheHiddenWindow) {
  CreateDirectoryW(L"C:\\quiet", nullptr);
  tk::SetCaption(ScanPage::LabelTarget, L"C:\\quiet");
  HWND main = MainHwnd();
  SendMessageA(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_FALSE(IsWindowVisible(main));
  testsupport::Answerer answerer({});
  ScanPage::CommandScan_Click();
  ASSERT_EQ(std::vector<std::wstring>{L"扫描完成。"}, answerer.messages);
  EXPECT_EQ(main, answerer.owners[0]);
  EXPECT_FALSE(answerer.ownersEnabled[0]);
  EXPECT_TRUE(IsWindowEnabled(main));
}

}  // namespace
