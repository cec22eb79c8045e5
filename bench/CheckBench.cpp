// CheckBench [ENTRIES]: times the system check over a registry and disk seeded with
// about ENTRIES (default 2,000) autostart entries spread over the further places:
// commands of programs in Program Files (what most machines hold), one in twenty
// a program in a folder every user can write, a few entries in the places a clean
// Windows keeps empty. Every finding is answered 跳过 by a stand-in, so the time
// is the checks' own. Runs the eight original checks alone and then every check,
// a warm-up and three timed rounds each, and prints key=value lines: entries,
// findings of a round, and the best seconds of each.
#include <windows.h>

#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <objbase.h>
#include <string>
#include <utility>

#include "platform/Files.h"
#include "platform/System.h"
#include "platform/Toolkit.h"
#include "report/FormReport.h"
#include "syscheck/Detection.h"
#include "syscheck/checks/Checks.h"
#include "syscheck/checks/ModuleProcess.h"
#include "syscheck/checks/ModuleSuspicious.h"

namespace {

const std::wstring kProgram = L"C:\\Program Files\\ZvBench\\app.exe";
const std::wstring kLibrary = L"C:\\Program Files\\ZvBench\\lib.dll";
const std::wstring kWritable = L"C:\\Users\\Public\\zvbench\\drop.exe";
int seeded = 0;

std::wstring Number(int n) { return std::to_wstring(n); }

void Write(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type, const std::wstring& text) {
  HKEY key;
  if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr)) return;
  RegSetValueExW(key, name.empty() ? nullptr : name.c_str(), 0, type, (const BYTE*)text.c_str(),
                 (DWORD)((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  seeded++;
}

// A service Windows starts by itself at boot.
void Automatic(const std::wstring& service) {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, service.c_str(), 0, KEY_SET_VALUE, &key)) return;
  DWORD automatic = 2;
  RegSetValueExW(key, L"Start", 0, REG_DWORD, (const BYTE*)&automatic, sizeof automatic);
  RegCloseKey(key);
}

// One entry in twenty starts a program where any user can write.
std::wstring Command(int n) { return n % 20 == 19 ? kWritable : L"\"" + kProgram + L"\" /n " + Number(n); }

void File(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
  CloseHandle(file);
}

void Shortcut(const std::wstring& path, const std::wstring& target, const std::wstring& arguments) {
  IShellLinkW* link = nullptr;
  IPersistFile* file = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, (void**)&link))) return;
  link->SetPath(target.c_str());
  link->SetArguments(arguments.c_str());
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, (void**)&file))) {
    if (SUCCEEDED(file->Save(path.c_str(), TRUE))) seeded++;
    file->Release();
  }
  link->Release();
}

std::string Task(const std::wstring& command, int n) {
  std::wstring xml =
      L"\xFEFF<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
      L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n"
      L"  <Actions Context=\"Author\">\r\n    <Exec>\r\n      <Command>" +
      command + L"</Command>\r\n      <Arguments>/task " + Number(n) +
      L"</Arguments>\r\n    </Exec>\r\n  </Actions>\r\n</Task>\r\n";
  return std::string((const char*)xml.data(), xml.size() * sizeof(wchar_t));
}

void SeedFiles() {
  SHCreateDirectoryExW(nullptr, L"C:\\Program Files\\ZvBench", nullptr);
  SHCreateDirectoryExW(nullptr, L"C:\\Users\\Public\\zvbench", nullptr);
  File(kProgram, "MZ");
  File(kLibrary, "MZ");
  File(kWritable, "MZ");
}

void SeedRegistry() {
  const std::wstring cv = L"Software\\Microsoft\\Windows\\CurrentVersion";
  const std::wstring nt = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
  for (int n = 0; n < 150; n++) {
    Write(HKEY_CURRENT_USER, cv + L"\\RunOnce", L"zvb" + Number(n), REG_SZ, Command(n));
    Write(HKEY_LOCAL_MACHINE, cv + L"\\RunOnce", L"zvb" + Number(n), REG_SZ, Command(n + 1));
  }
  for (int n = 0; n < 20; n++) {
    std::wstring entry = cv + L"\\RunOnceEx\\" + Number(100 + n);
    for (int v = 0; v < 5; v++) Write(HKEY_LOCAL_MACHINE, entry, Number(v), REG_SZ, kLibrary + L"|DllInstall");
    Write(HKEY_LOCAL_MACHINE, entry + L"\\Depend", L"1", REG_SZ, kLibrary);
  }
  for (int n = 0; n < 200; n++)
    Write(HKEY_LOCAL_MACHINE, nt + L"\\Image File Execution Options\\zvb" + Number(n) + L".exe", L"GlobalFlag", REG_SZ,
          L"0x200");
  for (int n = 0; n < 5; n++)
    Write(HKEY_LOCAL_MACHINE, nt + L"\\Image File Execution Options\\zvd" + Number(n) + L".exe", L"Debugger", REG_SZ,
          kWritable);
  for (int n = 0; n < 300; n++)
    Write(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\{zvb-" + Number(n) + L"}",
          L"StubPath", REG_SZ, Command(n));
  for (int n = 0; n < 2; n++)
    Write(HKEY_LOCAL_MACHINE, nt + L"\\Winlogon\\Notify\\zvb" + Number(n), L"DllName", REG_SZ, kLibrary);
  for (int n = 0; n < 500; n++) {
    std::wstring service = L"SYSTEM\\CurrentControlSet\\Services\\zvbench" + Number(n);
    Write(HKEY_LOCAL_MACHINE, service, L"ImagePath", REG_EXPAND_SZ, Command(n));
    Automatic(service);
    if (n % 5 == 0) Write(HKEY_LOCAL_MACHINE, service + L"\\Parameters", L"ServiceDll", REG_EXPAND_SZ, kLibrary);
  }
  for (const wchar_t* shellClass : {L"Directory", L"Directory\\Background", L"Drive", L"*"})
    for (int n = 0; n < 50; n++)
      Write(HKEY_LOCAL_MACHINE,
            std::wstring(L"Software\\Classes\\") + shellClass + L"\\shell\\zvb" + Number(n) + L"\\command", L"", REG_SZ,
            Command(n) + L" \"%1\"");
}

void SeedTasksAndStartup() {
  wchar_t windows[MAX_PATH];
  GetWindowsDirectoryW(windows, MAX_PATH);
  std::wstring tasks = std::wstring(windows) + L"\\System32\\Tasks\\ZvBench";
  SHCreateDirectoryExW(nullptr, tasks.c_str(), nullptr);
  for (int n = 0; n < 200; n++) {
    File(tasks + L"\\task" + Number(n), Task(n % 20 == 19 ? kWritable : kProgram, n));
    seeded++;
  }
  wchar_t folder[MAX_PATH];
  const int kinds[] = {CSIDL_STARTUP, CSIDL_COMMON_STARTUP};
  for (int k = 0; k < 2; k++) {
    if (FAILED(SHGetFolderPathW(nullptr, kinds[k] | CSIDL_FLAG_CREATE, nullptr, 0, folder))) continue;
    for (int n = 0; n < 75; n++)
      Shortcut(std::wstring(folder) + L"\\zvb" + Number(n) + L".lnk", n % 20 == 19 ? kWritable : kProgram,
               L"/n " + Number(n));
  }
}

int findings = 0;
std::wstring Skip(const std::wstring&) {
  findings++;
  return L"SKIP";
}

// A fresh report for the next round: its window's unload reads as the program's
// end until the messages are pumped and forms may load again.
void StartReport() {
  FormReport::Unload();
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    if (msg.message != WM_QUIT) DispatchMessageW(&msg);
  tk::ResetEnding();
}

double Seconds() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return (double)now.QuadPart / (double)frequency.QuadPart;
}

// Each check's seconds in the best round.
std::vector<double> perCheck;

// The best of three timed rounds after a warm-up, of the first `count` checks.
double Time(size_t count, int* found) {
  const std::vector<Checks::Check>& checks = Checks::InOrder();
  double best = 1e9;
  for (int round = 0; round < 4; round++) {
    findings = 0;
    std::vector<double> each;
    double start = Seconds();
    for (size_t i = 0; i < count && i < checks.size(); i++) {
      double began = Seconds();
      checks[i].run();
      each.push_back(Seconds() - began);
    }
    double took = Seconds() - start;
    if (round > 0 && took < best) {
      best = took;
      perCheck = each;
    }
    StartReport();
  }
  *found = findings;
  return best;
}

}  // namespace

// What one entry's judging costs, call by call, over a thousand calls each.
void Probe() {
  const std::wstring command = L"\"" + kProgram + L"\" /n 1";
  std::wstring literal;
  std::string bytes;
  const std::pair<const char*, std::function<void()>> kCalls[] = {
      {"judge_command", [&] { ModuleSuspicious::JudgeCommand(command); }},
      {"judge_file", [] { ModuleSuspicious::JudgeFile(kProgram); }},
      {"runs_hidden", [&] { ModuleSuspicious::RunsHiddenContent(command); }},
      {"program_file", [&] { ModuleProcess::ProgramFile(command); }},
      {"removable_or_network", [] { Files::OnRemovableOrNetworkDrive(kProgram); }},
      {"exists", [] { Files::Exists(kProgram); }},
      {"expand", [] { System::ExpandEnvironment(L"%ProgramFiles%\\x"); }},
      {"literal_path", [&] { Files::LiteralPath(kProgram, &literal); }},
      {"read_head", [&] { Files::ReadHead(kProgram, 1 << 20, &bytes); }},
      {"writable_folder", [] { ModuleSuspicious::InWritableFolder(kProgram); }},
  };
  for (const auto& call : kCalls) {
    double start = Seconds();
    for (int i = 0; i < 1000; i++) call.second();
    printf("probe_%s_us=%.1f\n", call.first, (Seconds() - start) * 1000.0);
  }
}

int main(int argc, char** argv) {
  bool probe = argc == 2 && std::string(argv[1]) == "--probe";
  if (argc > 1 && !probe) {
    fprintf(stderr, "usage: CheckBench [--probe]\n");
    return 2;
  }
  CoInitialize(nullptr);
  SeedFiles();
  SeedRegistry();
  SeedTasksAndStartup();
  Detection::Prompt = Skip;
  if (probe) Probe();
  int eightFound = 0, allFound = 0;
  double eight = Time(Checks::kOriginalCount, &eightFound);
  double all = Time(Checks::InOrder().size(), &allFound);
  printf(
      "entries=%d\nchecks=%zu\neight_findings=%d\nall_findings=%d\neight_seconds=%.4f\nall_seconds=%.4f\n"
      "further_seconds=%.4f\n",
      seeded, Checks::InOrder().size(), eightFound, allFound, eight, all, all - eight);
  for (size_t i = 0; i < perCheck.size(); i++) printf("check_%ls=%.4f\n", Checks::InOrder()[i].tag, perCheck[i]);
  return 0;
}
