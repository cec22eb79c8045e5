#include <gtest/gtest.h>

#include "frame/ModuleCommandLine.h"
#include "platform/System.h"
#include "report/ModuleJsonReport.h"

namespace {

using ModuleCommandLine::Request;

TEST(JsonReport, QuotesEveryTextExactly) {
  struct Case {
    std::wstring text;
    std::string json;
  };
  const Case cases[] = {
      {L"", "\"\""},
      {L"a\"b\\c", "\"a\\\"b\\\\c\""},
      {std::wstring(L"\x01\t\n\r\x1f", 5) + L'\0', "\"\\u0001\\u0009\\u000a\\u000d\\u001f\\u0000\""},
      {L"\x7f\x80\x9f\xa0", "\"\\u007f\\u0080\\u009f\xc2\xa0\""},
      {L"木马\u0905", "\"\xe6\x9c\xa8\xe9\xa9\xac\xe0\xa4\x85\""},
      {L"\U0001F600", "\"\xf0\x9f\x98\x80\""},
      {L"a\xd83d"
       L"b",
       "\"a\\ud83db\""},                        // a high surrogate alone
      {L"\xde00\xd83d", "\"\\ude00\\ud83d\""},  // a low one first, and a high one at the end
  };
  for (const Case& c : cases) EXPECT_EQ(c.json, ModuleJsonReport::Quote(c.text)) << testing::PrintToString(c.json);
}

TEST(JsonReport, PlacesOfEveryKind) {
  Detection::Record record;
  record.time = L"2026-12-11 07:30:00";
  record.tag = L"RAR";
  record.subject = L"C:\\x.exe";
  record.data = L"C:\\x.exe [32位]";
  record.outcome = Detection::Outcome::CleanFailed;
  record.hasPlace = true;
  record.place = ModuleBackup::ValuePlace(Reg::LocalMachine, L"Software\\Run", L"x", Reg::Bits32);
  EXPECT_EQ(
      "{\"time\":\"2026-12-11T07:30:00+08:00\",\"host\":\"PC\",\"check\":\"RAR\",\"place\":{\"root\":\"HKLM\","
      "\"view\":32,\"key\":\"Software\\\\Run\",\"value\":\"x\"},\"subject\":\"C:\\\\x.exe\",\"data\":\"C:\\\\x.exe "
      "[32\xe4\xbd\x8d]\",\"outcome\":\"clean_failed\"}",
      ModuleJsonReport::FindingLine(record, L"PC", L"+08:00"));
  record.place = ModuleBackup::KeyPlace(Reg::ClassesRoot, L"CLSID\\{1}", Reg::Bits64);
  EXPECT_NE(std::string::npos, ModuleJsonReport::FindingLine(record, L"PC", L"+08:00")
                                   .find("{\"root\":\"HKCR\",\"view\":64,\"key\":\"CLSID\\\\{1}\",\"value\":null}"));
  record.place = ModuleBackup::FilePlace(L"C:\\a.lnk");
  EXPECT_NE(std::string::npos, ModuleJsonReport::FindingLine(record, L"PC", L"-05:30")
                                   .find("\"place\":{\"root\":\"file\",\"view\":null,\"key\":\"C:\\\\a.lnk\","
                                         "\"value\":null}"));
  record.hasPlace = false;  // a process
  EXPECT_NE(std::string::npos, ModuleJsonReport::FindingLine(record, L"PC", L"-05:30").find("\"place\":null,"));
}

TEST(JsonReport, AFolderGetsADatedNameInside) {
  std::wstring folder = System::ProgramFolder();
  const std::wstring stamp = L"2026-12-11 07:30:05";
  EXPECT_EQ(folder + L"\\check-20261211-073005.jsonl", ModuleJsonReport::Target(folder, stamp));
  EXPECT_EQ(L"C:\\none\\check-20261211-073005.jsonl", ModuleJsonReport::Target(L"C:\\none\\", stamp));
  EXPECT_EQ(L"C:\\none\\r.jsonl", ModuleJsonReport::Target(L"C:\\none\\r.jsonl", stamp));
}

TEST(CommandLineArguments, ReadAsSwitchesInAnyCase) {
  struct Case {
    std::vector<std::wstring> words;
    std::wstring problem;  // what the line starts with; empty: a request
    bool check, clean;
    std::wstring scan, report;
  };
  const Case cases[] = {
      {{L"/check"}, L"", true, false, L"", L""},
      {{L"-CHECK", L"/Clean"}, L"", true, true, L"", L""},
      {{L"/scan", L"D:\\x y", L"-report", L"r.jsonl"}, L"", false, false, L"D:\\x y", L"r.jsonl"},
      {{L"/check", L"/scan", L"C:\\", L"/report", L"C:\\r\\"}, L"", true, false, L"C:\\", L"C:\\r\\"},
      {{L"/bogus"}, L"未知的参数：/bogus", false, false, L"", L""},
      {{L"/check", L"extra"}, L"未知的参数：extra", false, false, L"", L""},
      {{L"/clean"}, L"/clean 只能与 /check 同用", false, false, L"", L""},
      {{L"/report", L"r.jsonl"}, L"/report 只能与 /check 或 /scan 同用", false, false, L"", L""},
      {{L"/check", L"/report"}, L"/report 后缺少报告文件名", false, false, L"", L""},
      {{L"/report", L"/check"}, L"/report 后缺少报告文件名", false, false, L"", L""},
      {{L"/scan", L""}, L"/scan 后缺少要扫描的路径", false, false, L"", L""},
      {{L"/check", L"/check"}, L"参数重复：/check", false, false, L"", L""},
      {{L"/scan", L"a", L"-scan", L"b"}, L"参数重复：/scan", false, false, L"", L""},
      {{L"/logon", L"/check"}, L"/logon 不能与其它参数同用", false, false, L"", L""},
  };
  for (const Case& c : cases) {
    Request request;
    std::wstring problem = ModuleCommandLine::Parse(c.words, &request);
    SCOPED_TRACE(testing::PrintToString(c.words));
    EXPECT_EQ(c.problem, problem.substr(0, c.problem.size()));
    EXPECT_EQ(c.problem.empty(), problem.empty());
    if (!problem.empty()) continue;
    EXPECT_EQ(c.check, request.check);
    EXPECT_EQ(c.clean, request.clean);
    EXPECT_EQ(c.scan, request.scanPath);
    EXPECT_EQ(c.report, request.reportFile);
  }
  Request request;
  EXPECT_EQ(L"", ModuleCommandLine::Parse({L"/bogus", L"-?"}, &request));
  EXPECT_TRUE(request.usage);
}

}  // namespace
