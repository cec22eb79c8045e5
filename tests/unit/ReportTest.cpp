#include <gtest/gtest.h>

#include "frame/FormMain.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "report/FormReport.h"
#include "tests/unit/TestSupport.h"

namespace {

using testsupport::Answerer;
using testsupport::ReadFileBytes;

std::wstring LogFolder() { return System::ProgramFolder() + L"\\log"; }

class Report : public ::testing::Test {
 protected:
  void SetUp() override {
    tk::SetApplicationTitle(L"Zorvane");
    CreateDirectoryW(LogFolder().c_str(), nullptr);
    tk::Show(FormMain::Get());
    FormReport::Unload();
  }
  void TearDown() override {
    FormMain::Form_Unload();
    testsupport::Pump();
  }
  void Save() { FormReport::ImageSave_MouseDown(tk::Mouse()); }
};

TEST_F(Report, BufferStartsWithTheHeaderAndEveryLineWithALineBreak) {
  EXPECT_EQ(L"Zorvane 病毒木马查杀结果：\r\n", FormReport::ReportText());
  EXPECT_FALSE(FormReport::HasFindings());
  EXPECT_FALSE(tk::IsShown(FormReport::Get()));
  FormReport::AppendReportLine(L"(P)：x");
  FormReport::AppendReportLine(L"(RAR)：y");
  EXPECT_EQ(L"Zorvane 病毒木马查杀结果：\r\n\r\n(P)：x\r\n(RAR)：y", FormReport::ReportText());
  EXPECT_TRUE(FormReport::HasFindings());
  FormReport::Unload();
  EXPECT_EQ(L"Zorvane 病毒木马查杀结果：\r\n", FormReport::ReportText());
}

TEST_F(Report, SaveUnderTheDefaultNameWritesGbkWithoutBomOrTrailingBreak) {
  FormReport::AppendReportLine(L"(P)：内存中发现可疑程序，可能是木马! -> a. 跳过,未清除!");
  std::wstring expected = FormReport::ReportText();
  std::wstring name = FormReport::DefaultLogName();
  EXPECT_EQ(System::TodayShortDate().size() + 4, name.size());
  EXPECT_EQ(std::wstring::npos, name.find(L'/'));
  DeleteFileW((LogFolder() + L"\\" + name).c_str());
  Answerer answers({});
  answers.inputs = {name};
  Save();
  EXPECT_EQ(Text::ToAnsi(expected), ReadFileBytes(LogFolder() + L"\\" + name));
  EXPECT_EQ(std::vector<std::wstring>{L"记录已保存!"}, answers.messages);
  EXPECT_FALSE(FormReport::Get().loaded && FormReport::HasFindings());
}

TEST_F(Report, SaveReplacesALongerLogEntirely) {
  std::wstring path = LogFolder() + L"\\mine.log";
  testsupport::WriteFileBytes(path, std::string(5000, 'z'));
  FormReport::AppendReportLine(L"short");
  std::wstring expected = FormReport::ReportText();
  Answerer answers({});
  answers.inputs = {L"mine.log"};
  Save();
  EXPECT_EQ(Text::ToAnsi(expected), ReadFileBytes(path));
}

TEST_F(Report, SaveWritesCharactersTheCodePageCannotHoldAsVisibleEscapes) {
  // What the report box holds is saved exactly: a literal "&#" and a lone line break
  // from the data stay distinct from an escape and from the report's own lines.
  std::wstring line = L"(RAR)：C:\\WINDOWS\\&#x905;pp.exe a\nb \u00AApp\u0905";
  FormReport::AppendReportLine(line);
  std::wstring text = FormReport::ReportText();
  ASSERT_EQ(line, text.substr(text.size() - line.size()));
  Answerer answers({});
  answers.inputs = {L"escaped.log"};
  Save();
  EXPECT_EQ(Text::ToAnsi(text.substr(0, text.size() - line.size()) + L"(RAR)：") +
                "C:\\WINDOWS\\&#x26;#x905;pp.exe a&#xA;b &#xAA;pp&#x905;",
            ReadFileBytes(LogFolder() + L"\\escaped.log"));
}

// A line of a megabyte: the window shows it shortened and answers at once, the
// report keeps it whole for the log.
TEST_F(Report, VeryLongLinesAreShownShortenedAndKeptWhole) {
  std::wstring line =
      L"(RAR)：发现可疑程序，可能是木马! -> C:\\WINDOWS\\" + std::wstring(500000, L'x') + L".exe 跳过,未清除!";
  FormReport::AppendReportLine(line);
  EXPECT_EQ(std::wstring(FormReport::kHeader) + L"\r\n" + line, FormReport::ReportText());
  std::wstring shown = tk::Caption(FormReport::TextReport);
  EXPECT_LT(shown.size(), 2000u);
  EXPECT_NE(std::wstring::npos, shown.find(L"（共 " + std::to_wstring(line.size()) + L" 个字符）"))
      << shown.substr(0, 200);
  const std::wstring end = L"xx.exe 跳过,未清除!";
  EXPECT_EQ(end, shown.substr(shown.size() - end.size()));
}

TEST_F(Report, RefusedOrCancelledSavesKeepTheReportAndWriteNothing) {
  FormReport::AppendReportLine(L"keep me");
  std::wstring before = FormReport::ReportText();
  const wchar_t* const refused[] = {L"..\\evil.log", L"sub/evil.log", L"..",         L"a:b.log",   L"x?.log",
                                    L"con",          L"com1.log",     L"trailing. ", L"\u0E01.log"};
  for (const wchar_t* name : refused) {
    Answerer answers({});
    answers.inputs = {name};
    Save();
    EXPECT_EQ(1u, answers.messages.size()) << Text::ToAnsi(name);
    EXPECT_TRUE(FormReport::Get().loaded);
    EXPECT_EQ(before, FormReport::ReportText());
  }
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((System::ProgramFolder() + L"\\evil.log").c_str()));
  Answerer cancel({});
  cancel.inputs = {Answerer::kCancel};
  Save();
  EXPECT_TRUE(cancel.messages.empty());
  EXPECT_EQ(before, FormReport::ReportText());
}

TEST_F(Report, MissingLogFolderSaysSoAndKeepsTheReport) {
  std::wstring moved = LogFolder() + L"-away";
  RemoveDirectoryW(moved.c_str());
  ASSERT_TRUE(MoveFileW(LogFolder().c_str(), moved.c_str()));
  FormReport::AppendReportLine(L"keep me");
  Answerer answers({});
  answers.inputs = {L"x.log"};
  Save();
  MoveFileW(moved.c_str(), LogFolder().c_str());
  ASSERT_EQ(1u, answers.messages.size());
  EXPECT_NE(std::wstring::npos, answers.messages[0].find(L"日志文件夹不存在"));
  EXPECT_TRUE(FormReport::HasFindings());
}

}  // namespace
