// The query page: each kind of file named in the field and the answer it gets,
// the file chooser and a file dropped on the field.
#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "filescan/QueryPage.h"
#include "frame/FormMain.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "tests/unit/TestSupport.h"

namespace {

using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

const std::string kSignature = testsupport::HookSignature();
const std::wstring kSafe = L"该文件是安全的。";
const std::wstring kRoot = L"C:\\querytest";

auto& Fixture = testsupport::FixtureLibrary;
using testsupport::PlaceHookLibrary;

std::wstring Suspicious(const std::wstring& path, const std::wstring& company) {
  return L"可疑文件：" + path + L" | 文件发行者：" + company;
}

std::wstring Unreadable(const std::wstring& head, const std::wstring& path, unsigned long code) {
  return head + path + L"\r\n" + System::ErrorText(code) + L"（错误 " + std::to_wstring(code) + L"）";
}

// A drop as the shell hands it over: a DROPFILES header and a double-NUL list.
HDROP MakeDrop(const std::vector<std::wstring>& paths) {
  size_t chars = 1;
  for (const std::wstring& p : paths) chars += p.size() + 1;
  HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
  auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
  header->pFiles = sizeof(DROPFILES);
  header->fWide = TRUE;
  auto* at = reinterpret_cast<wchar_t*>(header + 1);
  for (const std::wstring& p : paths) {
    p.copy(at, p.size());
    at += p.size() + 1;
  }
  GlobalUnlock(memory);
  return static_cast<HDROP>(memory);
}

// Drives the file chooser from a timer inside its modal loop: names a file and
// confirms, or cancels when the name is empty.
struct Chooser {
  static std::wstring name;
  static std::wstring caption;
  static HWND owner;
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) { EnumThreadWindows(GetCurrentThreadId(), Answer, 0); }
  static BOOL CALLBACK Answer(HWND hwnd, LPARAM) {
    wchar_t cls[32] = {};
    GetClassNameW(hwnd, cls, 32);
    if (wcscmp(cls, L"#32770") != 0 || !IsWindowVisible(hwnd) || GetPropW(hwnd, L"answered")) return TRUE;
    SetPropW(hwnd, L"answered", (HANDLE)1);
    wchar_t text[128] = {};
    GetWindowTextW(hwnd, text, 128);
    caption = text;
    owner = GetWindow(hwnd, GW_OWNER);
    if (name.empty()) {
      PostMessageW(hwnd, WM_COMMAND, IDCANCEL, 0);
      return FALSE;
    }
    HWND field = GetDlgItem(hwnd, 0x47C);  // the file name box (cmb13), or the older edt1
    if (!field) field = GetDlgItem(hwnd, 0x480);
    SetWindowTextW(field, name.c_str());
    PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
    return FALSE;
  }
};
std::wstring Chooser::name;
std::wstring Chooser::caption;
HWND Chooser::owner;

class Query : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::DeleteTree(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\57302");
    tk::SetApplicationTitle(L"Zorvane");
    CreateDirectoryW(kRoot.c_str(), nullptr);
    tk::Show(FormMain::Get());
    testsupport::Pump();
    testsupport::Click(FormMain::LabelKyAsk->hwnd);
  }
  void TearDown() override {
    FormMain::Form_Unload();
    testsupport::Pump();
  }
  // Types the text into the field, presses the query button and reads the answer.
  static std::wstring Ask(const std::wstring& field, UINT press = WM_LBUTTONDOWN) {
    tk::SetCaption(QueryPage::TextKyFile, field);
    testsupport::Answerer answerer({});
    testsupport::Mouse(QueryPage::ImageOK[0]->hwnd, press);
    EXPECT_EQ(1u, answerer.messages.size()) << Text::ToAnsi(field);
    EXPECT_EQ(field, tk::Caption(QueryPage::TextKyFile));  // the field keeps what was typed
    if (answerer.messages.empty()) return L"";
    EXPECT_EQ(FormMain::Get().hwnd, (void*)answerer.owners.back());
    EXPECT_FALSE(answerer.ownersEnabled.back());  // modal to the main window
    return answerer.messages.back();
  }
};

TEST_F(Query, EachFileGetsItsAnswer) {
  const std::wstring spaced = kRoot + L"\\with space";
  CreateDirectoryW(spaced.c_str(), nullptr);
  PlaceHookLibrary(L"none", kRoot + L"\\hook.dll");
  PlaceHookLibrary(L"ms", kRoot + L"\\mshook.dll");
  PlaceHookLibrary(L"caps", kRoot + L"\\capshook.dll");
  PlaceHookLibrary(L"zh", spaced + L"\\hook lib.dll");
  PlaceHookLibrary(L"none", kRoot + L"\\hook\u0905.dll");
  WriteFileBytes(kRoot + L"\\notes.txt", "notes: " + kSignature + "Ex is called here\r\n");
  CopyFileW(Fixture(L"none").c_str(), (kRoot + L"\\clean.dll").c_str(), FALSE);
  CopyFileW((testsupport::TestFolder() + L"\\sleeper.exe").c_str(), (kRoot + L"\\clean.exe").c_str(), FALSE);
  // The signature past the first 32000 bytes does not count.
  WriteFileBytes(kRoot + L"\\late.exe", "MZ" + std::string(32000, '\0') + kSignature);
  SetEnvironmentVariableW(L"QUERYTEST", kRoot.c_str());
  const std::wstring ask = L"请输入要查询的文件名。";
  const std::wstring missing = L"找不到文件：";
  struct Case {
    std::wstring field;
    std::wstring answer;
  } cases[] = {
      {L"", ask},
      {L"   ", ask},
      {L"\"\"", ask},
      {kRoot + L"\\hook.dll", Suspicious(kRoot + L"\\hook.dll", L"未知")},
      {kRoot + L"\\mshook.dll", kSafe},
      {kRoot + L"\\capshook.dll", Suspicious(kRoot + L"\\capshook.dll", L"MICROSOFT CORPORATION")},
      {kRoot + L"\\clean.exe", kSafe},
      {kRoot + L"\\clean.dll", kSafe},
      {kRoot + L"\\late.exe", kSafe},
      // Whatever its name: the user asked about this very file.
      {kRoot + L"\\notes.txt", Suspicious(kRoot + L"\\notes.txt", L"未知")},
      {L"  \"" + spaced + L"\\hook lib.dll\"  ", Suspicious(spaced + L"\\hook lib.dll", L"示例软件公司")},
      {L"%QUERYTEST%\\hook.dll", Suspicious(kRoot + L"\\hook.dll", L"未知")},
      {L"\"%QUERYTEST%\\clean.exe\"", kSafe},
      {kRoot + L"\\hook\u0905.dll", Suspicious(kRoot + L"\\hook\u0905.dll", L"未知")},
      {kRoot + L"\\missing.dll", Unreadable(missing, kRoot + L"\\missing.dll", ERROR_FILE_NOT_FOUND)},
      {L"C:\\no such folder\\x.dll", Unreadable(missing, L"C:\\no such folder\\x.dll", ERROR_PATH_NOT_FOUND)},
      {L"%NO_SUCH_VARIABLE%\\x.dll", Unreadable(missing, L"%NO_SUCH_VARIABLE%\\x.dll", ERROR_PATH_NOT_FOUND)},
  };
  for (const Case& c : cases) EXPECT_EQ(c.answer, Ask(c.field)) << Text::ToAnsi(c.field);
}

// Devices and pipes are answered at once and never read; a real file under a
// device's name is examined.
TEST_F(Query, DevicesAndPipesAreNoFiles) {
  const std::wstring pipe = L"\\\\.\\pipe\\zorvane-query";
  HANDLE server = CreateNamedPipeW(pipe.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 512, 512, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, server);
  PlaceHookLibrary(L"none", L"\\\\?\\" + kRoot + L"\\COM1.dll");
  const std::wstring notAFile = L"不是文件（设备或管道），无法查询：";
  struct Case {
    std::wstring field;
    std::wstring answer;
  } cases[] = {
      {L"COM1", notAFile + L"COM1"},
      {L"NUL", notAFile + L"NUL"},
      {pipe, notAFile + pipe},
      {L"\\\\.\\PhysicalDrive0", notAFile + L"\\\\.\\PhysicalDrive0"},
      {kRoot + L"\\COM1.dll", Suspicious(kRoot + L"\\COM1.dll", L"未知")},
      {kRoot + L"\\aux.exe", notAFile + kRoot + L"\\aux.exe"},  // no such file: the name is a device's
  };
  for (const Case& c : cases) EXPECT_EQ(c.answer, Ask(c.field)) << Text::ToAnsi(c.field);
  CloseHandle(server);
}

TEST_F(Query, LockedFileSaysWhyItCannotBeRead) {
  const std::wstring path = kRoot + L"\\locked.dll";
  PlaceHookLibrary(L"none", path);
  HANDLE lock = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, lock);
  EXPECT_EQ(Unreadable(L"无法读取文件：", path, ERROR_SHARING_VIOLATION), Ask(path));
  EXPECT_NE(L"", System::ErrorText(ERROR_SHARING_VIOLATION));
  CloseHandle(lock);
  EXPECT_EQ(Suspicious(path, L"未知"), Ask(path));
}

TEST_F(Query, AnyMouseButtonAndEitherImageQueries) {
  PlaceHookLibrary(L"none", kRoot + L"\\hook.dll");
  const std::wstring expected = Suspicious(kRoot + L"\\hook.dll", L"未知");
  EXPECT_EQ(expected, Ask(kRoot + L"\\hook.dll", WM_RBUTTONDOWN));
  tk::SetCaption(QueryPage::TextKyFile, kRoot + L"\\hook.dll");
  testsupport::Answerer answerer({});
  testsupport::Mouse(QueryPage::ImageOK[1]->hwnd, WM_MBUTTONDOWN);
  ASSERT_EQ(1u, answerer.messages.size());
  EXPECT_EQ(expected, answerer.messages[0]);
}

TEST_F(Query, PanelHoldsItsControlsAndTheButtonIsNamedForItsAction) {
  EXPECT_TRUE(tk::Visible(QueryPage::PictureKyAsk));
  for (tk::Control* c : {QueryPage::TextKyFile, QueryPage::ImageOK[0], QueryPage::ImageOK[1], QueryPage::Label1,
                         QueryPage::CommandBrowse})
    EXPECT_EQ(QueryPage::PictureKyAsk, c->container) << c->name;
  EXPECT_EQ(L"查询", tk::Caption(QueryPage::ImageOK[0]));
  EXPECT_EQ(L"文件名：", tk::Caption(QueryPage::Label1));
  EXPECT_EQ(L"浏览...", tk::Caption(QueryPage::CommandBrowse));
  EXPECT_EQ(L"", tk::Caption(QueryPage::TextKyFile));
  // Twips position of the query button inside the panel: 5280,1320.
  EXPECT_EQ(352, tk::Left(QueryPage::ImageOK[0]));
  EXPECT_EQ(88, tk::Top(QueryPage::ImageOK[0]));
}

// The system hands a drop to the nearest window up from the field that accepts
// files; the panel takes it and the field shows the first file.
TEST_F(Query, FileDroppedOnTheFieldFillsItIn) {
  const std::wstring path = kRoot + L"\\dropped \u0905.dll";
  PlaceHookLibrary(L"none", path);
  HWND target = (HWND)QueryPage::TextKyFile->hwnd;
  while (target && !(GetWindowLongW(target, GWL_EXSTYLE) & WS_EX_ACCEPTFILES)) target = GetParent(target);
  ASSERT_EQ((HWND)QueryPage::PictureKyAsk->hwnd, target);
  tk::SetCaption(QueryPage::TextKyFile, L"old text");
  SendMessageW(target, WM_DROPFILES, (WPARAM)MakeDrop({path, kRoot + L"\\second.dll"}), 0);
  EXPECT_EQ(path, tk::Caption(QueryPage::TextKyFile));
  EXPECT_EQ(Suspicious(path, L"未知"), Ask(tk::Caption(QueryPage::TextKyFile)));
}

TEST_F(Query, BrowseFillsTheFieldWithTheChosenFile) {
  const std::wstring path = kRoot + L"\\chosen.dll";
  PlaceHookLibrary(L"none", path);
  tk::SetCaption(QueryPage::TextKyFile, L"typed before");
  UINT_PTR timer = SetTimer(nullptr, 0, 50, Chooser::Tick);
  Chooser::name = L"";  // cancelled: the field keeps its text
  SendMessageW((HWND)QueryPage::CommandBrowse->hwnd, BM_CLICK, 0, 0);
  EXPECT_EQ(L"typed before", tk::Caption(QueryPage::TextKyFile));
  EXPECT_EQ(L"选择要查询的文件", Chooser::caption);
  EXPECT_EQ(FormMain::Get().hwnd, (void*)Chooser::owner);
  Chooser::name = path;
  SendMessageW((HWND)QueryPage::CommandBrowse->hwnd, BM_CLICK, 0, 0);
  KillTimer(nullptr, timer);
  EXPECT_EQ(path, tk::Caption(QueryPage::TextKyFile));
}

}  // namespace
