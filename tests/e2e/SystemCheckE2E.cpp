// One whole system check as a user runs it: seeded threats, the progress
// window, the prompts, the report window and its saved log.
#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tests/driver/UiDriver.h"

namespace {

const wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kSection[] = L"Software\\VB and VBA Program Settings\\57302\\quorrel2006";
constexpr int kMenuScan = 101;

bool HasValue(HKEY root, const wchar_t* name) {
  bool found = false;
  ui::RegText(root, kRun, name, &found);
  return found;
}

std::string Gbk(const std::wstring& text) {
  int length = WideCharToMultiByte(936, 0, text.c_str(), (int)text.size(), nullptr, 0, nullptr, nullptr);
  std::string out(length, '\0');
  WideCharToMultiByte(936, 0, text.c_str(), (int)text.size(), &out[0], length, nullptr, nullptr);
  return out;
}

class SystemCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::RegDeleteTree(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\57302");
    ui::RegDeleteTree(HKEY_CURRENT_USER, kRun);
    ui::RegDeleteTree(HKEY_LOCAL_MACHINE, kRun);
    ui::ClearLaterChecks();  // a test before may have left a finding of a later check
  }
  void TearDown() override {
    ui::Kill(app);
    for (auto& p : sleepers) {
      TerminateProcess(p.hProcess, 9);
      CloseHandle(p.hProcess);
      CloseHandle(p.hThread);
    }
  }

  DWORD Pid() const { return app.process.dwProcessId; }

  PROCESS_INFORMATION StartSleeper(const std::wstring& image) {
    CreateDirectoryW(L"C:\\demo", nullptr);
    std::wstring path = L"C:\\demo\\" + image;
    CopyFileW(L"C:\\test\\sleeper.exe", path.c_str(), FALSE);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION p = {};
    std::wstring command = L"\"" + path + L"\"";
    EXPECT_TRUE(CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, L"C:\\demo",
                               &startup, &p));
    sleepers.push_back(p);
    return p;
  }

  std::vector<std::wstring> Progress(HWND main) {
    bool early = false;
    std::vector<std::wstring> seen = ui::PressScanAndWatchProgress(main, Pid(), &early);
    EXPECT_FALSE(early) << "a prompt while the progress window was open";
    return seen;
  }
  std::wstring Answer(const wchar_t* option) { return ui::AnswerPrompt(Pid(), option); }
  HWND WaitReport() { return ui::WaitReport(Pid()); }
  std::wstring AcknowledgeMessage() { return ui::AcknowledgeMessage(Pid()); }
  std::wstring SaveReport(HWND report, const std::wstring& name) { return ui::SaveReport(report, Pid(), name); }

  ui::App app;
  std::vector<PROCESS_INFORMATION> sleepers;
};

TEST_F(SystemCheck, FindingsArePromptedCarriedOutReportedAndSaved) {
  PROCESS_INFORMATION worm = StartSleeper(L"msblast.exe");  // a name from the shipped list
  ui::SetRegText(HKEY_CURRENT_USER, kRun, L"demo1", L"C:\\WINDOWS\\evil1.exe");
  ui::SetRegText(HKEY_CURRENT_USER, kRun, L"demo2", L"C:\\WINDOWS\\evil2.exe /quiet");
  ui::SetRegText(HKEY_LOCAL_MACHINE, kRun, L"demo3", L"C:\\WINDOWS\\system32\\evil3.exe");
  ui::SetRegText(HKEY_LOCAL_MACHINE, kRun, L"tool", L"C:\\Program Files\\Tool\\tool.exe");
  HWND main = ui::Launch(app, L"check");
  ASSERT_NE(nullptr, main);

  // Every caption seen is one of the fixed sequence (a watcher may miss some).
  const std::vector<std::wstring> sequence = {L"扫描系统正在初始化,请稍候...",   L"正在扫描内存....10%",
                                              L"正在注册表启动项....30%",        L"正在扫描系统文件关联....50%",
                                              L"正在扫描系当前用户Shell....55%", L"正在扫描BHO....60%",
                                              L"正在扫描其它系统项目....70%",    L"正在扫描其它系统项目....72%",
                                              L"正在扫描其它系统项目....90%",    L"正在扫描其它系统项目....99%"};
  std::vector<std::wstring> captions = Progress(main);
  ASSERT_FALSE(captions.empty());
  for (const std::wstring& caption : captions)
    EXPECT_NE(sequence.end(), std::find(sequence.begin(), sequence.end(), caption))
        << "unknown caption among " << testing::PrintToString(captions);

  const std::wstring rar = L"警告(RAR)：发现可疑程序，可能是木马! -> ";
  EXPECT_EQ(L"警告(P)：内存中发现可疑程序，可能是木马! -> msblast.exe", Answer(L"清除"));
  EXPECT_EQ(rar + L"C:\\WINDOWS\\evil1.exe", Answer(L"清除"));
  EXPECT_EQ(rar + L"C:\\WINDOWS\\evil2.exe /quiet", Answer(L"跳过"));
  EXPECT_EQ(rar + L"C:\\WINDOWS\\system32\\evil3.exe", Answer(L"信任"));

  HWND report = WaitReport();
  ASSERT_NE(nullptr, report);
  std::wstring text = ui::ReportTextOf(report);
  const std::wstring expected =
      L"Zorvane 病毒木马查杀结果：\r\n"
      L"\r\n(P)：内存中发现可疑程序，可能是木马! -> msblast. 已清除!"
      L"\r\n(RAR)：发现可疑程序，可能是木马! -> C:\\WINDOWS\\evil1.exe 已清除!"
      L"\r\n(RAR)：发现可疑程序，可能是木马! -> C:\\WINDOWS\\evil2.exe /quiet 跳过,未清除!"
      L"\r\n(RAR)：发现可疑程序，可能是木马! -> C:\\WINDOWS\\system32\\evil3.exe 信任,未清除!";
  EXPECT_EQ(expected, text);

  std::wstring name = SaveReport(report, L"");
  wchar_t date[64] = {};
  GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, 64);
  std::wstring dashed = date;
  for (wchar_t& c : dashed)
    if (c == L'/') c = L'-';
  EXPECT_EQ(dashed + L".log", name);
  EXPECT_EQ(L"记录已保存!", AcknowledgeMessage());
  EXPECT_TRUE(ui::WaitFor([&] { return !IsWindow(report); }, 10000));
  EXPECT_EQ(Gbk(expected), ui::FileBytes(app.folder + L"\\log\\" + name));

  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worm.hProcess, 10000));
  DWORD code = 99;
  GetExitCodeProcess(worm.hProcess, &code);
  EXPECT_EQ(0u, code);
  EXPECT_FALSE(HasValue(HKEY_CURRENT_USER, L"demo1"));
  EXPECT_TRUE(HasValue(HKEY_CURRENT_USER, L"demo2"));
  EXPECT_TRUE(HasValue(HKEY_LOCAL_MACHINE, L"demo3"));
  EXPECT_EQ("\"C:\\WINDOWS\\system32\\evil3.exe\"\r\n", ui::FileBytes(app.folder + L"\\Allow.dat"));
  EXPECT_TRUE(IsWindow(main));
}

TEST_F(SystemCheck, NothingFoundEndsWithTheAllClearMessage) {
  HWND main = ui::Launch(app, L"clean");
  ASSERT_NE(nullptr, main);
  Progress(main);
  EXPECT_EQ(L"系统安全,未发现任何病毒木马！", AcknowledgeMessage());
  EXPECT_EQ(nullptr, ui::TopOfProcess(Pid(), L"查杀报告", L""));
}

TEST_F(SystemCheck, ReportOptionOffKeepsLinesForTheNextCheck) {
  ui::SetRegText(HKEY_CURRENT_USER, kRun, L"demo", L"C:\\WINDOWS\\again.exe");
  ui::SetRegText(HKEY_CURRENT_USER, kSection, L"Inited", L"1");
  ui::SetRegText(HKEY_CURRENT_USER, kSection, L"CheckShowReportAfterScan", L"0");
  HWND main = ui::Launch(app, L"quiet");
  ASSERT_NE(nullptr, main);
  Progress(main);
  EXPECT_NE(L"", Answer(L"跳过"));
  // The check ends silently. "查杀" is refused while a check runs, so it is
  // repeated until the next check's progress window shows; that check asks again.
  bool started = false;
  for (int i = 0; i < 60 && !started; i++) {
    ui::PostCommand(main, kMenuScan);
    started = ui::WaitFor([&] { return ui::TopWithChildText(Pid(), L"扫描系统正在初始化") != nullptr; }, 1000);
  }
  ASSERT_TRUE(started);
  // Only now: the first check may still have been reaching its end before.
  ui::SetRegText(HKEY_CURRENT_USER, kSection, L"CheckShowReportAfterScan", L"1");
  EXPECT_NE(L"", Answer(L"跳过"));
  HWND report = WaitReport();
  ASSERT_NE(nullptr, report);
  const std::wstring line = L"(RAR)：发现可疑程序，可能是木马! -> C:\\WINDOWS\\again.exe 跳过,未清除!";
  EXPECT_EQ(L"Zorvane 病毒木马查杀结果：\r\n\r\n" + line + L"\r\n" + line, ui::ReportTextOf(report));
  std::wstring name = SaveReport(report, L"typed name.log");
  EXPECT_EQ(L"记录已保存!", AcknowledgeMessage());
  EXPECT_EQ(Gbk(L"Zorvane 病毒木马查杀结果：\r\n\r\n" + line + L"\r\n" + line),
            ui::FileBytes(app.folder + L"\\log\\typed name.log"));
}

// Closing the main window while the progress window runs ends the program:
// nothing comes back, not the window, its tray icon nor a prompt.
TEST_F(SystemCheck, ClosingDuringTheProgressWindowEndsTheProgram) {
  struct Close {
    const wchar_t* name;
    UINT message;
    WPARAM wParam;
  } closes[] = {{L"closed", WM_CLOSE, 0}, {L"sessionend", WM_ENDSESSION, TRUE}};
  ui::SetRegText(HKEY_CURRENT_USER, kRun, L"demo", L"C:\\WINDOWS\\evil.exe");  // a prompt would follow
  for (const Close& close : closes) {
    HWND main = ui::Launch(app, close.name);
    ASSERT_NE(nullptr, main);
    ui::PressScanAndWatchProgress(main, Pid(), nullptr,
                                  [&](HWND) { PostMessageW(main, close.message, close.wParam, 0); });
    bool cameBack = false;
    bool ended = ui::WaitFor(
        [&] {
          // Once the window is gone, any main window or prompt is one that came back.
          if (!IsWindow(main))
            cameBack = cameBack || ui::FindTop(L"Zorvane v3.3", Pid()) || ui::TopOfProcess(Pid(), L" ", L"");
          return WaitForSingleObject(app.process.hProcess, 0) == WAIT_OBJECT_0;
        },
        20000);
    EXPECT_TRUE(ended) << testing::PrintToString(close.name);
    EXPECT_FALSE(cameBack) << testing::PrintToString(close.name);
    EXPECT_TRUE(HasValue(HKEY_CURRENT_USER, L"demo"));
    ui::Kill(app);
  }
}

// The prompt closed any other way than by its OK image answers SKIP (whatever
// option was selected): the finding is recorded and nothing is removed.
TEST_F(SystemCheck, ClosingThePromptAnswersSkip) {
  struct Close {
    const wchar_t* value;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  } closes[] = {
      {L"demo1", WM_CLOSE, 0, 0},                 // from another program
      {L"demo2", WM_SYSCOMMAND, SC_CLOSE, 0},     // the system menu
      {L"demo3", WM_SYSKEYDOWN, VK_F4, 1 << 29},  // Alt+F4
  };
  for (const Close& close : closes)
    ui::SetRegText(HKEY_CURRENT_USER, kRun, close.value, std::wstring(L"C:\\WINDOWS\\") + close.value + L".exe");
  HWND main = ui::Launch(app, L"promptclose");
  ASSERT_NE(nullptr, main);
  Progress(main);
  std::wstring expected = L"Zorvane 病毒木马查杀结果：\r\n";
  for (const Close& close : closes) {
    HWND prompt = ui::WaitPrompt(Pid());
    ASSERT_NE(nullptr, prompt) << testing::PrintToString(close.value);
    SendMessageW(ui::FindChild(prompt, L"清除", L"Button"), BM_CLICK, 0, 0);
    PostMessageW(prompt, close.message, close.wParam, close.lParam);
    EXPECT_TRUE(ui::WaitFor([&] { return !IsWindow(prompt); }, 10000)) << testing::PrintToString(close.value);
    expected +=
        std::wstring(L"\r\n(RAR)：发现可疑程序，可能是木马! -> C:\\WINDOWS\\") + close.value + L".exe 跳过,未清除!";
  }
  HWND report = WaitReport();
  ASSERT_NE(nullptr, report);
  EXPECT_EQ(expected, ui::ReportTextOf(report));
  for (const Close& close : closes) EXPECT_TRUE(HasValue(HKEY_CURRENT_USER, close.value));
}

// Close requests to the progress window are ignored: its sequence runs to its end.
TEST_F(SystemCheck, ProgressWindowIgnoresCloseRequests) {
  HWND main = ui::Launch(app, L"steady");
  ASSERT_NE(nullptr, main);
  std::vector<std::wstring> captions = ui::PressScanAndWatchProgress(main, Pid(), nullptr, [](HWND progress) {
    PostMessageW(progress, WM_SYSKEYDOWN, VK_F4, 1 << 29);
    PostMessageW(progress, WM_CLOSE, 0, 0);
  });
  ASSERT_FALSE(captions.empty());
  // The window lived to the end of its sequence. Its last step lasts half a second,
  // which a watcher starved of the processor can miss: the one before it counts too.
  const std::vector<std::wstring> lastSteps = {L"正在扫描其它系统项目....90%", L"正在扫描其它系统项目....99%"};
  EXPECT_NE(lastSteps.end(), std::find(lastSteps.begin(), lastSteps.end(), captions.back()))
      << testing::PrintToString(captions);
  EXPECT_EQ(L"系统安全,未发现任何病毒木马！", AcknowledgeMessage());
}

// A finding in every one of the eight checks: the prompts come in the order of
// the checks, each answer leaves its line and its effect, and the next check asks
// only about what was skipped.
TEST_F(SystemCheck, EveryCheckAsksInOrderAndTheNextCheckOnlyAboutWhatWasSkipped) {
  PROCESS_INFORMATION worm = StartSleeper(L"msblast.exe");
  ui::SetRegText(HKEY_CURRENT_USER, kRun, L"demo", L"C:\\WINDOWS\\evil1.exe");
  std::vector<std::wstring> later;
  ui::SeedLaterChecks(&later);
  HWND main = ui::Launch(app, L"eight");
  ASSERT_NE(nullptr, main);
  Progress(main);
  const std::wstring head = L"发现可疑程序，可能是木马! -> ";
  struct Step {
    std::wstring warning;
    const wchar_t* option;
  } steps[] = {
      {L"警告(P)：内存中发现可疑程序，可能是木马! -> msblast.exe", L"清除"},
      {L"警告(RAR)：" + head + L"C:\\WINDOWS\\evil1.exe", L"跳过"},
      {later[0], L"清除"},
      {later[1], L"信任"},
      {later[2], L"清除"},
      {later[3], L"跳过"},
      {later[4], L"清除"},
      {later[5], L"信任"},
  };
  for (const Step& step : steps) EXPECT_EQ(step.warning, Answer(step.option));
  HWND report = WaitReport();
  ASSERT_NE(nullptr, report);
  EXPECT_EQ(
      L"Zorvane 病毒木马查杀结果：\r\n"
      L"\r\n(P)：内存中发现可疑程序，可能是木马! -> msblast. 已清除!"
      L"\r\n(RAR)：" +
          head +
          L"C:\\WINDOWS\\evil1.exe 跳过,未清除!"
          L"\r\n(RFU)：" +
          head +
          L"demo-open.exe 已清除!"
          L"\r\n(RES)：" +
          head +
          L"C:\\WINDOWS\\demo-shell.exe 信任,未清除!"
          L"\r\n(RUI)：" +
          head +
          L"C:\\WINDOWS\\demo-logon.exe 已清除!"
          L"\r\n(RBHO)：" +
          head +
          L"C:\\WINDOWS\\demo-helper.dll 跳过,未清除!"
          L"\r\n(RESH)：" +
          head +
          L"C:\\WINDOWS\\demo-hook.dll 已清除!"
          L"\r\n(RID)：" +
          head + L"C:\\WINDOWS\\demo-inject.dll 信任,未清除!",
      ui::ReportTextOf(report));
  ui::CloseReport(report);

  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worm.hProcess, 10000));
  EXPECT_EQ(L"\"%1\" %*", ui::RegText(HKEY_CLASSES_ROOT, L"exefile\\shell\\open\\command", L""));
  EXPECT_EQ(L"Explorer.exe C:\\WINDOWS\\demo-shell.exe", ui::RegText(HKEY_LOCAL_MACHINE, ui::kWinlogon, L"Shell"));
  EXPECT_EQ(L"userinit.exe,", ui::RegText(HKEY_LOCAL_MACHINE, ui::kWinlogon, L"Userinit"));
  bool found = false;
  ui::RegText(HKEY_LOCAL_MACHINE, ui::kShellExecuteHooks, ui::kHookClass, &found);
  EXPECT_FALSE(found);
  EXPECT_EQ(L"C:\\WINDOWS\\demo-inject.dll", ui::RegText(HKEY_LOCAL_MACHINE, ui::kAppInitKey, L"AppInit_DLLs"));
  EXPECT_EQ("\"C:\\WINDOWS\\demo-shell.exe\"\r\n\"C:\\WINDOWS\\demo-inject.dll\"\r\n",
            ui::FileBytes(app.folder + L"\\Allow.dat"));

  Progress(main);
  EXPECT_EQ(L"警告(RAR)：" + head + L"C:\\WINDOWS\\evil1.exe", Answer(L"跳过"));
  EXPECT_EQ(later[3], Answer(L"跳过"));
  report = WaitReport();
  ASSERT_NE(nullptr, report);
  EXPECT_EQ(
      L"Zorvane 病毒木马查杀结果：\r\n"
      L"\r\n(RAR)：" +
          head +
          L"C:\\WINDOWS\\evil1.exe 跳过,未清除!"
          L"\r\n(RBHO)：" +
          head + L"C:\\WINDOWS\\demo-helper.dll 跳过,未清除!",
      ui::ReportTextOf(report));
}

// A program folder named outside the code page: the files beside the program
// (the trust list, the logs) are found and written all the same.
TEST_F(SystemCheck, ProgramFolderNamedOutsideTheCodePageKeepsItsFiles) {
  ui::SetRegText(HKEY_CURRENT_USER, kRun, L"demo", L"C:\\WINDOWS\\evil.exe");
  HWND main = ui::Launch(app, L"\u0926\u0947\u0935");
  ASSERT_NE(nullptr, main);
  Progress(main);
  EXPECT_NE(L"", Answer(L"信任"));
  HWND report = WaitReport();
  ASSERT_NE(nullptr, report);
  EXPECT_EQ(L"Zorvane 病毒木马查杀结果：\r\n\r\n(RAR)：发现可疑程序，可能是木马! -> C:\\WINDOWS\\evil.exe 信任,未清除!",
            ui::ReportTextOf(report));
  EXPECT_EQ("\"C:\\WINDOWS\\evil.exe\"\r\n", ui::FileBytes(app.folder + L"\\Allow.dat"));
  SaveReport(report, L"here.log");
  EXPECT_EQ(L"记录已保存!", AcknowledgeMessage());
  EXPECT_NE("<missing>", ui::FileBytes(app.folder + L"\\log\\here.log"));
}

}  // namespace
