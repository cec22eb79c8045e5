// The program run unattended from a command line: switches, exit codes, the
// JSON Lines report, and never a window.
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

#include "tests/driver/UiDriver.h"
// After <windows.h>, which the driver brings.
#include <sddl.h>

namespace {

const wchar_t kRun[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::wstring Decode(const std::string& bytes, UINT codePage) {
  int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), (int)bytes.size(), nullptr, 0);
  std::wstring text(length, L'\0');
  MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), (int)bytes.size(), &text[0], length);
  return text;
}
std::wstring Gbk(const std::string& bytes) { return Decode(bytes, 936); }

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
  while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

// --- a strict reader of one JSON value: anything RFC 8259 does not allow fails ---
struct Json {
  enum Kind { Null, Bool, Number, String, Object } kind = Null;
  std::wstring text;  // a string's characters, a number's or literal's spelling
  std::map<std::wstring, Json> members;
  const Json& operator[](const std::wstring& name) const {
    static const Json missing = [] {
      Json none;
      none.text = L"<missing>";
      return none;
    }();
    auto found = members.find(name);
    return found == members.end() ? missing : found->second;
  }
};

class Reader {
 public:
  explicit Reader(const std::string& line) : s_(line) {}
  bool Whole(Json* value) { return Value(value) && i_ == s_.size(); }

 private:
  bool Value(Json* v) {
    if (i_ >= s_.size()) return false;
    if (s_[i_] == '"') return v->kind = Json::String, Str(&v->text);
    if (s_[i_] == '{') return v->kind = Json::Object, Obj(v);
    for (const char* word : {"null", "true", "false"})
      if (s_.compare(i_, strlen(word), word) == 0) {
        v->kind = word[0] == 'n' ? Json::Null : Json::Bool;
        v->text = Decode(word, CP_UTF8);
        i_ += strlen(word);
        return true;
      }
    return Num(v);
  }
  bool Num(Json* v) {
    size_t start = i_;
    if (i_ < s_.size() && s_[i_] == '-') i_++;
    if (i_ >= s_.size() || !isdigit((unsigned char)s_[i_])) return false;
    if (s_[i_] == '0' && i_ + 1 < s_.size() && isdigit((unsigned char)s_[i_ + 1])) return false;
    while (i_ < s_.size() && isdigit((unsigned char)s_[i_])) i_++;
    if (i_ < s_.size() && s_[i_] == '.') {
      if (++i_ >= s_.size() || !isdigit((unsigned char)s_[i_])) return false;
      while (i_ < s_.size() && isdigit((unsigned char)s_[i_])) i_++;
    }
    v->kind = Json::Number;
    v->text = Decode(s_.substr(start, i_ - start), CP_UTF8);
    return true;
  }
  bool Obj(Json* v) {
    i_++;
    if (i_ < s_.size() && s_[i_] == '}') return ++i_, true;
    for (;;) {
      std::wstring name;
      if (i_ >= s_.size() || s_[i_] != '"' || !Str(&name) || v->members.count(name)) return false;
      if (i_ >= s_.size() || s_[i_++] != ':') return false;
      if (!Value(&v->members[name])) return false;
      if (i_ >= s_.size()) return false;
      if (s_[i_] == '}') return ++i_, true;
      if (s_[i_++] != ',') return false;
    }
  }
  bool Str(std::wstring* out) {
    std::string raw;  // UTF-8 runs between escapes
    i_++;
    for (;;) {
      if (i_ >= s_.size()) return false;
      unsigned char c = s_[i_++];
      if (c < 0x20) return false;
      if (c == '"') break;
      if (c != '\\') {
        raw += (char)c;
        continue;
      }
      if (!Flush(&raw, out) || i_ >= s_.size()) return false;
      char e = s_[i_++];
      const std::string simple = "\"\\/bfnrt", meaning = "\"\\/\b\f\n\r\t";
      if (simple.find(e) != std::string::npos) {
        *out += (wchar_t)meaning[simple.find(e)];
      } else if (e == 'u' && i_ + 4 <= s_.size()) {
        *out += (wchar_t)std::stoul(s_.substr(i_, 4), nullptr, 16);
        i_ += 4;
      } else {
        return false;
      }
    }
    return Flush(&raw, out);
  }
  // The bytes between escapes must be well-formed UTF-8.
  static bool Flush(std::string* raw, std::wstring* out) {
    if (raw->empty()) return true;
    std::wstring text = Decode(*raw, CP_UTF8);
    if (text.empty()) return false;
    *out += text;
    raw->clear();
    return true;
  }
  const std::string& s_;
  size_t i_ = 0;
};

// Every line, ended by LF, one JSON object each.
std::vector<Json> ReadJsonLines(const std::string& bytes) {
  std::vector<Json> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    EXPECT_NE(std::string::npos, end) << "the last line has no LF";
    if (end == std::string::npos) break;
    Json value;
    EXPECT_TRUE(Reader(bytes.substr(start, end - start)).Whole(&value) && value.kind == Json::Object)
        << "not a JSON object: " << bytes.substr(start, std::min<size_t>(end - start, 300));
    lines.push_back(value);
    start = end + 1;
  }
  return lines;
}

// The one line of `lines` whose field has this value.
const Json* Find(const std::vector<Json>& lines, const std::wstring& field, const std::wstring& text) {
  for (const Json& line : lines)
    if (line[field].text == text) return &line;
  return nullptr;
}

// Refuses every write to a key, as a machine's own keys refuse a standard user.
class ReadOnlyKey {
 public:
  ReadOnlyKey(HKEY root, const std::wstring& path) : root_(root), path_(path) { Set(L"D:(A;;KR;;;WD)"); }
  ~ReadOnlyKey() { Set(L"D:(A;;KA;;;WD)"); }

 private:
  void Set(const wchar_t* sddl) {
    HKEY key;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (RegOpenKeyExW(root_, path_.c_str(), 0, WRITE_DAC, &key) != ERROR_SUCCESS) return;
    if (ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &descriptor, nullptr))
      RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor);
    LocalFree(descriptor);
    RegCloseKey(key);
  }
  HKEY root_;
  std::wstring path_;
};

class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::RegDeleteTree(HKEY_CURRENT_USER, kRun);
    ui::RegDeleteTree(HKEY_LOCAL_MACHINE, kRun);
    ui::ClearLaterChecks();
    std::string name = testing::UnitTest::GetInstance()->current_test_info()->name();
    folder = ui::FreshInstall(std::wstring(name.begin(), name.end()));
    ASSERT_FALSE(folder.empty());
  }
  void TearDown() override {
    ui::RegDeleteTree(HKEY_CURRENT_USER, kRun);
    ui::ClearLaterChecks();
  }
  ui::CommandRun Run(const std::wstring& arguments) {
    ui::CommandRun run = ui::RunCommandLine(folder, arguments);
    EXPECT_TRUE(run.exited) << "still running: " << testing::PrintToString(arguments);
    EXPECT_FALSE(run.windowSeen) << "a window during " << testing::PrintToString(arguments);
    return run;
  }
  std::wstring folder;
};

TEST_F(CommandLine, UsageInAMessageBoxAndOnTheOutput) {
  for (const wchar_t* arguments : {L"/?", L"-?"}) {
    std::wstring boxText;
    ui::CommandRun run = ui::RunCommandLine(folder, arguments, 60000, [&](DWORD pid) {
      if (boxText.empty()) boxText = ui::AcknowledgeMessage(pid);
    });
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(0u, boxText.find(L"用法：Quorrel2006.exe [/check [/clean]] [/scan 路径] [/report 文件]"));
    EXPECT_EQ(boxText + L"\r\n", Gbk(run.out));
    EXPECT_EQ("", run.err);
  }
}

TEST_F(CommandLine, BadArgumentsAreNamedWithTheUsage) {
  const struct {
    std::wstring arguments, line;
  } cases[] = {
      {L"/bogus", L"未知的参数：/bogus"},
      {L"/check /clean /fast", L"未知的参数：/fast"},
      {L"/clean", L"/clean 只能与 /check 同用。"},
      {L"/report r.jsonl", L"/report 只能与 /check 或 /scan 同用。"},
      {L"/scan", L"/scan 后缺少要扫描的路径。"},
      {L"/check /report", L"/report 后缺少报告文件名。"},
      {L"/scan C:\\no\\such\\folder", L"要扫描的路径不存在：C:\\no\\such\\folder"},
      {L"/scan Quorrel2006.exe", L"要扫描的路径不是文件夹或驱动器：Quorrel2006.exe"},
      {L"/check /report C:\\no\\such\\r.jsonl", L"无法在报告文件所在的文件夹中写入：C:\\no\\such"},
      {L"/check /report C:\\no\\such\\", L"无法在报告文件所在的文件夹中写入：C:\\no\\such"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.arguments));
    ui::CommandRun run = Run(c.arguments);
    EXPECT_EQ(3u, run.exitCode);
    std::wstring err = Gbk(run.err);
    EXPECT_EQ(0u, err.find(c.line + L"\r\n用法：")) << testing::PrintToString(err);
    EXPECT_EQ("", run.out);
  }
  EXPECT_EQ("<missing>", ui::FileBytes(folder + L"\\r.jsonl"));
}

TEST_F(CommandLine, CheckReportsEveryFindingAndChangesNothing) {
  std::vector<std::wstring> seeded;
  ui::SeedLaterChecks(&seeded);
  // Subjects a report must carry exactly: quotes, backslashes, control characters,
  // characters outside the code page and the BMP, a megabyte.
  const std::wstring hostile = L"C:\\WINDOWS\\a\"b\\c\x01\x1f\t\u0905\U0001F600.exe";
  const std::wstring huge = L"C:\\WINDOWS\\" + std::wstring(1 << 20, L'x') + L".exe";
  ui::SetRegText(HKEY_CURRENT_USER, kRun, L"q\"uo\\te\u0905", hostile);
  ui::SetRegText(HKEY_CURRENT_USER, kRun, L"huge", huge);
  ui::CommandRun run = Run(L"-CHECK /Report r.jsonl");
  EXPECT_EQ(1u, run.exitCode);
  EXPECT_EQ("", run.err);

  EXPECT_EQ(hostile, ui::RegText(HKEY_CURRENT_USER, kRun, L"q\"uo\\te\u0905"));
  EXPECT_TRUE(huge == ui::RegText(HKEY_CURRENT_USER, kRun, L"huge"));
  EXPECT_EQ(L"C:\\WINDOWS\\demo-inject.dll", ui::RegText(HKEY_LOCAL_MACHINE, ui::kAppInitKey, L"AppInit_DLLs"));
  EXPECT_TRUE(FilesIn(folder + L"\\backup").empty());

  std::vector<Json> lines = ReadJsonLines(ui::FileBytes(folder + L"\\r.jsonl"));
  ASSERT_EQ(seeded.size() + 3, lines.size());
  const Json* odd = Find(lines, L"subject", hostile);
  ASSERT_NE(nullptr, odd);
  EXPECT_EQ(L"RAR", (*odd)[L"check"].text);
  EXPECT_EQ(L"skipped", (*odd)[L"outcome"].text);
  EXPECT_EQ(hostile, (*odd)[L"data"].text);
  EXPECT_EQ(L"HKCU", (*odd)[L"place"][L"root"].text);
  EXPECT_EQ(sizeof(void*) == 8 ? L"64" : L"32", (*odd)[L"place"][L"view"].text);
  EXPECT_EQ(kRun, (*odd)[L"place"][L"key"].text);
  EXPECT_EQ(L"q\"uo\\te\u0905", (*odd)[L"place"][L"value"].text);
  EXPECT_NE(nullptr, Find(lines, L"subject", huge)) << "the megabyte value whole";
  const Json* inject = Find(lines, L"check", L"RID");
  ASSERT_NE(nullptr, inject);
  EXPECT_EQ(L"C:\\WINDOWS\\demo-inject.dll", (*inject)[L"data"].text);
  EXPECT_EQ(L"HKLM", (*inject)[L"place"][L"root"].text);

  wchar_t host[64] = {};
  DWORD size = 64;
  GetComputerNameW(host, &size);
  for (size_t i = 0; i + 1 < lines.size(); i++) {
    EXPECT_EQ(host, lines[i][L"host"].text);
    const std::wstring& time = lines[i][L"time"].text;
    EXPECT_EQ(25u, time.size()) << testing::PrintToString(time);  // 2026-12-11T07:30:00+00:00
    EXPECT_EQ(L'T', time[10]);
  }
  const Json& summary = lines.back();
  EXPECT_EQ(Json::Null, summary[L"outcome"].kind);
  EXPECT_EQ(std::to_wstring(seeded.size() + 2), summary[L"found"].text);
  EXPECT_EQ(L"0", summary[L"cleaned"].text);
  EXPECT_EQ(L"0", summary[L"failed"].text);
  EXPECT_EQ(Json::Number, summary[L"seconds"].kind);
  EXPECT_EQ(L"3.3", summary[L"version"].text);

  // The usual log, in GBK, and the report lines on the output.
  std::vector<std::wstring> logs = FilesIn(folder + L"\\log");
  ASSERT_EQ(1u, logs.size());
  std::wstring log = Gbk(ui::FileBytes(folder + L"\\log\\" + logs[0]));
  EXPECT_EQ(0u, log.find(L"Zorvane 病毒木马查杀结果：\r\n\r\n"));
  EXPECT_NE(std::wstring::npos,
            log.find(L"(RID)：发现可疑程序，可能是木马! -> C:\\WINDOWS\\demo-inject.dll 跳过,未清除!"));
  EXPECT_NE(std::wstring::npos,
            Gbk(run.out).find(L"(RID)：发现可疑程序，可能是木马! -> C:\\WINDOWS\\demo-inject.dll 跳过,未清除!\r\n"));
}

TEST_F(CommandLine, CleanRemovesWhatIsNotTrustedAndBacksItUp) {
  ui::SetRegText(HKEY_CURRENT_USER, kRun, L"evil", L"C:\\WINDOWS\\evil.exe");
  ui::SetRegText(HKEY_CURRENT_USER, kRun, L"known", L"C:\\WINDOWS\\known.exe");
  ui::WriteFileBytes(folder + L"\\Allow.dat", "\"C:\\WINDOWS\\known.exe\"\r\n");
  ui::SetRegText(HKEY_LOCAL_MACHINE, ui::kAppInitKey, L"AppInit_DLLs", L"C:\\WINDOWS\\demo-inject.dll");
  CreateDirectoryW((folder + L"\\out").c_str(), nullptr);
  ui::CommandRun run = Run(L"/check /clean /report out\\");
  EXPECT_EQ(1u, run.exitCode);
  EXPECT_EQ("", run.err);
  bool found = true;
  ui::RegText(HKEY_CURRENT_USER, kRun, L"evil", &found);
  EXPECT_FALSE(found);
  EXPECT_EQ(L"C:\\WINDOWS\\known.exe", ui::RegText(HKEY_CURRENT_USER, kRun, L"known"));
  EXPECT_EQ(L"", ui::RegText(HKEY_LOCAL_MACHINE, ui::kAppInitKey, L"AppInit_DLLs"));
  EXPECT_EQ(2u, FilesIn(folder + L"\\backup").size());

  std::vector<std::wstring> reports = FilesIn(folder + L"\\out");
  ASSERT_EQ(1u, reports.size());
  EXPECT_EQ(0u, reports[0].find(L"check-"));
  std::vector<Json> lines = ReadJsonLines(ui::FileBytes(folder + L"\\out\\" + reports[0]));
  ASSERT_EQ(3u, lines.size());
  EXPECT_EQ(L"C:\\WINDOWS\\evil.exe", lines[0][L"subject"].text);
  EXPECT_EQ(L"cleaned", lines[0][L"outcome"].text);
  EXPECT_EQ(L"cleaned", lines[1][L"outcome"].text);
  EXPECT_EQ(L"2", lines[2][L"cleaned"].text);
}

TEST_F(CommandLine, ACleanTheSystemRefusesExitsTwo) {
  ui::SetRegText(HKEY_CURRENT_USER, kRun, L"evil", L"C:\\WINDOWS\\evil.exe");
  ui::CommandRun run;
  {
    ReadOnlyKey locked(HKEY_CURRENT_USER, kRun);
    run = Run(L"/check /clean /report r.jsonl");
  }
  EXPECT_EQ(2u, run.exitCode);
  EXPECT_EQ(L"C:\\WINDOWS\\evil.exe", ui::RegText(HKEY_CURRENT_USER, kRun, L"evil"));
  EXPECT_EQ(L"需要管理员权限才能清除，这次没有清除：(RAR) C:\\WINDOWS\\evil.exe\r\n", Gbk(run.err));
  std::vector<Json> lines = ReadJsonLines(ui::FileBytes(folder + L"\\r.jsonl"));
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ(L"clean_failed", lines[0][L"outcome"].text);
  EXPECT_EQ(L"1", lines[1][L"failed"].text);
}

TEST_F(CommandLine, ScanListsSuspiciousFilesAlongsideTheCheck) {
  std::wstring target = folder + L"\\scanme";
  CreateDirectoryW(target.c_str(), nullptr);
  CreateDirectoryW((target + L"\\deeper").c_str(), nullptr);
  ui::WriteFileBytes(target + L"\\deeper\\hook.dll", "MZ" + std::string(60, '\0') + ui::HookSignature());
  ui::WriteFileBytes(target + L"\\plain.dll", "MZ");

  ui::CommandRun nothing = Run(L"/check");
  EXPECT_EQ(0u, nothing.exitCode);
  EXPECT_EQ("", nothing.out);

  ui::CommandRun run = Run(L"/scan scanme /check /report scan.jsonl");
  EXPECT_EQ(1u, run.exitCode);
  EXPECT_EQ(L"可疑文件：" + target + L"\\deeper\\hook.dll | 文件发行者：未知\r\n", Gbk(run.out));
  std::vector<Json> lines = ReadJsonLines(ui::FileBytes(folder + L"\\scan.jsonl"));
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ(L"SCAN", lines[0][L"check"].text);
  EXPECT_EQ(target + L"\\deeper\\hook.dll", lines[0][L"subject"].text);
  EXPECT_EQ(L"未知", lines[0][L"data"].text);
  EXPECT_EQ(L"skipped", lines[0][L"outcome"].text);
  EXPECT_EQ(L"file", lines[0][L"place"][L"root"].text);
  EXPECT_EQ(L"1", lines[1][L"found"].text);
}

TEST_F(CommandLine, OneRunAtATimeBesideTheWindowCopy) {
  ui::SetRegText(HKEY_CURRENT_USER, kRun, L"evil", L"C:\\WINDOWS\\evil.exe");
  {
    // Another command-line run holds the machine's claim.
    HANDLE claim = CreateMutexW(nullptr, TRUE, L"Global\\Zorvane.CommandLine");
    ui::CommandRun second = Run(L"/check /clean");
    CloseHandle(claim);
    EXPECT_EQ(4u, second.exitCode);
    EXPECT_EQ(L"另一个 Zorvane 命令行运行正在进行，这次没有运行。\r\n", Gbk(second.err));
    EXPECT_EQ(L"C:\\WINDOWS\\evil.exe", ui::RegText(HKEY_CURRENT_USER, kRun, L"evil"));
  }
  ui::App window;
  HWND main = ui::Launch(window, L"windowcopy");
  ASSERT_NE(nullptr, main);
  ui::CommandRun run = Run(L"/check");
  EXPECT_EQ(1u, run.exitCode);
  EXPECT_TRUE(IsWindow(main) && IsWindowVisible(main));
  EXPECT_EQ(nullptr, ui::TopOfProcess(window.process.dwProcessId, L" ", L"")) << "the window copy asked nothing";
  EXPECT_FALSE(ui::WaitExit(window, 0));
  ui::Kill(window);
}

}  // namespace
