#include "frame/ModuleMain.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "common/SettingsStore.h"
#include "frame/FormMain.h"
#include "frame/ModuleSetAutoRun.h"
#include "platform/Instance.h"
#include "platform/System.h"
#include "platform/Text.h"

namespace ModuleMain {

NotifyIcon::Record TrayIconData;
tk::WindowProc PrevWndProc;

namespace {

// The display name, a NUL, then spaces to 64 characters; the record keeps the first 64 bytes.
void FillTip(char (&tip)[64]) {
  std::wstring text = tk::ApplicationTitle() + L'\0';
  text.resize(std::max<size_t>(text.size(), 64), L' ');
  std::string ansi = Text::ToAnsi(text);
  std::memset(tip, 0, sizeof tip);
  std::memcpy(tip, ansi.data(), std::min(ansi.size(), sizeof tip));
}

// Minimize: the window minimizes as usual, then leaves the screen and the taskbar.
intptr_t HideToTray(void* hWnd, unsigned uMsg, uintptr_t wParam, intptr_t lParam) {
  intptr_t result = tk::CallPreviousProc(PrevWndProc, hWnd, uMsg, wParam, lParam);
  tk::Hide(FormMain::Get());
  SettingsStore::Save(SettingsStore::kEnableOnTimeScan, L"1");
  return result;
}

// Double-click on the icon. The restore command comes back through TrayWindowProc
// and reaches the previous procedure by the default path.
intptr_t ShowFromTray() {
  tk::Form& form = FormMain::Get();
  tk::Show(form);
  tk::SendToForm(form, tk::kWmSysCommand, tk::kScRestore, 0);
  SettingsStore::Save(SettingsStore::kEnableOnTimeScan, L"0");
  return 0;
}

bool StartedAtLogon() {
  return Text::Lower(Text::Trim(System::CommandArguments())) == ModuleSetAutoRun::kLogonArgument;
}

}  // namespace

bool HandOverToRunningCopy() {
  if (Instance::ClaimFirst(L"Local\\Zorvane.Quorrel2006")) return false;
  if (!StartedAtLogon()) Instance::PostToRunningCopy(FormMain::kCaption, kTrayMessage, 0, tk::kWmLButtonDblClk);
  return true;
}

bool EndsAtLogon() {
  if (!StartedAtLogon()) return false;
  FormMain::InitSettings(L"1");
  return !SettingsStore::IsOn(SettingsStore::kCheckAutoRun);
}

void InstallTrayWindowProc() { PrevWndProc = tk::ReplaceWindowProc(FormMain::Get(), TrayWindowProc); }

// Both removals may run twice: "退出" runs the unload sequence, and unloading the form runs it again.
void RestoreWindowProc() {
  if (!PrevWndProc) return;
  tk::ReplaceWindowProc(FormMain::Get(), PrevWndProc);
  PrevWndProc = nullptr;
}

void AddTrayIcon() {
  tk::Form& form = FormMain::Get();
  TrayIconData.uID = 0;
  TrayIconData.hWnd = form.hwnd;
  TrayIconData.cbSize = NotifyIcon::kRecordSize;
  TrayIconData.hIcon = tk::IconHandle(form);
  TrayIconData.uCallbackMessage = kTrayMessage;
  TrayIconData.uFlags = NotifyIcon::FlagMessage | NotifyIcon::FlagIcon | NotifyIcon::FlagTip;
  FillTip(TrayIconData.szTip);
  NotifyIcon::Notify(NotifyIcon::Add, TrayIconData);  // without an icon the window still hides
}

void DeleteTrayIcon() {
  if (!TrayIconData.hWnd) return;
  NotifyIcon::Notify(NotifyIcon::Delete, TrayIconData);
  TrayIconData = {};
}

intptr_t __stdcall TrayWindowProc(void* hWnd, unsigned uMsg, uintptr_t wParam, intptr_t lParam) {
  if (uMsg == tk::kWmSysCommand && wParam == tk::kScMinimize) return HideToTray(hWnd, uMsg, wParam, lParam);
  if (uMsg == kTrayMessage && lParam == (intptr_t)tk::kWmLButtonDblClk) return ShowFromTray();
  // Whatever brings the window back (a prompt, the report, a second start) ends
  // the monitor's watch: it only listens while the window is away.
  if (tk::IsBeingShown(uMsg, wParam, lParam)) SettingsStore::Save(SettingsStore::kEnableOnTimeScan, L"0");
  return tk::CallPreviousProc(PrevWndProc, hWnd, uMsg, wParam, lParam);
}

}  // namespace ModuleMain
