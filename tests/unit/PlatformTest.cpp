#include <algorithm>
#include <gtest/gtest.h>
#include <iterator>
#include <utility>
#include <vector>

#include "platform/Files.h"
#include "platform/Registry.h"
#include "platform/Text.h"
#include "platform/Toolkit.h"
#include "tests/unit/TestSupport.h"

namespace {

const wchar_t kKey[] = L"Software\\ZorvaneTest\\Platform";

class Platform : public ::testing::Test {
 protected:
  void SetUp() override { testsupport::DeleteTree(HKEY_CURRENT_USER, L"Software\\ZorvaneTest"); }
  void TearDown() override { testsupport::DeleteTree(HKEY_CURRENT_USER, L"Software\\ZorvaneTest"); }
};

TEST_F(Platform, TextRoundTripsThroughTheGbkCodePage) {
  ASSERT_EQ(936u, GetACP());
  std::wstring text = L"宋体 C:\\Program Files\\测试\\a.exe";
  std::string ansi = Text::ToAnsi(text);
  EXPECT_EQ(std::string("\xCB\xCE\xCC\xE5", 4), ansi.substr(0, 4));
  EXPECT_EQ(text, Text::FromAnsi(ansi));
  // A character outside the code page cannot survive the ANSI boundary.
  EXPECT_EQ("?", Text::ToAnsi(L"\u20AC\u0E01").substr(1));
}

// A text survives the ANSI boundary exactly when the code page holds it; anything
// else comes back with a visible "?" where the character was, never a look-alike.
TEST_F(Platform, AnsiRoundTripHoldsExactlyWhenTheCodePageHoldsTheText) {
  struct Case {
    std::wstring text;
    std::string ansi;  // the expected bytes where the code page lacks a character
  } cases[] = {
      {L"C:\\Program Files\\测试\\a.exe", ""},
      {L"caf\u00E9\u00B7", ""},  // Latin letters GBK does hold
      {L"hook\u00AA.dll", "hook?.dll"},
      {L"sub\u00B2", "sub?"},
      {L"\u00D0ata", "?ata"},
      {L"C:\\WINDOWS\\upd\u0905.exe", "C:\\WINDOWS\\upd?.exe"},
      {L"\u00AA\u00B2\u00B3\u00B9\u00BA\u00C0\u00DE\u0131", "????????"},
  };
  for (const Case& c : cases) {
    std::string ansi = Text::ToAnsi(c.text);
    if (c.ansi.empty()) {
      EXPECT_EQ(c.text, Text::FromAnsi(ansi)) << ansi;
    } else {
      EXPECT_EQ(c.ansi, ansi);
      EXPECT_NE(c.text, Text::FromAnsi(ansi)) << ansi;
    }
  }
}

std::wstring WindowText(void* hwnd) {
  wchar_t text[512] = {};
  LRESULT length = SendMessageW((HWND)hwnd, WM_GETTEXT, 512, (LPARAM)text);
  return std::wstring(text, (size_t)length);
}

// What a control is given is what it shows and what anyone reads back, also for
// characters the code page cannot hold or would best-fit to others.
TEST_F(Platform, ControlsKeepTextOutsideTheCodePage) {
  const std::wstring texts[] = {L"宋体 \u00D0ata \u0E01", L"C:\\WINDOWS\\upd\u0905.exe", L"hook\u00AA.dll"};
  tk::Form form;
  form.name = L"Probe";
  form.caption = L"Probe \u0905\u00B2";
  form.width = 320;
  form.height = 200;
  tk::Control *label = nullptr, *line = nullptr, *box = nullptr, *list = nullptr, *button = nullptr;
  form.Design = [&](tk::Form& f) {
    label = tk::AddLabel(f, nullptr, L"Label", L"", 0, 0, 220, 16);
    line = tk::AddText(f, nullptr, L"Line", 0, 20, 220, 20, tk::TextLines::One);
    box = tk::AddText(f, nullptr, L"Box", 0, 44, 220, 100, tk::TextLines::Wrapped);
    list = tk::AddList(f, nullptr, L"List", 0, 148, 220, 50);
    button = tk::AddButton(f, nullptr, L"Button", L"\u0905 OK", 230, 0, 80, 24);
  };
  tk::Load(form);
  ASSERT_TRUE(form.loaded);
  EXPECT_EQ(form.caption, WindowText(form.hwnd));
  EXPECT_EQ(L"\u0905 OK", WindowText(button->hwnd));
  std::wstring appended;
  for (const std::wstring& text : texts) {
    for (tk::Control* c : {label, line}) {
      tk::SetCaption(c, text);
      EXPECT_EQ(text, tk::Caption(c)) << c->name;
      EXPECT_EQ(text, WindowText(c->hwnd)) << c->name;
    }
    // Appending after text with double-byte characters lands at the end, not inside it.
    tk::AppendText(box, text + L"\r\n");
    appended += text + L"\r\n";
    tk::ListAdd(list, text);
  }
  EXPECT_EQ(appended, tk::Caption(box));
  EXPECT_EQ(appended, WindowText(box->hwnd));
  ASSERT_EQ(3, tk::ListCount(list));
  for (int i = 0; i < 3; i++) EXPECT_EQ(texts[i], tk::ListItem(list, i));

  testsupport::Answerer answerer({});
  answerer.inputs = {texts[1]};
  tk::MsgBox(form, texts[2], tk::Icon::Information);
  EXPECT_EQ(std::vector<std::wstring>{texts[2]}, answerer.messages);
  EXPECT_EQ(texts[1], tk::InputBox(form, texts[0], L"", L""));
  tk::Unload(form);
  testsupport::Pump();
}

// A box of whole lines never wraps: each appended line stays one line however
// long, the view follows the newest line and starts at the left of it.
TEST_F(Platform, WholeLinesBoxKeepsEachLineWholeAndShowsTheNewest) {
  tk::Form form;
  form.name = L"Probe";
  form.width = 320;
  form.height = 200;
  tk::Control* box = nullptr;
  form.Design = [&](tk::Form& f) { box = tk::AddText(f, nullptr, L"Box", 0, 0, 220, 100, tk::TextLines::Whole); };
  tk::Load(form);
  tk::Show(form);
  ASSERT_TRUE(form.loaded);
  HWND hwnd = (HWND)box->hwnd;
  EXPECT_TRUE(GetWindowLongW(hwnd, GWL_STYLE) & WS_HSCROLL);
  const std::wstring line = L" 可疑文件：C:\\" + std::wstring(120, L'资') + L"\\hook.dll | 文件发行者：未知";
  std::wstring all;
  for (int batch = 0; batch < 5; batch++) {
    std::wstring text;
    for (int i = 0; i < 10; i++) text += line + L"\r\n";
    tk::AppendText(box, text);
    all += text;
    testsupport::Pump();
  }
  EXPECT_EQ(all, tk::Caption(box));
  EXPECT_EQ(51, SendMessageW(hwnd, EM_GETLINECOUNT, 0, 0));  // 50 lines and the empty one after them
  EXPECT_GT(SendMessageW(hwnd, EM_GETFIRSTVISIBLELINE, 0, 0), 40);
  LRESULT lastLine = SendMessageW(hwnd, EM_LINEINDEX, 49, 0);
  RECT format;
  SendMessageW(hwnd, EM_GETRECT, 0, (LPARAM)&format);
  EXPECT_EQ(format.left, (short)LOWORD(SendMessageW(hwnd, EM_POSFROMCHAR, (WPARAM)lastLine, 0)));
  tk::Unload(form);
  testsupport::Pump();
}

TEST_F(Platform, RegistryReadsLongNamesAndDataWholeOrReportsThemTooLong) {
  Reg::Key key;
  ASSERT_EQ(Reg::Ok, Reg::Create(Reg::CurrentUser, kKey, &key));
  std::wstring longName(300, L'n');
  std::wstring longData = L"C:\\" + std::wstring(200, L'木') + L".exe";  // 400+ ANSI bytes
  ASSERT_EQ(Reg::Ok, Reg::SetString(key, longName, L"short"));
  ASSERT_EQ(Reg::Ok, Reg::SetString(key, L"short", longData));
  Reg::Value value;
  // Values enumerate sorted by name: the 'n' name comes before "short".
  EXPECT_EQ(Reg::MoreData, Reg::EnumValue(key, 0, &value, false));
  ASSERT_EQ(Reg::Ok, Reg::EnumValue(key, 0, &value, true));
  EXPECT_EQ(longName, value.name);
  EXPECT_EQ(L"short", value.Text());
  ASSERT_EQ(Reg::Ok, Reg::EnumValue(key, 1, &value, true));
  EXPECT_EQ(L"short", value.name);
  EXPECT_EQ(longData, value.Text());
  EXPECT_EQ(Reg::NoMoreItems, Reg::EnumValue(key, 2, &value, true));
}

TEST_F(Platform, RegistryValuesOfOtherTypesReadAsRawBytes) {
  Reg::Key key;
  ASSERT_EQ(Reg::Ok, Reg::Create(Reg::CurrentUser, kKey, &key));
  DWORD number = 0x00313233;
  RegSetValueExA((HKEY)key.Handle(), "dword", 0, REG_DWORD, (const BYTE*)&number, 4);
  RegSetValueExA((HKEY)key.Handle(), "multi", 0, REG_MULTI_SZ, (const BYTE*)"a\0b\0\0", 5);
  Reg::Value value;
  ASSERT_EQ(Reg::Ok, Reg::QueryValue(key, L"dword", &value));
  EXPECT_EQ(Reg::TypeDword, value.type);
  EXPECT_EQ(4u, value.data.size());
  EXPECT_EQ(L"321", value.Text());
  ASSERT_EQ(Reg::Ok, Reg::QueryValue(key, L"multi", &value));
  EXPECT_EQ(L"a | b", value.Text());  // every part, the closing NULs dropped
  EXPECT_EQ(Reg::NotFound, Reg::QueryValue(key, L"missing", &value));
  EXPECT_EQ(Reg::NotFound, Reg::DeleteValue(key, L"missing"));
  Reg::Key missing;
  EXPECT_EQ(Reg::NotFound, Reg::Open(Reg::CurrentUser, L"Software\\ZorvaneTest\\Nowhere", &missing));
}

TEST_F(Platform, KeysCloseThemselvesOnceAndMoveWithoutClosing) {
  uintptr_t handle = 0;
  {
    Reg::Key first;
    ASSERT_EQ(Reg::Ok, Reg::Create(Reg::CurrentUser, kKey, &first));
    handle = first.Handle();
    Reg::Key second = std::move(first);
    EXPECT_EQ(0u, first.Handle());
    EXPECT_EQ(handle, second.Handle());
    EXPECT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA((HKEY)handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                              nullptr, nullptr, nullptr, nullptr, nullptr));
  }
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryInfoKeyA((HKEY)handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                   nullptr, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(Platform, RawValuesOfEveryTypeReadBackByteForByte) {
  struct Case {
    const wchar_t* name;
    unsigned long type;
    std::string data;
  } cases[] = {
      {L"binary odd", REG_BINARY, std::string("\x00\x01\xFF\x00\x7F", 5)},
      {L"dword", REG_DWORD, std::string("\x01\x00\x00\x00", 4)},
      {L"dword big endian", REG_DWORD_BIG_ENDIAN, std::string("\x00\x00\x00\x01", 4)},
      {L"empty", REG_BINARY, std::string()},
      {L"expand", REG_EXPAND_SZ, std::string("%SystemRoot%\\x.exe\0", 19)},
      {L"multi", REG_MULTI_SZ, std::string("a\0\xCB\xCE\xCC\xE5\0c\0\0", 10)},
      {L"none", REG_NONE, std::string("\x00\x02", 2)},
      {L"qword", REG_QWORD, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)},
      {L"text", REG_SZ, std::string("abc\0", 4)},
      {L"text unterminated", REG_SZ, std::string("abc", 3)},  // the system would count a NUL after it
      {L"unknown type", 0x4242, std::string("xyz", 3)},
  };
  Reg::Key key;
  ASSERT_EQ(Reg::Ok, Reg::Create(Reg::CurrentUser, kKey, &key));
  for (const Case& c : cases) ASSERT_EQ(Reg::Ok, Reg::SetValue(key, c.name, c.type, c.data)) << Text::ToAnsi(c.name);
  std::vector<Reg::Value> values;
  ASSERT_EQ(Reg::Ok, Reg::ReadValues(Reg::CurrentUser, kKey, &values));
  ASSERT_EQ(std::size(cases), values.size());
  for (size_t i = 0; i < values.size(); i++) {  // the table is sorted by name, as values enumerate
    const Case& c = cases[i];
    Reg::Value queried;
    ASSERT_EQ(Reg::Ok, Reg::QueryValue(key, c.name, &queried));
    for (const Reg::Value* read : {&values[i], &queried}) {
      EXPECT_EQ(c.name, read->name);
      EXPECT_EQ(c.type, read->type) << Text::ToAnsi(c.name);
      EXPECT_EQ(c.data, read->data) << Text::ToAnsi(c.name);
    }
  }
}

TEST_F(Platform, DefaultValuesAreReadWholeAtAnySize) {
  Reg::Key key;
  ASSERT_EQ(Reg::Ok, Reg::Create(Reg::CurrentUser, kKey, &key));
  for (size_t size : {0u, 300u, 100000u}) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; i++) data[i] = (char)('A' + i % 26);
    for (unsigned long type : {(unsigned long)REG_SZ, (unsigned long)REG_BINARY}) {
      ASSERT_EQ(Reg::Ok, Reg::SetValue(key, L"", type, data));
      Reg::Value value;
      ASSERT_EQ(Reg::Ok, Reg::QueryValue(key, L"", &value)) << size;
      EXPECT_EQ(L"", value.name);
      EXPECT_EQ(type, value.type);
      EXPECT_EQ(data, value.data) << size << " bytes of type " << type;
    }
  }
}

TEST_F(Platform, SubkeyNamesAreReadWhole) {
  // 255 characters is the longest name a key may have; 130 and 255 CJK characters
  // need 260 and 510 ANSI bytes.
  std::vector<std::wstring> names = {std::wstring(255, L'k'), std::wstring(130, L'木'), std::wstring(255, L'木'),
                                     L"short"};
  // Wine's ANSI key calls carry paths of at most 260 characters: create them wide.
  auto create = [](const std::wstring& name) {
    HKEY key;
    LONG rc = RegCreateKeyW(HKEY_CURRENT_USER, (std::wstring(kKey) + L"\\" + name).c_str(), &key);
    if (rc == ERROR_SUCCESS) RegCloseKey(key);
    return rc;
  };
  for (const std::wstring& name : names) ASSERT_EQ(ERROR_SUCCESS, create(name)) << name.size();
  EXPECT_EQ(ERROR_INVALID_PARAMETER, create(std::wstring(300, L'k')));
  std::vector<std::wstring> read;
  ASSERT_EQ(Reg::Ok, Reg::ReadSubkeys(Reg::CurrentUser, kKey, &read));
  std::sort(names.begin(), names.end());
  std::sort(read.begin(), read.end());
  EXPECT_EQ(names, read);
}

TEST_F(Platform, DeleteTreeRemovesAKeyWithNestedSubkeys) {
  const std::wstring tree = std::wstring(kKey) + L"\\tree";
  for (const wchar_t* path : {L"\\a\\b\\c", L"\\a\\b2", L"\\d"}) {
    Reg::Key key;
    ASSERT_EQ(Reg::Ok, Reg::Create(Reg::CurrentUser, tree + path, &key));
    ASSERT_EQ(Reg::Ok, Reg::SetString(key, L"v", L"x"));
  }
  Reg::Key sibling;
  ASSERT_EQ(Reg::Ok, Reg::Create(Reg::CurrentUser, std::wstring(kKey) + L"\\treeside", &sibling));
  ASSERT_EQ(5, RegDeleteKeyA(HKEY_CURRENT_USER, Text::ToAnsi(tree).c_str()));  // the system's own refusal
  EXPECT_EQ(Reg::Ok, Reg::DeleteTree(Reg::CurrentUser, tree));
  Reg::Key gone;
  EXPECT_EQ(Reg::NotFound, Reg::Open(Reg::CurrentUser, tree, &gone));
  Reg::Key kept;
  EXPECT_EQ(Reg::Ok, Reg::Open(Reg::CurrentUser, std::wstring(kKey) + L"\\treeside", &kept));
  EXPECT_EQ(Reg::NotFound, Reg::DeleteTree(Reg::CurrentUser, tree));
}

TEST_F(Platform, ValuesAreDeletedByPlaceAndName) {
  Reg::Key key;
  ASSERT_EQ(Reg::Ok, Reg::Create(Reg::CurrentUser, kKey, &key));
  ASSERT_EQ(Reg::Ok, Reg::SetString(key, L"gone", L"x"));
  ASSERT_EQ(Reg::Ok, Reg::SetString(key, L"kept", L"y"));
  EXPECT_EQ(Reg::Ok, Reg::DeleteValue(Reg::CurrentUser, kKey, L"gone"));
  EXPECT_EQ(Reg::NotFound, Reg::DeleteValue(Reg::CurrentUser, kKey, L"gone"));
  EXPECT_EQ(Reg::NotFound, Reg::DeleteValue(Reg::CurrentUser, L"Software\\ZorvaneTest\\Nowhere", L"kept"));
  std::vector<Reg::Value> values;
  ASSERT_EQ(Reg::Ok, Reg::ReadValues(Reg::CurrentUser, kKey, &values));
  ASSERT_EQ(1u, values.size());
  EXPECT_EQ(L"kept", values[0].name);
}

TEST_F(Platform, FailingRegistryCallsLeaveTheirOutputsUntouched) {
  const std::wstring missing = L"Software\\ZorvaneTest\\Nowhere";
  Reg::Key key;
  ASSERT_EQ(Reg::Ok, Reg::Create(Reg::CurrentUser, kKey, &key));
  const uintptr_t handle = key.Handle();
  EXPECT_EQ(Reg::NotFound, Reg::Open(Reg::CurrentUser, missing, &key));
  EXPECT_EQ(handle, key.Handle());
  Reg::Value value;
  value.name = L"before";
  EXPECT_EQ(Reg::NotFound, Reg::QueryValue(key, L"missing", &value));
  EXPECT_EQ(Reg::NoMoreItems, Reg::EnumValue(key, 0, &value, true));
  EXPECT_EQ(L"before", value.name);
  std::wstring name = L"before";
  EXPECT_EQ(Reg::NoMoreItems, Reg::EnumKey(key, 0, &name));
  EXPECT_EQ(L"before", name);
  std::vector<Reg::Value> values(1);
  std::vector<std::wstring> names(1);
  EXPECT_EQ(Reg::NotFound, Reg::ReadValues(Reg::CurrentUser, missing, &values));
  EXPECT_EQ(Reg::NotFound, Reg::ReadSubkeys(Reg::CurrentUser, missing, &names));
  EXPECT_EQ(1u, values.size());
  EXPECT_EQ(1u, names.size());
}

// The names the file calls are given: full, in the \\?\ form, the last name as
// written; a path of the device namespace gets none and is never read.
TEST_F(Platform, FilePathsAreLiteralAndNeverDevices) {
  wchar_t here[MAX_PATH];
  ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, here), 3u);
  const std::wstring cwd = here;
  struct Case {
    std::wstring path;
    std::wstring literal;
  } cases[] = {
      {L"C:\\x\\COM1.dll", L"\\\\?\\C:\\x\\COM1.dll"},
      {L"C:\\x\\hook.dll.", L"\\\\?\\C:\\x\\hook.dll."},  // the trailing dot the system drops
      {L"C:\\", L"\\\\?\\C:\\"},
      {L"\\\\server\\share\\x\\NUL.exe", L"\\\\?\\UNC\\server\\share\\x\\NUL.exe"},
      {L"\\\\?\\C:\\x\\CON", L"\\\\?\\C:\\x\\CON"},
      {L"\\\\?\\unc\\server\\share\\a.dll", L"\\\\?\\unc\\server\\share\\a.dll"},
      {L"COM1", L"\\\\?\\" + cwd + L"\\COM1"},
      {L"sub\\..\\AUX.exe", L"\\\\?\\" + cwd + L"\\AUX.exe"},
      {L"C:/x/./y/LPT1.dll", L"\\\\?\\C:\\x\\y\\LPT1.dll"},
      {L"C:\\x\\\\y.dll", L"\\\\?\\C:\\x\\y.dll"},
      {L"\\PRN", L"\\\\?\\" + cwd.substr(0, 2) + L"\\PRN"},
      {L"C:\\x\\y\\..", L"\\\\?\\C:\\x"},
  };
  for (const Case& c : cases) {
    std::wstring literal;
    EXPECT_TRUE(Files::LiteralPath(c.path, &literal)) << Text::ToAnsi(c.path);
    EXPECT_EQ(c.literal, literal) << Text::ToAnsi(c.path);
  }
  for (const wchar_t* device : {L"\\\\.\\COM1", L"\\\\.\\pipe\\x", L"//./pipe/x", L"\\\\?\\pipe\\x", L"\\\\?\\C:",
                                L"\\\\?\\GLOBALROOT\\Device\\Null", L"\\\\.\\PhysicalDrive0", L"\\\\.\\C:"}) {
    std::wstring literal;
    EXPECT_FALSE(Files::LiteralPath(device, &literal)) << Text::ToAnsi(device);
    std::string bytes = "untouched";
    unsigned long error = 0;
    EXPECT_FALSE(Files::ReadHead(device, 100, &bytes, &error)) << Text::ToAnsi(device);
    EXPECT_EQ(Files::kNotAFile, error) << Text::ToAnsi(device);
    EXPECT_EQ("untouched", bytes);
  }
  // A relative name is read from the working folder, as the lists beside the tests are.
  testsupport::WriteFileBytes(cwd + L"\\relative.txt", "\"entry\"\r\n");
  std::vector<std::wstring> fields;
  EXPECT_TRUE(Files::ReadQuotedFields(L"relative.txt", &fields));
  EXPECT_EQ(std::vector<std::wstring>{L"entry"}, fields);
  DeleteFileW((cwd + L"\\relative.txt").c_str());
}

TEST_F(Platform, DeviceNamesWhateverTheirExtension) {
  for (const wchar_t* name : {L"COM1", L"com9.txt", L"NUL .x", L"AUX:", L"LPT\u00B9", L"conin$", L"Con.tar.gz", L"PRN"})
    EXPECT_TRUE(Files::IsDeviceName(name)) << Text::ToAnsi(name);
  for (const wchar_t* name : {L"COM10", L"COMX", L"CONSOLE", L"NULL", L"xCOM1", L"", L".NUL", L"LPT"})
    EXPECT_FALSE(Files::IsDeviceName(name)) << Text::ToAnsi(name);
}

}  // namespace
