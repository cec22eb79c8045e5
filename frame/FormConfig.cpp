#include "frame/FormConfig.h"

#include <cwchar>
#include <iterator>
#include <string>

#include "common/SettingsStore.h"
#include "common/Skin.h"
#include "frame/FormMain.h"
#include "frame/ModuleSetAutoRun.h"
#include "platform/System.h"

namespace FormConfig {

tk::Control* Label2;
tk::Control* CheckOnTimeScan;
tk::Control* CheckAutoRun;
tk::Control* CheckSoundAlart;
tk::Control* Label1;
tk::Control* CheckSelectWay;
tk::Control* CheckShowReportAfterScan;
tk::Control* Label3;
tk::Control* CheckAutoDetectNewVersion;
tk::Control* CheckAutoDetectNewDB;
tk::Control* CommandOK;
tk::Control* CommandCancel;

namespace {

tk::Form form;

// The stored options in the order they are read and written; CheckSelectWay has no key.
struct Option {
  tk::Control** box;
  const wchar_t* key;
};
const Option kOptions[] = {
    {&CheckOnTimeScan, SettingsStore::kCheckOnTimeScan},
    {&CheckAutoRun, SettingsStore::kCheckAutoRun},
    {&CheckSoundAlart, SettingsStore::kCheckSoundAlart},
    {&CheckShowReportAfterScan, SettingsStore::kCheckShowReportAfterScan},
    {&CheckAutoDetectNewVersion, SettingsStore::kCheckAutoDetectNewVersion},
    {&CheckAutoDetectNewDB, SettingsStore::kCheckAutoDetectNewDB},
};
constexpr size_t kOptionCount = std::size(kOptions);

// Until the store has been seeded the boxes keep the states they were designed with.
void LoadOptions() {
  if (!SettingsStore::IsOn(SettingsStore::kInited)) return;
  for (const Option& option : kOptions) tk::SetValue(*option.box, SettingsStore::IsOn(option.key));
}

// Writes every option in order and stops at the first one the store refuses, so
// the options from there on keep their stored values. Returns how many were written.
size_t SaveOptions(unsigned long* error) {
  size_t saved = 0;
  while (saved < kOptionCount &&
         SettingsStore::Save(kOptions[saved].key, tk::Value(*kOptions[saved].box) ? L"1" : L"0", error))
    saved++;
  return saved;
}

std::wstring Captions(size_t from, size_t to) {
  std::wstring list;
  for (size_t i = from; i < to; i++) list += L"\r\n    " + tk::Caption(*kOptions[i].box);
  return list;
}

// Says exactly what the store now holds: nothing changed, or which options were written.
std::wstring SaveFailure(size_t saved, unsigned long error) {
  std::wstring text = L"设置保存失败（错误 " + std::to_wstring(error) + L"）。";
  if (saved == 0) return text + L"设置未作任何更改。";
  return text + L"\r\n已保存：" + Captions(0, saved) + L"\r\n未保存：" + Captions(saved, kOptionCount);
}

// The system's words and its code: an HRESULT in hex, as the system's documentation lists them.
std::wstring AutoRunFailure(const ModuleSetAutoRun::Result& result) {
  wchar_t code[16] = {};
  swprintf(code, 16, result.code & 0x80000000 ? L"0x%08lX" : L"%lu", result.code);
  const wchar_t* what =
      result.what == ModuleSetAutoRun::Failed::Setting ? L"无法设置开机自启动：" : L"无法取消开机自启动：";
  return what + System::ErrorText(result.code) + L"（错误 " + code + L"）";
}

void CommandOK_Click() {
  unsigned long error = 0;
  size_t saved = SaveOptions(&error);
  FormMain::LoadScrrenInfo();  // the indicators show what the store holds, whatever was written
  // The start-with-Windows entry follows the stored option at once.
  ModuleSetAutoRun::Result autoRun = ModuleSetAutoRun::SetAutoRun();
  if (saved < kOptionCount) {
    tk::MsgBox(form, SaveFailure(saved, error), tk::Icon::Error);
    return;  // the dialog stays open: the user may try again or cancel
  }
  if (autoRun.what != ModuleSetAutoRun::Failed::Nothing) tk::MsgBox(form, AutoRunFailure(autoRun), tk::Icon::Error);
  tk::Unload(form);
}

void CommandCancel_Click() { tk::Unload(form); }

// Asking on every detection is always on: a press never clears the box.
void CheckSelectWay_Press() {
  tk::SetValue(CheckSelectWay, true);
  tk::MsgBox(form, kSelectWayMessage, tk::Icon::Information);
}

void CheckSelectWay_MouseDown(const tk::Mouse&) { CheckSelectWay_Press(); }

tk::Control* Heading(tk::Form& f, const wchar_t* name, const wchar_t* caption, int top) {
  return tk::AddLabel(f, nullptr, name, caption, tk::Twips(480), tk::Twips(top), 160, 16);
}

tk::Control* Box(tk::Form& f, const wchar_t* name, const wchar_t* caption, int top, bool checked) {
  tk::Control* box = tk::AddCheck(f, nullptr, name, caption, tk::Twips(840), tk::Twips(top), 400, 18);
  tk::SetValue(box, checked);
  return box;
}

void Design(tk::Form& f) {
  Label2 = Heading(f, L"Label2", L"常规设置", 360);
  CheckOnTimeScan = Box(f, L"CheckOnTimeScan", L"软件后台运行时启用实时监控(推荐)", 720, true);
  CheckAutoRun = Box(f, L"CheckAutoRun", L"系统启动时自动运行", 1080, true);
  CheckSoundAlart = Box(f, L"CheckSoundAlart", L"启用实时监控报警声音", 1440, true);
  Label1 = Heading(f, L"Label1", L"扫描选项", 1920);
  CheckSelectWay = Box(f, L"CheckSelectWay", L"发现病毒木马时提示用户选择处理方式(推荐)", 2280, true);
  CheckShowReportAfterScan = Box(f, L"CheckShowReportAfterScan", L"扫描完成后生成详细扫描报告", 2640, true);
  Label3 = Heading(f, L"Label3", L"升级选项", 3360);
  CheckAutoDetectNewVersion = Box(f, L"CheckAutoDetectNewVersion", L"自动检测软件最新版本", 3720, false);
  CheckAutoDetectNewDB = Box(f, L"CheckAutoDetectNewDB", L"自动检测病毒库", 4080, false);
  const int width = tk::Twips(1095), height = tk::Twips(375);
  CommandOK = tk::AddButton(f, nullptr, L"CommandOK", L"确定", tk::Twips(3960), tk::Twips(5040), width, height);
  CommandCancel = tk::AddButton(f, nullptr, L"CommandCancel", L"取消", tk::Twips(5280), tk::Twips(5040), width, height);
  CheckSelectWay->MouseDown = CheckSelectWay_MouseDown;
  CheckSelectWay->Click = CheckSelectWay_Press;  // the space bar
  CommandOK->Click = CommandOK_Click;
  CommandCancel->Click = CommandCancel_Click;
}

void Form_Load() {
  LoadOptions();
  Skin::ApplyDefaultFont(form);
}

}  // namespace

tk::Form& Get() {
  if (!form.Design) {
    form.name = L"FormConfig";
    form.caption = L"设置";
    form.width = tk::Twips(7065);
    form.height = tk::Twips(5760);
    form.backColor = Skin::kDialogBack;
    form.icon = "APPICON";
    form.Design = Design;
    form.Load = Form_Load;
  }
  tk::Load(form);
  return form;
}

bool IsLoaded() { return form.loaded; }

void ShowModal(tk::Form& owner) { tk::ShowModal(Get(), &owner); }

}  // namespace FormConfig
