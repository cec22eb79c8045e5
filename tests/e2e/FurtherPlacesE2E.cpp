// The further autostart places as a user meets them: one finding seeded in each,
// a system check asks about each once and cleans it, and 查看 > 已清除项目 puts
// every one back as it was.
#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "tests/driver/UiDriver.h"

namespace {

constexpr int kMenuViewBackups = 302;
const std::wstring kPublic = L"C:\\Users\\Public\\";

// One place a finding is seeded in: a registry value, or a file when `root` is null.
struct Seed {
  const wchar_t* tag;
  HKEY root;
  std::wstring key, name;
  DWORD type;
  std::wstring text;  // for REG_MULTI_SZ its parts are joined by "\n"
};

std::string Bytes(const Seed& seed) {
  std::wstring text = seed.text;
  for (wchar_t& c : text)
    if (seed.type == REG_MULTI_SZ && c == L'\n') c = L'\0';
  text += L'\0';
  if (seed.type == REG_MULTI_SZ) text += L'\0';
  return std::string((const char*)text.data(), text.size() * sizeof(wchar_t));
}

std::wstring StartupFolder() {
  wchar_t folder[MAX_PATH] = L"";
  SHGetFolderPathW(nullptr, CSIDL_STARTUP | CSIDL_FLAG_CREATE, nullptr, 0, folder);
  return folder;
}

std::vector<Seed> Seeds() {
  const std::wstring cv = L"Software\\Microsoft\\Windows\\CurrentVersion";
  const std::wstring nt = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
  const std::wstring session = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";
  return {
      {L"RRO", HKEY_CURRENT_USER, cv + L"\\RunOnce", L"zv", REG_SZ, kPublic + L"e2e-once.exe"},
      {L"RPR", HKEY_CURRENT_USER, cv + L"\\Policies\\Explorer\\Run", L"zv", REG_SZ, kPublic + L"e2e-policy.exe"},
      {L"RROX", HKEY_LOCAL_MACHINE, cv + L"\\RunOnceEx\\0001", L"1", REG_SZ, kPublic + L"e2e-ex.dll|Install"},
      {L"RUW", HKEY_CURRENT_USER, nt + L"\\Winlogon", L"Shell", REG_SZ, kPublic + L"e2e-shell.exe"},
      {L"RCP", HKEY_CURRENT_USER, L"Software\\Microsoft\\Command Processor", L"AutoRun", REG_SZ,
       kPublic + L"e2e-cmd.bat"},
      {L"RBE", HKEY_LOCAL_MACHINE, session, L"BootExecute", REG_MULTI_SZ,
       L"autocheck autochk *\n" + kPublic + L"e2e-boot.exe"},
      {L"RACD", HKEY_LOCAL_MACHINE, session + L"\\AppCertDlls", L"zv", REG_SZ, kPublic + L"e2e-cert.dll"},
      {L"RIFEO", HKEY_LOCAL_MACHINE, nt + L"\\Image File Execution Options\\e2e-note.exe", L"Debugger", REG_SZ,
       kPublic + L"e2e-debugger.exe"},
      {L"RTS", HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Terminal Server\\WinStations\\RDP-Tcp",
       L"InitialProgram", REG_SZ, kPublic + L"e2e-rdp.exe"},
      {L"RWN", HKEY_LOCAL_MACHINE, nt + L"\\Winlogon\\Notify\\e2epkg", L"DllName", REG_SZ, kPublic + L"e2e-notify.dll"},
      {L"RAS", HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\{e2e}", L"StubPath",
       REG_SZ, L"powershell.exe -nop -enc SQBFAFgA"},
      {L"RSH", HKEY_CURRENT_USER, L"Software\\Classes\\Directory\\shell\\e2e\\command", L"", REG_SZ,
       kPublic + L"e2e-verb.exe \"%1\""},
      {L"RSV", HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\e2esvc", L"ImagePath", REG_EXPAND_SZ,
       kPublic + L"e2e-svc.exe"},
      {L"RSF", nullptr, StartupFolder() + L"\\e2e-start.exe", L"", 0, L"MZ e2e"},
      {L"RST", nullptr, L"C:\\windows\\system32\\Tasks\\e2e-task", L"", 0,
       L"\xFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<Task version=\"1.2\" "
       L"xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n  <Actions Context=\"Author\">\r\n"
       L"    <Exec>\r\n      <Command>" +
           kPublic + L"e2e-task.exe</Command>\r\n    </Exec>\r\n  </Actions>\r\n</Task>\r\n"},
  };
}

// A file's bytes: a task's XML as Windows writes it (UTF-16), a program's as they are.
std::string FileBytes(const Seed& seed) {
  if (seed.text[0] != L'\xFEFF') return std::string(seed.text.begin(), seed.text.end());
  return std::string((const char*)seed.text.data(), seed.text.size() * sizeof(wchar_t));
}

void Plant(const Seed& seed) {
  if (!seed.root) return ui::WriteFileBytes(seed.key, FileBytes(seed));
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExW(seed.root, seed.key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr));
  std::string data = Bytes(seed);
  RegSetValueExW(key, seed.name.c_str(), 0, seed.type, (const BYTE*)data.data(), (DWORD)data.size());
  if (seed.tag == std::wstring(L"RSV")) {
    DWORD automatic = 2, ownProcess = 16;
    RegSetValueExW(key, L"Start", 0, REG_DWORD, (const BYTE*)&automatic, sizeof automatic);
    RegSetValueExW(key, L"Type", 0, REG_DWORD, (const BYTE*)&ownProcess, sizeof ownProcess);
  }
  RegCloseKey(key);
}

// What the place holds now: the value's type and bytes, the file's bytes; "" when absent.
std::string Now(const Seed& seed) {
  if (!seed.root) {
    HANDLE file = CreateFileW(seed.key.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "";
    char buffer[4096];
    DWORD read = 0;
    ReadFile(file, buffer, sizeof buffer, &read, nullptr);
    CloseHandle(file);
    return "file:" + std::string(buffer, read);
  }
  DWORD type = 0, size = 0;
  if (RegGetValueW(seed.root, seed.key.c_str(), seed.name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, &size) !=
      ERROR_SUCCESS)
    return "";
  std::string data(size, '\0');
  RegGetValueW(seed.root, seed.key.c_str(), seed.name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type, &data[0], &size);
  data.resize(size);
  return std::to_string(type) + ":" + data;
}

TEST(FurtherPlacesE2E, EachPlaceIsAskedOnceCleanedAndRestored) {
  ui::RegDeleteTree(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\57302");
  const std::vector<Seed> seeds = Seeds();
  std::vector<std::string> planted;
  for (const Seed& seed : seeds) {
    Plant(seed);
    planted.push_back(Now(seed));
    ASSERT_NE("", planted.back()) << testing::PrintToString(seed.key);
  }
  ui::App app;
  HWND main = ui::Launch(app, L"further");
  ASSERT_NE(nullptr, main);
  const DWORD pid = app.process.dwProcessId;
  ui::PressScanAndWatchProgress(main, pid);
  std::vector<std::wstring> asked;
  for (size_t i = 0; i < seeds.size(); i++) asked.push_back(ui::AnswerPrompt(pid, L"清除"));
  HWND report = ui::WaitReport(pid);
  ASSERT_NE(nullptr, report);
  const std::wstring text = ui::ReportTextOf(report);
  ui::CloseReport(report);
  for (size_t i = 0; i < seeds.size(); i++) {
    SCOPED_TRACE(testing::PrintToString(seeds[i].tag));
    const std::wstring head = L"警告(" + std::wstring(seeds[i].tag) + L")：发现可疑程序，可能是木马! -> ";
    EXPECT_EQ(0u, asked[i].find(head)) << testing::PrintToString(asked[i]);
    EXPECT_NE(std::wstring::npos, text.find(L"(" + std::wstring(seeds[i].tag) + L")："));
    EXPECT_NE(planted[i], Now(seeds[i])) << "cleaned";
  }
  EXPECT_EQ(std::wstring::npos, text.find(L"清除失败!"));

  ui::PostCommand(main, kMenuViewBackups);
  HWND window = ui::WaitShown(L"恢复已清除项目", 20000, pid);
  ASSERT_NE(nullptr, window);
  HWND list = FindWindowExW(window, nullptr, L"ListBox", nullptr);
  ASSERT_EQ(seeds.size(), ui::ListRows(list).size()) << testing::PrintToString(ui::ListRows(list));
  SendMessageW(list, LB_SETSEL, TRUE, -1);
  ui::PostButton(ui::FindChild(window, L"恢复", L"Button"));
  EXPECT_TRUE(ui::WaitFor([&] { return ui::ListRows(list).empty(); }, 30000))
      << testing::PrintToString(ui::ListRows(list));
  for (size_t i = 0; i < seeds.size(); i++)
    EXPECT_EQ(planted[i], Now(seeds[i])) << testing::PrintToString(seeds[i].tag);
  ui::Kill(app);
}

}  // namespace
