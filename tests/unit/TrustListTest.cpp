#include <gtest/gtest.h>

#include "platform/Files.h"
#include "syscheck/TrustList.h"
#include "tests/unit/TestSupport.h"

namespace {

using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

class TrustFile : public ::testing::Test {
 protected:
  void SetUp() override { DeleteFileW(TrustList::Path().c_str()); }
  void TearDown() override { DeleteFileW(TrustList::Path().c_str()); }
};

TEST_F(TrustFile, FieldsAreReadOneByOne) {
  struct Case {
    std::string text;
    std::vector<std::wstring> fields;
  } cases[] = {
      {"\"C:\\WINDOWS\\x.exe\"\r\n", {L"C:\\WINDOWS\\x.exe"}},
      {"\"a, b\"\r\n\"c\"\r\n", {L"a, b", L"c"}},
      {"  \"lead\"\r\n", {L"lead"}},
      {"\"cut\"rest,\"next\"\r\n", {L"cut", L"next"}},  // after the closing quote: discarded
      {"\"say \"\"hi\"\"\"\r\n", {L"say \"hi\""}},      // doubled quote stands for one
      {"plain,field\r\n", {L"plain", L"field"}},
      {"\"lf\"\n\"only\"", {L"lf", L"only"}},
      {"\"unterminated", {L"unterminated"}},
      {"\"\xB2\xE2\xCA\xD4\"\r\n", {L"测试"}},  // GBK
      {"", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(c.fields, Files::ParseQuotedFields(c.text)) << c.text;
}

TEST_F(TrustFile, MissingListTrustsNothingAndFirstEntryCreatesIt) {
  EXPECT_FALSE(TrustList::IsTrusted(L"C:\\WINDOWS\\x.exe"));
  ASSERT_TRUE(TrustList::AddTrusted(L"C:\\WINDOWS\\x.exe"));
  EXPECT_EQ("\"C:\\WINDOWS\\x.exe\"\r\n", ReadFileBytes(TrustList::Path()));
  EXPECT_TRUE(TrustList::IsTrusted(L"C:\\WINDOWS\\x.exe"));
  EXPECT_FALSE(TrustList::IsTrusted(L"c:\\windows\\x.exe"));  // letter case counts
  EXPECT_FALSE(TrustList::IsTrusted(L"C:\\WINDOWS\\x.exe "));
}

TEST_F(TrustFile, AnyTextRoundTrips) {
  const std::wstring entries[] = {L"\"C:\\WINDOWS\\a.exe\" /s", L"x, y", L"C:\\WINDOWS\\测试.exe", L"\"\"",
                                  L" spaced "};
  for (const std::wstring& e : entries) ASSERT_TRUE(TrustList::AddTrusted(e));
  for (const std::wstring& e : entries) EXPECT_TRUE(TrustList::IsTrusted(e)) << testing::PrintToString(e);
  EXPECT_EQ(std::string("\"\"\"C:\\WINDOWS\\a.exe\"\" /s\"\r\n"), ReadFileBytes(TrustList::Path()).substr(0, 27));
}

TEST_F(TrustFile, DamagedLastLineGetsALineBreakBeforeTheNewEntry) {
  WriteFileBytes(TrustList::Path(), "\"old\"\r\n\"broken");
  ASSERT_TRUE(TrustList::AddTrusted(L"new"));
  EXPECT_EQ("\"old\"\r\n\"broken\r\n\"new\"\r\n", ReadFileBytes(TrustList::Path()));
  EXPECT_TRUE(TrustList::IsTrusted(L"new"));
  EXPECT_TRUE(TrustList::IsTrusted(L"old"));
}

TEST_F(TrustFile, LockedListReadsAsEmpty) {
  ASSERT_TRUE(TrustList::AddTrusted(L"x"));
  HANDLE lock = CreateFileW(TrustList::Path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, lock);
  EXPECT_FALSE(TrustList::IsTrusted(L"x"));
  EXPECT_FALSE(TrustList::AddTrusted(L"y"));
  CloseHandle(lock);
  EXPECT_TRUE(TrustList::IsTrusted(L"x"));
}

}  // namespace
