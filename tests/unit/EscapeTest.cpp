#include <gtest/gtest.h>

#include "platform/Files.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "tests/unit/TestSupport.h"

namespace {

using Text::LineBreaks;

TEST(Escapes, EveryCharacterTheCodePageCannotHoldIsWrittenVisiblyAndReadBack) {
  struct Case {
    std::wstring text;
    std::string bytes;
  } cases[] = {
      {L"C:\\WINDOWS\\app.exe /s", "C:\\WINDOWS\\app.exe /s"},
      {L"C:\\测试.exe", "C:\\\xB2\xE2\xCA\xD4.exe"},
      {L"C:\\\u0905pp.exe", "C:\\&#x905;pp.exe"},
      {L"\u00AApp \u00B2 \u00D0ata", "&#xAA;pp &#xB2; &#xD0;ata"},  // best fit would make them "a", "2", "D"
      {L"x\U0001F600y", "x&#x1F600;y"},                             // one escape for the pair
      {L"lone \xD83D.", "lone &#xD83D;."},
      {L"a\r\nb\tc", "a&#xD;&#xA;b&#x9;c"},
      {std::wstring(L"nul\0in", 6), "nul&#x0;in"},
      {L"&#x905;", "&#x26;#x905;"},  // the text itself, never U+0905
      {L"u0905 \\u0905", "u0905 \\u0905"},
      {L"& alone, &x", "& alone, &x"},
      {L"ends &#", "ends &#x26;#"},
      {L"&&#", "&&#x26;#"},
      {L"", ""},
  };
  for (const Case& c : cases) {
    std::string written = Text::ToAnsiEscaped(c.text);
    EXPECT_EQ(c.bytes, written) << testing::PrintToString(c.text);
    std::wstring back = L"untouched";
    EXPECT_TRUE(Text::FromAnsiEscaped(written, &back)) << written;
    EXPECT_EQ(c.text, back) << written;
  }
}

TEST(Escapes, ALogKeepsItsLineBreaksAndTabsOnly) {
  std::wstring text = L"head\r\n(RAR)\t\u0905\n\r\x01";
  std::string bytes = "head\r\n(RAR)\t&#x905;&#xA;&#xD;&#x1;";
  EXPECT_EQ(bytes, Text::ToAnsiEscaped(text, LineBreaks::Kept));
  std::wstring back;
  EXPECT_TRUE(Text::FromAnsiEscaped(bytes, &back, LineBreaks::Kept));
  EXPECT_EQ(text, back);
  EXPECT_EQ(Text::ToAnsi(L"plain\r\n报告"), Text::ToAnsiEscaped(L"plain\r\n报告", LineBreaks::Kept));
}

TEST(Escapes, AnEscapedFileHoldsEveryCharacterVisibly) {
  std::wstring path = System::ProgramFolder() + L"\\escaped.log";
  unsigned long error = 0;
  ASSERT_TRUE(Files::ReplaceWithEscapedText(path, L"结果：\r\nC:\\\u0905pp.exe \u00AApp.exe &#", &error)) << error;
  EXPECT_EQ(Text::ToAnsi(L"结果：\r\n") + "C:\\&#x905;pp.exe &#xAA;pp.exe &#x26;#", testsupport::ReadFileBytes(path));
  DeleteFileW(path.c_str());
}

TEST(Escapes, AnythingEscapeWouldNotHaveWrittenIsRefused) {
  const std::string refused[] = {
      "&#x905",            // no semicolon
      "&#x;",              // no digits
      "&#x0905;",          // padded
      "&#x41;",            // a character that needs no escape
      "&#xd;",             // lower-case digits
      "&#x110000;",        // beyond Unicode
      "&#x1234567;",       // too many digits
      "a&#b",              // a bare introducer
      "a\r\nb",            // a raw line break
      "&#xD83D;&#xDE00;",  // a pair written as two escapes
      "\x81",              // a cut double-byte character
  };
  for (const std::string& bytes : refused) {
    std::wstring text = L"untouched";
    EXPECT_FALSE(Text::FromAnsiEscaped(bytes, &text)) << bytes;
    EXPECT_EQ(L"untouched", text);
  }
}

}  // namespace
