// The run's events in the Application log. Wine keeps no event log, but with
// WINE_TRACE set for these suites it traces every event into C:\wine-trace.txt,
// which the tests read back: the source, then each event's type and id and its strings.
#include <windows.h>

#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <vector>

#include "common/SettingsStore.h"
#include "filescan/ScanPage.h"
#include "frame/FormMain.h"
#include "platform/EventLog.h"
#include "platform/Text.h"
#include "report/FormReport.h"
#include "report/ModuleEventLog.h"
#include "syscheck/Detection.h"
#include "syscheck/SystemCheck.h"
#include "tests/unit/CheckSupport.h"
#include "tests/unit/TestSupport.h"

namespace {

const wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kTrace[] = L"C:\\wine-trace.txt";
const wchar_t* const kView = sizeof(void*) == 8 ? L"64" : L"32";  // 32-bit Windows has the one registry

struct Event {
  std::wstring source;
  WORD type = 0;
  DWORD id = 0;
  std::vector<std::wstring> strings;
};

// A string as Wine's debugstr_w writes it: L"...", with \n \r \t \" \\ and \XXXX
// for every other character outside printable ASCII.
std::wstring Unquote(const std::string& text) {
  std::wstring out;
  size_t i = text.find("L\"");
  if (i == std::string::npos) return out;
  for (i += 2; i < text.size() && text[i] != '"'; i++) {
    if (text[i] != '\\') {
      out += (wchar_t)(unsigned char)text[i];
      continue;
    }
    char c = text[++i];
    if (c == 'n')
      out += L'\n';
    else if (c == 'r')
      out += L'\r';
    else if (c == 't')
      out += L'\t';
    else if (c == '"' || c == '\\')
      out += (wchar_t)c;
    else {
      out += (wchar_t)std::stoul(text.substr(i, 4), nullptr, 16);
      i += 3;
    }
  }
  return out;
}

// This process's events traced since `from` (a byte offset of the trace).
std::vector<Event> TracedEvents(size_t from) {
  std::string trace = testsupport::ReadFileBytes(kTrace);
  char pid[16];
  snprintf(pid, sizeof pid, "%04lx:", GetCurrentProcessId());
  std::vector<Event> events;
  std::wstring source;
  size_t at = from;
  while (at < trace.size()) {
    size_t end = trace.find('\n', at);
    if (end == std::string::npos) end = trace.size();
    std::string line = trace.substr(at, end - at);
    at = end + 1;
    if (line.compare(0, strlen(pid), pid) != 0) continue;
    if (line.find(":advapi:RegisterEventSourceW ") != std::string::npos) {
      source = Unquote(line.substr(line.find(',')));
    } else if (line.find(":advapi:ReportEventW (") != std::string::npos) {
      Event event;
      event.source = source;
      unsigned long type = 0, category = 0, id = 0;
      sscanf(line.substr(line.find('(')).c_str(), "(%*[^,],0x%lx,0x%lx,0x%lx", &type, &category, &id);
      event.type = (WORD)type;
      event.id = id;
      events.push_back(event);
    } else if (line.find(":eventlog:ReportEventW ") != std::string::npos && !events.empty()) {
      events.back().strings.push_back(Unquote(line.substr(line.find("ReportEventW "))));
    }
  }
  return events;
}

size_t TraceLength() { return testsupport::ReadFileBytes(kTrace).size(); }

std::wstring ComputerName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  GetComputerNameW(name, &size);
  return name;
}

void SetCommand(HKEY root, const std::wstring& name, const std::wstring& command) {
  checksupport::SetValue(root, kRun, name, {REG_SZ, checksupport::WideBytes(command)});
}

// The summary: found, cleaned, failed, then the seconds and the version.
void ExpectSummary(const Event& event, WORD type, DWORD id, const std::vector<std::wstring>& counts) {
  EXPECT_EQ(L"Zorvane", event.source);
  EXPECT_EQ(type, event.type);
  EXPECT_EQ(id, event.id);
  ASSERT_EQ(5u, event.strings.size());
  EXPECT_EQ(counts, std::vector<std::wstring>(event.strings.begin(), event.strings.begin() + 3));
  EXPECT_TRUE(std::regex_match(event.strings[3], std::wregex(L"\\d+\\.\\d")));
  EXPECT_EQ(L"3.3", event.strings[4]);
}

class EventLogRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(kTrace)) << "run with WINE_TRACE set";
    testsupport::DeleteTree(HKEY_CURRENT_USER, kRun);
    tk::SetApplicationTitle(L"Zorvane");
    tk::Show(FormMain::Get());
    FormReport::Unload();
    SettingsStore::Save(L"CheckShowReportAfterScan", L"0");  // end without the modal report
  }
  void TearDown() override {
    FormMain::Form_Unload();
    testsupport::Pump();
    testsupport::DeleteTree(HKEY_CURRENT_USER, kRun);
  }
};

// CLEAN, SKIP and a CLEAN the system refuses: a warning for each finding but the
// refused one, an error for it, and the summary as a warning; every field in its place.
TEST_F(EventLogRun, AWindowRunWritesEachFindingAndItsSummary) {
  SetCommand(HKEY_CURRENT_USER, L"zva", L"C:\\WINDOWS\\zva.exe");
  SetCommand(HKEY_CURRENT_USER, L"zvb", L"C:\\WINDOWS\\zvb.exe");
  SetCommand(HKEY_LOCAL_MACHINE, L"zvc", L"C:\\WINDOWS\\zvc.exe");
  checksupport::ReadOnlyKey locked(HKEY_LOCAL_MACHINE, kRun);
  const size_t mark = TraceLength();
  testsupport::Answerer answers({L"CLEAN", L"SKIP", L"CLEAN"});
  SystemCheck::RunSystemCheck(FormMain::Get());
  locked.Restore();
  checksupport::DeleteValue(HKEY_LOCAL_MACHINE, kRun, L"zvc");
  ASSERT_EQ(3u, answers.warnings.size());

  std::vector<Event> events = TracedEvents(mark);
  ASSERT_EQ(4u, events.size());
  const struct {
    WORD type;
    DWORD id;
    const wchar_t* root;
    const wchar_t* name;
    const wchar_t* outcome;
  } findings[] = {{EVENTLOG_WARNING_TYPE, 1001, L"HKCU", L"zva", L"cleaned"},
                  {EVENTLOG_WARNING_TYPE, 1001, L"HKCU", L"zvb", L"skipped"},
                  {EVENTLOG_ERROR_TYPE, 1002, L"HKLM", L"zvc", L"clean_failed"}};
  const std::wregex time(L"\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d");
  for (size_t i = 0; i < 3; i++) {
    SCOPED_TRACE(i);
    const Event& event = events[i];
    EXPECT_EQ(L"Zorvane", event.source);
    EXPECT_EQ(findings[i].type, event.type);
    EXPECT_EQ(findings[i].id, event.id);
    ASSERT_EQ(10u, event.strings.size());
    EXPECT_TRUE(std::regex_match(event.strings[0], time)) << Text::ToAnsi(event.strings[0]);
    const std::wstring command = std::wstring(L"C:\\WINDOWS\\") + findings[i].name + L".exe";
    EXPECT_EQ((std::vector<std::wstring>{ComputerName(), L"RAR", findings[i].root, kView, kRun, findings[i].name,
                                         command, command, findings[i].outcome}),
              std::vector<std::wstring>(event.strings.begin() + 1, event.strings.end()));
  }
  ExpectSummary(events[3], EVENTLOG_WARNING_TYPE, 1003, {L"3", L"1", L"1"});
}

TEST_F(EventLogRun, ACleanRunWritesOneInformationEvent) {
  const size_t mark = TraceLength();
  testsupport::Answerer answers({});
  SystemCheck::RunSystemCheck(FormMain::Get());
  ASSERT_EQ(std::vector<std::wstring>{L"系统安全,未发现任何病毒木马！"}, answers.messages);
  std::vector<Event> events = TracedEvents(mark);
  ASSERT_EQ(1u, events.size());
  ExpectSummary(events[0], EVENTLOG_INFORMATION_TYPE, 1000, {L"0", L"0", L"0"});
}

// A scan from the window: a warning for each listed file, left as it is, and the summary.
TEST_F(EventLogRun, AWindowScanWritesEachListedFileAndItsSummary) {
  const std::wstring folder = testsupport::TestFolder() + L"\\event-scan";
  CreateDirectoryW(folder.c_str(), nullptr);
  testsupport::PlaceHookLibrary(L"none", folder + L"\\hook.dll");
  testsupport::WriteFileBytes(folder + L"\\plain.exe", "MZ nothing to see");
  FormMain::LabelKyScan->Click();
  tk::SetCaption(ScanPage::LabelTarget, folder);
  const size_t mark = TraceLength();
  testsupport::Answerer answers({});
  ScanPage::CommandScan_Click();
  ASSERT_EQ(std::vector<std::wstring>{L"扫描完成。"}, answers.messages);
  std::vector<Event> events = TracedEvents(mark);
  ASSERT_EQ(2u, events.size());
  EXPECT_EQ(EVENTLOG_WARNING_TYPE, events[0].type);
  EXPECT_EQ(1001u, events[0].id);
  ASSERT_EQ(10u, events[0].strings.size());
  EXPECT_EQ((std::vector<std::wstring>{L"SCAN", L"file", L"-", folder + L"\\hook.dll"}),
            std::vector<std::wstring>(events[0].strings.begin() + 2, events[0].strings.begin() + 6));
  EXPECT_EQ(L"skipped", events[0].strings[9]);
  ExpectSummary(events[1], EVENTLOG_WARNING_TYPE, 1003, {L"1", L"0", L"0"});
  DeleteFileW((folder + L"\\hook.dll").c_str());
  DeleteFileW((folder + L"\\plain.exe").c_str());
  RemoveDirectoryW(folder.c_str());
}

// A process has no place, a file place no registry view or value name: "-" there;
// the default value keeps its empty name.
TEST_F(EventLogRun, FieldsThatDoNotApplyAreDashes) {
  Detection::Record process, file, defaultValue;
  process.tag = L"P";
  file.hasPlace = true;
  file.place = ModuleBackup::FilePlace(L"C:\\Startup\\x.lnk");
  defaultValue.hasPlace = true;
  defaultValue.place = ModuleBackup::ValuePlace(Reg::ClassesRoot, L"exefile\\shell\\open\\command", L"");
  auto place = [](const Detection::Record& record) {
    std::vector<std::wstring> strings = ModuleEventLog::FindingStrings(record);
    return std::vector<std::wstring>(strings.begin() + 3, strings.begin() + 7);
  };
  EXPECT_EQ((std::vector<std::wstring>{L"-", L"-", L"-", L"-"}), place(process));
  EXPECT_EQ((std::vector<std::wstring>{L"file", L"-", L"C:\\Startup\\x.lnk", L"-"}), place(file));
  EXPECT_EQ((std::vector<std::wstring>{L"HKCR", kView, L"exefile\\shell\\open\\command", L""}), place(defaultValue));
}

// What the log can take: strings that fit stay as they are; too long together, the
// longest are cut to equal shares with their length said, and the short ones stay whole.
TEST(EventLogFit, LongStringsAreCutVisiblyAndEveryFieldKeepsItsShare) {
  const std::wstring big(1 << 20, L'x'), bigger((1 << 20) + 1, L'y');
  auto total = [](const std::vector<std::wstring>& strings) {
    size_t sum = 0;
    for (auto& text : strings) sum += text.size();
    return sum;
  };
  EXPECT_EQ((std::vector<std::wstring>{L"a", L"", L"b"}), EventLog::Fit({L"a", L"", L"b"}));
  EXPECT_EQ(std::vector<std::wstring>{L"a\x2400"
                                      L"b"},
            EventLog::Fit({std::wstring(L"a\0b", 3)}));

  std::vector<std::wstring> one = EventLog::Fit({L"time", big, L"outcome"});
  EXPECT_EQ(L"time", one[0]);
  EXPECT_EQ(L"outcome", one[2]);
  EXPECT_EQ(EventLog::kMaxStringsLength, total(one));
  const std::wstring said = L"…（共 1048576 个字符）";
  EXPECT_EQ(std::wstring(one[1].size() - said.size(), L'x') + said, one[1]);

  std::vector<std::wstring> two = EventLog::Fit({big, L"short", bigger});
  EXPECT_LE(total(two), EventLog::kMaxStringsLength);
  EXPECT_EQ(L"short", two[1]);
  EXPECT_EQ(two[0].size(), two[2].size());
  EXPECT_NE(std::wstring::npos, two[2].find(L"（共 1048577 个字符）"));

  // A character of two code units is kept whole or not at all.
  std::wstring pairs;
  for (int i = 0; i < 20; i++) pairs += L"\xD83D\xDE00";
  for (size_t limit = 20; limit < 30; limit++) {
    std::wstring cut = EventLog::Fit({pairs}, limit)[0];
    size_t head = cut.find(L'…');
    EXPECT_EQ(0u, head % 2) << limit;
  }
}

// A megabyte string reaches the log, cut, and the call returns.
TEST_F(EventLogRun, AHugeStringIsReportedCut) {
  const size_t mark = TraceLength();
  EXPECT_TRUE(EventLog::Report(L"Zorvane", EventLog::Type::Warning, 1001, {L"head", std::wstring(1 << 20, L'z')}));
  std::vector<Event> events = TracedEvents(mark);
  ASSERT_EQ(1u, events.size());
  ASSERT_EQ(2u, events[0].strings.size());
  EXPECT_EQ(L"head", events[0].strings[0]);
  EXPECT_EQ(0u, events[0].strings[1].find(L"zzzz"));
}

// The event viewer formats each event from the program's image, as the setup names
// it: every id in Chinese and in English, with every insert in its place.
std::wstring Format(HMODULE image, DWORD id, LANGID language, const std::vector<std::wstring>& inserts) {
  std::vector<DWORD_PTR> arguments;
  for (auto& text : inserts) arguments.push_back((DWORD_PTR)text.c_str());
  wchar_t* text = nullptr;
  DWORD length =
      FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY | FORMAT_MESSAGE_ALLOCATE_BUFFER,
                     image, id, language, (LPWSTR)&text, 0, (va_list*)arguments.data());
  std::wstring result(text ? text : L"", length);
  LocalFree(text);
  return result;
}

const LANGID kChinese = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);
const LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);

TEST(EventMessages, TheProgramsImageFormatsEveryEventWithItsInserts) {
  HMODULE image = LoadLibraryExW(L"C:\\dist\\Quorrel2006.exe", nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(nullptr, image) << GetLastError();
  const std::vector<std::wstring> finding = {
      L"2026-12-11 08:00:00", L"PC-7", L"RAR",       L"HKCU",         L"64",
      L"Software\\Run",       L"zva",  L"C:\\a.exe", L"C:\\a.exe /s", L"cleaned"};
  const std::vector<std::wstring> summary = {L"3", L"1", L"1", L"6.2", L"3.3"};
  EXPECT_EQ(
      L"发现可疑项目（RAR）：C:\\a.exe\r\n时间：2026-12-11 08:00:00\r\n计算机：PC-7\r\n检查：RAR\r\n"
      L"位置：HKCU（64 位）Software\\Run\r\n值名称：zva\r\n项目：C:\\a.exe\r\n数据：C:\\a.exe /s\r\n"
      L"处理结果：cleaned\r\n",
      Format(image, ModuleEventLog::kFinding, kChinese, finding));
  const struct {
    DWORD id;
    const std::vector<std::wstring>& inserts;
  } events[] = {{ModuleEventLog::kRunClean, summary},
                {ModuleEventLog::kFinding, finding},
                {ModuleEventLog::kCleanFailed, finding},
                {ModuleEventLog::kRunFindings, summary}};
  for (auto& event : events)
    for (LANGID language : {kChinese, kEnglish}) {
      SCOPED_TRACE(testing::Message() << event.id << " " << language);
      std::wstring text = Format(image, event.id, language, event.inserts);
      ASSERT_FALSE(text.empty()) << GetLastError();
      EXPECT_EQ(std::wstring::npos, text.find(L'%')) << Text::ToAnsi(text);
      for (auto& insert : event.inserts) EXPECT_NE(std::wstring::npos, text.find(insert)) << Text::ToAnsi(insert);
    }
  FreeLibrary(image);
}

}  // namespace
