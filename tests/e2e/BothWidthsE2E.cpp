// The 64-bit and the 32-bit program on the same 64-bit Windows: entries that name
// %ProgramFiles% and %CommonProgramFiles% are judged as the 64-bit programs that
// start them read them, so both programs give the same findings.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tests/driver/UiDriver.h"

namespace {

const std::wstring kRunOnce = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const std::wstring kProgramFiles = L"C:\\Program Files\\";
const std::wstring kProgramFilesX86 = L"C:\\Program Files (x86)\\";

// One entry: where it is, what it starts, and whether it is a finding.
struct Entry {
  HKEY root;
  REGSAM view;
  std::wstring name, command;
  bool finding;
};

const std::vector<Entry>& Entries() {
  static const std::vector<Entry> entries = {
      // In the 64-bit Program Files only: the 32-bit view of %ProgramFiles% would miss them.
      {HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"zv-agent", L"\"%ProgramFiles%\\Contoso\\Agent\\agent.exe\" /quiet",
       false},
      {HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"zv-common", L"%CommonProgramFiles%\\Contoso\\helper.exe", false},
      {HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"zv-caps", L"%PROGRAMFILES%\\Contoso\\Agent\\agent.exe", false},
      {HKEY_CURRENT_USER, 0, L"zv-user", L"%ProgramFiles%\\Contoso\\Agent\\agent.exe --tray", false},
      {HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"zv-x86", L"\"%ProgramFiles(x86)%\\Contoso32\\old.exe\"", false},
      // The 32-bit view of the registry belongs to 32-bit programs, which Windows
      // starts as such: there too the file is looked for where it is.
      {HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, L"zv-wow", L"\"%ProgramFiles(x86)%\\Contoso32\\old.exe\" -s", false},
      // Missing in both Program Files folders, or in a folder any user can write.
      {HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"zv-gone", L"%ProgramFiles%\\Contoso\\Gone\\gone.exe", true},
      {HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, L"zv-only32", L"%ProgramFiles%\\Contoso32\\old.exe", true},
      {HKEY_CURRENT_USER, 0, L"zv-public", L"C:\\Users\\Public\\updater.exe", true},
  };
  return entries;
}

const wchar_t kTask[] = L"C:\\windows\\system32\\Tasks\\Office ClickToRun Service Monitor";
const wchar_t kOfficeClient[] = L"Common Files\\Microsoft Shared\\ClickToRun\\OfficeC2RClient.exe";

// A stand-in program, its folders made first.
void Place(const std::wstring& file) {
  SHCreateDirectoryExW(nullptr, file.substr(0, file.rfind(L'\\')).c_str(), nullptr);
  ui::WriteFileBytes(file, "MZ stand-in");
}

void Seed() {
  for (const std::wstring& file :
       {kProgramFiles + L"Contoso\\Agent\\agent.exe", kProgramFiles + L"Common Files\\Contoso\\helper.exe",
        kProgramFilesX86 + L"Contoso32\\old.exe", kProgramFiles + kOfficeClient,
        std::wstring(L"C:\\Users\\Public\\updater.exe")})
    Place(file);
  for (const Entry& entry : Entries()) {
    HKEY key;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(entry.root, kRunOnce.c_str(), 0, nullptr, 0, KEY_SET_VALUE | entry.view,
                                             nullptr, &key, nullptr));
    RegSetValueExW(key, entry.name.c_str(), 0, REG_EXPAND_SZ, (const BYTE*)entry.command.c_str(),
                   (DWORD)((entry.command.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
  }
  // The stock Office updater task, as Windows stores it.
  std::wstring xml =
      L"\xFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<Task version=\"1.2\" "
      L"xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n  <Actions "
      L"Context=\"Author\">\r\n    <Exec>\r\n      <Command>%ProgramFiles%\\" +
      std::wstring(kOfficeClient) +
      L"</Command>\r\n      <Arguments>/frequentupdate SCHEDULEDTASK</Arguments>\r\n    </Exec>\r\n"
      L"  </Actions>\r\n</Task>\r\n";
  ui::WriteFileBytes(kTask, std::string((const char*)xml.data(), xml.size() * sizeof(wchar_t)));
}

// Each finding's line from its check on: the time and the host say nothing of the judgement.
std::vector<std::string> Findings(const std::string& report) {
  std::vector<std::string> findings;
  for (size_t at = 0, end; (end = report.find('\n', at)) != std::string::npos; at = end + 1) {
    const std::string line = report.substr(at, end - at);
    size_t check = line.find("\"check\":");
    if (check != std::string::npos) findings.push_back(line.substr(check));
  }
  return findings;
}

std::string CheckAndReport(const std::wstring& folder, const std::wstring& report) {
  ui::CommandRun run = ui::RunCommandLine(folder, L"/check /report " + report);
  EXPECT_TRUE(run.exited) << testing::PrintToString(folder);
  EXPECT_EQ(1u, run.exitCode) << testing::PrintToString(folder) << run.err;
  return ui::FileBytes(report);
}

TEST(BothWidths, SameFindingsFromEitherProgram) {
  if (GetFileAttributesW(L"C:\\dist32\\Quorrel2006.exe") == INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << "the 32-bit build is not beside this one";
  if (GetFileAttributesW(L"C:\\windows\\syswow64\\kernel32.dll") == INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << "this prefix has no 32-bit half: the host runs no 32-bit programs";
  Seed();
  const std::wstring own = ui::FreshInstall(L"own"), x86 = L"C:\\runs\\x86";
  ASSERT_TRUE(ui::CopyTree(L"C:\\dist32", x86));
  const std::vector<std::string> found64 = Findings(CheckAndReport(own, L"C:\\runs\\64.jsonl"));
  const std::vector<std::string> found32 = Findings(CheckAndReport(x86, L"C:\\runs\\32.jsonl"));

  EXPECT_EQ(found64, found32);
  for (const Entry& entry : Entries()) {
    const std::string value = "\"value\":\"" + std::string(entry.name.begin(), entry.name.end()) + "\"";  // ASCII
    bool seen = false;
    for (const std::string& line : found64) seen |= line.find(value) != std::string::npos;
    EXPECT_EQ(entry.finding, seen) << testing::PrintToString(entry.command);
  }
  for (const std::string& line : found64) EXPECT_EQ(std::string::npos, line.find("OfficeC2RClient")) << line;
}

}  // namespace
