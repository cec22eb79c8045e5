#include <gtest/gtest.h>

#include "platform/Registry.h"
#include "platform/Text.h"
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

TEST_F(Platform, RegistryReadsLongNamesAndDataWholeOrReportsThemTooLong) {
  Reg::Key key = 0;
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
  Reg::Close(key);
}

TEST_F(Platform, RegistryValuesOfOtherTypesReadAsRawBytes) {
  Reg::Key key = 0;
  ASSERT_EQ(Reg::Ok, Reg::Create(Reg::CurrentUser, kKey, &key));
  DWORD number = 0x00313233;
  RegSetValueExA((HKEY)key, "dword", 0, REG_DWORD, (const BYTE*)&number, 4);
  RegSetValueExA((HKEY)key, "multi", 0, REG_MULTI_SZ, (const BYTE*)"a\0b\0\0", 5);
  Reg::Value value;
  ASSERT_EQ(Reg::Ok, Reg::QueryValue(key, L"dword", &value));
  EXPECT_EQ(Reg::TypeDword, value.type);
  EXPECT_EQ(4u, value.data.size());
  EXPECT_EQ(L"321", value.Text());
  ASSERT_EQ(Reg::Ok, Reg::QueryValue(key, L"multi", &value));
  EXPECT_EQ(L"a", value.Text());
  EXPECT_EQ(Reg::NotFound, Reg::QueryValue(key, L"missing", &value));
  EXPECT_EQ(Reg::NotFound, Reg::DeleteValue(key, L"missing"));
  Reg::Close(key);
  Reg::Key missing = 0;
  EXPECT_EQ(Reg::NotFound, Reg::Open(Reg::CurrentUser, L"Software\\ZorvaneTest\\Nowhere", &missing));
}

}  // namespace
