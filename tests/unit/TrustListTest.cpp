#include <functional>
#include <gtest/gtest.h>
#include <iterator>

#include "platform/Files.h"
#include "platform/Text.h"
#include "syscheck/TrustList.h"
#include "tests/unit/TestSupport.h"

namespace {

using testsupport::ReadFileBytes;
using testsupport::WriteFileBytes;

class TrustFile : public ::testing::Test {
 protected:
  void SetUp() override { Clear(); }
  void TearDown() override { Clear(); }
  static void Clear() {
    SetFileAttributesW(TrustList::Path().c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(TrustList::Path().c_str());
    RemoveDirectoryW(TrustList::Path().c_str());
  }
};

std::string Utf16(const std::wstring& text, bool bigEndian) {
  std::string bytes;
  for (wchar_t c : text) {
    char low = (char)(c & 0xFF), high = (char)(c >> 8);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

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
      {"\"unterminated", {}},                   // a line cut short trusts nothing
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

TEST_F(TrustFile, EveryTextRoundTripsAndTrustsNoLookAlike) {
  std::wstring longText;
  for (int i = 0; i < 100000; i++) longText += (i % 7 == 0) ? L'\u0905' : (i % 5 == 0) ? L'测' : L'x';
  struct Case {
    std::wstring text;
    std::vector<std::wstring> lookAlikes;
  } cases[] = {
      {L"C:\\WINDOWS\\\u00AApp.exe", {L"C:\\WINDOWS\\app.exe", L"C:\\WINDOWS\\?pp.exe"}},
      {L"C:\\WINDOWS\\\u0905pp.exe", {L"C:\\WINDOWS\\?pp.exe", L"C:\\WINDOWS\\&#x905;pp.exe"}},
      {L"C:\\WINDOWS\\a.exe\r\nC:\\WINDOWS\\b.exe", {L"C:\\WINDOWS\\a.exe", L"C:\\WINDOWS\\b.exe"}},
      {L"lone\rcr and lone\nlf", {L"lone", L"cr and lone", L"lf"}},
      {L"\"C:\\WINDOWS\\q.exe\" /x", {L"C:\\WINDOWS\\q.exe"}},
      {L"C:\\WINDOWS\\&#x905;.exe", {L"C:\\WINDOWS\\\u0905.exe"}},
      {std::wstring(L"upd\0x.exe", 9), {L"upd"}},
      {L"C:\\\U0001F600.exe", {L"C:\\??.exe"}},
      {longText, {longText.substr(0, 99999)}},
  };
  for (const Case& c : cases) {
    unsigned long error = 0;
    ASSERT_TRUE(TrustList::AddTrusted(c.text, &error)) << error;
  }
  for (const Case& c : cases) {
    EXPECT_TRUE(TrustList::IsTrusted(c.text)) << testing::PrintToString(c.text.substr(0, 40));
    for (const std::wstring& other : c.lookAlikes) EXPECT_FALSE(TrustList::IsTrusted(other)) << Text::ToAnsi(other);
  }
  EXPECT_EQ(std::size(cases), TrustList::Entries().size());
  std::string bytes = ReadFileBytes(TrustList::Path());
  EXPECT_EQ(0u, bytes.find("\"C:\\WINDOWS\\&#xAA;pp.exe\"&\r\n\"C:\\WINDOWS\\&#x905;pp.exe\"&\r\n"
                           "\"C:\\WINDOWS\\a.exe&#xD;&#xA;C:\\WINDOWS\\b.exe\"&\r\n"));
  EXPECT_NE(std::string::npos, bytes.find("\r\n\"\"\"C:\\WINDOWS\\q.exe\"\" /x\"\r\n"));  // needs no escape: as before
}

TEST_F(TrustFile, AListThatCannotBeWrittenSaysWhy) {
  const std::string old = "\"old\"\r\n";
  HANDLE held = INVALID_HANDLE_VALUE;
  struct Case {
    const char* name;
    std::string content;
    std::function<void()> make;
    unsigned long error;
  } cases[] = {
      {"a folder", "", [] { CreateDirectoryW(TrustList::Path().c_str(), nullptr); }, ERROR_ACCESS_DENIED},
      {"held without sharing", old,
       [&] { held = CreateFileW(TrustList::Path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr); },
       ERROR_SHARING_VIOLATION},
      {"read-only", old, [] { SetFileAttributesW(TrustList::Path().c_str(), FILE_ATTRIBUTE_READONLY); },
       ERROR_ACCESS_DENIED},
      {"UTF-16 cut to an odd length", "\xFF\xFE" + Utf16(L"\"old\"", false) + "\r", [] {}, ERROR_INVALID_DATA},
  };
  for (const Case& c : cases) {
    if (!c.content.empty()) WriteFileBytes(TrustList::Path(), c.content);
    c.make();
    unsigned long error = 0;
    EXPECT_FALSE(TrustList::AddTrusted(L"C:\\WINDOWS\\new.exe", &error)) << c.name;
    EXPECT_EQ(c.error, error) << c.name;
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    held = INVALID_HANDLE_VALUE;
    EXPECT_EQ(c.content, ReadFileBytes(TrustList::Path())) << c.name;
    EXPECT_FALSE(TrustList::IsTrusted(L"C:\\WINDOWS\\new.exe")) << c.name;
    Clear();
  }
}

TEST_F(TrustFile, ByteOrderMarksAreReadAndTheListKeepsItsEncoding) {
  const std::wstring text = L"\"C:\\测试.exe\"\r\n\"second\"\r\n";
  struct Case {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"UTF-8", "\xEF\xBB\xBF" + Text::ToUtf8(text)},
      {"UTF-16 LE", "\xFF\xFE" + Utf16(text, false)},
      {"UTF-16 BE", "\xFE\xFF" + Utf16(text, true)},
      {"UTF-16 LE without the last break", "\xFF\xFE" + Utf16(L"\"only\"", false)},
  };
  for (const Case& c : cases) {
    WriteFileBytes(TrustList::Path(), c.bytes);
    std::vector<std::wstring> before = TrustList::Entries();
    std::vector<std::wstring> expected = {L"C:\\测试.exe", L"second"};
    if (before.size() == 1) expected = {L"only"};
    EXPECT_EQ(expected, before) << c.name;
    ASSERT_TRUE(TrustList::AddTrusted(L"C:\\新\u0905.exe")) << c.name;
    ASSERT_TRUE(TrustList::AddTrusted(L"C:\\after.exe")) << c.name;
    before.insert(before.end(), {L"C:\\新\u0905.exe", L"C:\\after.exe"});
    EXPECT_EQ(before, TrustList::Entries()) << c.name;
    EXPECT_EQ(c.bytes.substr(0, 2), ReadFileBytes(TrustList::Path()).substr(0, 2)) << c.name;
  }
}

TEST_F(TrustFile, AListLargerThanAnyReadingLimitStillFindsItsNewEntries) {
  // One line of zeros longer than any entry (skipped unread), then 1 MB entries:
  // past 64 MB in all, made with a few large writes.
  HANDLE file = CreateFileW(TrustList::Path().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  DWORD written = 0;
  std::string first = "\"first\"\r\n";
  WriteFile(file, first.data(), (DWORD)first.size(), &written, nullptr);
  std::string zeros(Files::kMaxListLine + 1, '\0');
  zeros += "\r\n";
  WriteFile(file, zeros.data(), (DWORD)zeros.size(), &written, nullptr);
  std::string filler = "\"" + std::string(1 << 20, 'f') + "\"\r\n";
  for (int i = 0; i < 58; i++) WriteFile(file, filler.data(), (DWORD)filler.size(), &written, nullptr);
  LARGE_INTEGER size = {};
  GetFileSizeEx(file, &size);
  CloseHandle(file);
  ASSERT_GT(size.QuadPart, 64ll << 20);
  ASSERT_TRUE(TrustList::AddTrusted(L"C:\\WINDOWS\\new.exe"));
  EXPECT_TRUE(TrustList::IsTrusted(L"C:\\WINDOWS\\new.exe"));
  EXPECT_TRUE(TrustList::IsTrusted(L"first"));
  EXPECT_FALSE(TrustList::IsTrusted(std::wstring(Files::kMaxListLine + 1, L'\0')));
  EXPECT_EQ(60u, TrustList::Entries().size());
}

TEST_F(TrustFile, DamagedOrCraftedLinesTrustNothingNobodyTrusted) {
  struct Case {
    std::string text;
    std::vector<std::wstring> fields;
  } cases[] = {
      {"\"C:\\WINDOWS\\evil.exe /x", {}},  // cut short: not its prefix
      {"\"C:\\WINDOWS\\evil.exe /x\r\n\"next\"\r\n", {L"next"}},
      {"\"C:\\&#x905;pp.exe\"&\r\n", {L"C:\\\u0905pp.exe"}},
      {"\"C:\\&#x905;pp.exe\"", {}},                          // a marked entry cut just before its mark
      {"\"C:\\&#x905;pp.exe\"\r\n", {L"C:\\&#x905;pp.exe"}},  // unmarked: literal, as lists written before
      {"\"a&#x905pp\"&\r\n", {}},
      {"\"a&#x0905;\"&\r\n", {}},
      {"\"&#x41;\"&\r\n", {}},
      {"\"a\tb\"&\r\n", {}},
      {"\"\x81\"&\r\n", {}},
      {"\"a\"&junk\r\n", {}},
      {"\"a&#x26;#\"&,\"b\"\r\n", {L"a&#", L"b"}},
      {"\"a&#xD;\"&\r\n\"b\"\r\n", {L"a\r", L"b"}},
      {"C:\\a.exe,C:\\b.exe &#x905;\r\n", {L"C:\\a.exe", L"C:\\b.exe &#x905;"}},  // hand-written: plain meaning
      {std::string(Files::kMaxListLine + 1, 'x') + "\r\n\"after\"\r\n", {L"after"}},
  };
  for (const Case& c : cases) EXPECT_EQ(c.fields, Files::ParseQuotedFields(c.text)) << c.text.substr(0, 60);
}

}  // namespace
