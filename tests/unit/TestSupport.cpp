#include "tests/unit/TestSupport.h"

#include <gtest/gtest.h>

#include "filescan/ModuleScanDisk.h"
#include "platform/Files.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "platform/Toolkit.h"

namespace testsupport {

std::vector<std::wstring> SoundLog::played;

namespace {
void Record(const std::wstring& path) { SoundLog::played.push_back(path); }
}  // namespace

SoundLog::SoundLog() {
  played.clear();
  System::SetSoundPlayer(Record);
}

SoundLog::~SoundLog() { System::SetSoundPlayer(nullptr); }

void DeleteTree(HKEY root, const std::wstring& path) {
  HKEY key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
  wchar_t name[512];
  while (RegEnumKeyW(key, 0, name, 512) == ERROR_SUCCESS) DeleteTree(key, name);
  RegCloseKey(key);
  RegDeleteKeyW(root, path.c_str());
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  tk::ResetEnding();
}

void Mouse(void* hwnd, UINT message, int x, int y) {
  WPARAM keys = message == WM_LBUTTONDOWN ? MK_LBUTTON : message == WM_RBUTTONDOWN ? MK_RBUTTON : 0;
  SendMessageW((HWND)hwnd, message, keys, MAKELPARAM(x, y));
}

void Click(void* hwnd) {
  Mouse(hwnd, WM_LBUTTONDOWN);
  Mouse(hwnd, WM_LBUTTONUP);
}

}  // namespace testsupport

#include "syscheck/FormMsg.h"

namespace testsupport {
namespace {

Answerer* g_answerer = nullptr;

BOOL CALLBACK FindButton(HWND hwnd, LPARAM lParam) {
  auto* wanted = reinterpret_cast<std::pair<const wchar_t*, HWND>*>(lParam);
  wchar_t text[64] = {};
  GetWindowTextW(hwnd, text, 64);
  if (wcscmp(text, wanted->first) != 0) return TRUE;
  wanted->second = hwnd;
  return FALSE;
}

HWND Button(HWND parent, const wchar_t* caption) {
  std::pair<const wchar_t*, HWND> wanted(caption, nullptr);
  EnumChildWindows(parent, FindButton, (LPARAM)&wanted);
  return wanted.second;
}

// Fills a visible input box with the next input and confirms or cancels it.
bool AnswerInputBox(HWND hwnd) {
  HWND edit = FindWindowExW(hwnd, nullptr, L"Edit", nullptr);
  if (!edit || !Button(hwnd, L"取消")) return false;
  Answerer* a = g_answerer;
  std::wstring input = a->nextInput < a->inputs.size() ? a->inputs[a->nextInput++] : Answerer::kCancel;
  if (input == Answerer::kCancel) {
    PostMessageW(Button(hwnd, L"取消"), BM_CLICK, 0, 0);
    return true;
  }
  SetWindowTextW(edit, input.c_str());
  PostMessageW(Button(hwnd, L"确定"), BM_CLICK, 0, 0);
  return true;
}

BOOL CALLBACK CloseMessageBox(HWND hwnd, LPARAM) {
  wchar_t cls[32] = {};
  GetClassNameW(hwnd, cls, 32);
  if (IsWindowVisible(hwnd) && !GetPropW(hwnd, L"answered") && AnswerInputBox(hwnd)) {
    SetPropW(hwnd, L"answered", (HANDLE)1);
    return FALSE;
  }
  if (wcscmp(cls, L"#32770") != 0 || !IsWindowVisible(hwnd)) return TRUE;
  wchar_t text[1024] = {};
  GetDlgItemTextW(hwnd, 0xFFFF, text, 1024);
  if (GetPropW(hwnd, L"answered")) return TRUE;
  SetPropW(hwnd, L"answered", (HANDLE)1);
  g_answerer->messages.push_back(text);
  HWND owner = GetWindow(hwnd, GW_OWNER);
  g_answerer->owners.push_back(owner);
  g_answerer->ownersEnabled.push_back(owner && IsWindowEnabled(owner));
  PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
  return FALSE;
}

void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD) {
  Answerer* a = g_answerer;
  if (!a) return;
  if (FormMsg::IsLoaded() && IsWindowVisible((HWND)FormMsg::Get().hwnd)) {
    a->warnings.push_back(tk::Caption(FormMsg::LabelMsg));
    if (a->onPrompt) a->onPrompt();
    std::wstring answer = a->next < a->answers.size() ? a->answers[a->next++] : L"SKIP";
    tk::Control* option = answer == L"CLEAN"   ? FormMsg::OptionClean
                          : answer == L"ALLOW" ? FormMsg::OptionAllow
                                               : FormMsg::OptionSkip;
    SendMessageW((HWND)option->hwnd, BM_CLICK, 0, 0);
    Mouse(FormMsg::ImageOK[0]->hwnd, WM_LBUTTONDOWN);
    return;
  }
  EnumThreadWindows(GetCurrentThreadId(), CloseMessageBox, 0);
}

UINT_PTR g_timer = 0;

}  // namespace

Answerer::Answerer(std::vector<std::wstring> list) : answers(std::move(list)) {
  g_answerer = this;
  g_timer = SetTimer(nullptr, 0, 30, OnTick);
}

Answerer::~Answerer() {
  KillTimer(nullptr, g_timer);
  g_answerer = nullptr;
}

std::wstring TestFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder = path;
  return folder.substr(0, folder.rfind(L'\\'));
}

PROCESS_INFORMATION StartSleeper(const std::wstring& folder, const std::wstring& imageName,
                                 const std::wstring& program) {
  CreateDirectoryW(folder.c_str(), nullptr);
  std::wstring image = folder + L"\\" + imageName;
  CopyFileW((TestFolder() + L"\\" + program).c_str(), image.c_str(), FALSE);
  std::wstring command = L"\"" + image + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, folder.c_str(), &startup,
                 &process);
  return process;
}

bool Alive(const PROCESS_INFORMATION& process) {
  return process.hProcess && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT;
}

void EndProcess(PROCESS_INFORMATION& process) {
  if (!process.hProcess) return;
  TerminateProcess(process.hProcess, 9);
  WaitForSingleObject(process.hProcess, 5000);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  process = {};
}

bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (!condition()) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(20);
  }
  return true;
}

std::string ReadFileBytes(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string bytes(GetFileSize(file, nullptr), '\0');
  DWORD read = 0;
  ReadFile(file, &bytes[0], (DWORD)bytes.size(), &read, nullptr);
  CloseHandle(file);
  bytes.resize(read);
  return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
  CloseHandle(file);
}

std::string HookSignature() { return std::string("SetWindows") + "Hook"; }

std::wstring FixtureLibrary(const std::wstring& name) { return TestFolder() + L"\\fixtures\\fx_" + name + L".dll"; }

void PlaceHookLibrary(const std::wstring& fixture, const std::wstring& path) {
  std::string bytes = ReadFileBytes(FixtureLibrary(fixture));
  std::string signature = HookSignature();
  if (bytes.size() < 0x4E + signature.size()) return;  // no fixture: the caller's checks fail
  bytes.replace(0x4E, signature.size(), signature);
  WriteFileBytes(path, bytes);
}

std::string ScanHead(const std::wstring& path) {
  std::string head;
  Files::ReadHead(path, ModuleScanDisk::kHeadBytes, &head);
  return head;
}

std::vector<std::wstring> Images(const std::wstring& folder) {
  std::vector<std::wstring> paths;
  for (const wchar_t* pattern : {L"\\*.dll", L"\\*.exe"}) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) continue;
    do {
      paths.push_back(folder + L"\\" + data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  return paths;
}

Version::Answer ExpectTheSystemsVersionBlock(const std::wstring& path, const std::string& head) {
  std::string bySystem, block, fromBytes;
  bool found = Version::ReadBlockBySystem(path, &bySystem);
  EXPECT_EQ(found, Version::ReadBlock(path, std::string(), &block)) << Text::ToAnsi(path);
  EXPECT_TRUE(block == bySystem) << Text::ToAnsi(path);
  Version::Answer answer = Version::ReadBlockFromBytes(path, head, &fromBytes);
  if (head.size() < ModuleScanDisk::kHeadBytes) {
    std::string fromWhole;
    EXPECT_EQ(answer, Version::ReadBlockFromBytes(path, head, &fromWhole, true)) << Text::ToAnsi(path);
    EXPECT_TRUE(fromWhole == fromBytes) << Text::ToAnsi(path);
  }
  if (answer == Version::Answer::kAskSystem) return answer;
  EXPECT_EQ(found, answer == Version::Answer::kBlock) << Text::ToAnsi(path);
  EXPECT_TRUE(fromBytes == bySystem) << Text::ToAnsi(path);
  return answer;
}

}  // namespace testsupport
