#include "syscheck/FormScanIng.h"

#include "common/Skin.h"
#include "platform/System.h"

namespace FormScanIng {

tk::Control* LabelInfo;
tk::Control* TimerAutoUnload;

namespace {

tk::Form form;
tk::Form* Owner;  // repainted at each step, never loaded from here
bool SequenceStarted;

struct Step {
  const wchar_t* caption;
  unsigned long pauseMs;
};

const Step kSteps[] = {
    {L"正在扫描内存....10%", 500},         {L"正在注册表启动项....30%", 500},
    {L"正在扫描系统文件关联....50%", 500}, {L"正在扫描系当前用户Shell....55%", 500},
    {L"正在扫描BHO....60%", 500},          {L"正在扫描其它系统项目....70%", 300},
    {L"正在扫描其它系统项目....72%", 500}, {L"正在扫描其它系统项目....90%", 500},
    {L"正在扫描其它系统项目....99%", 500},
};

void TimerAutoUnload_Timer() {
  // The timer keeps ticking during the pauses' message processing: one sequence only.
  if (SequenceStarted) return;
  SequenceStarted = true;
  tk::DoEvents();
  for (size_t i = 0; i < sizeof kSteps / sizeof kSteps[0]; i++) {
    if (!form.loaded) return;
    tk::SetCaption(LabelInfo, kSteps[i].caption);
    if (Owner) tk::RefreshForm(*Owner);
    if (i >= 5) tk::Refresh(LabelInfo);
    System::SleepMs(kSteps[i].pauseMs);
    tk::DoEvents();
  }
  tk::Unload(form);
}

void Design(tk::Form& f) {
  LabelInfo = tk::AddLabel(f, nullptr, L"LabelInfo", L"扫描系统正在初始化,请稍候...", 20, 28, 260, 18);
  TimerAutoUnload = tk::AddTimer(f, L"TimerAutoUnload");
  TimerAutoUnload->Timer = TimerAutoUnload_Timer;
}

// The sequence is not to be cut short; the program's end still unloads the window.
bool Form_QueryUnload() { return true; }

void Form_Load() {
  SequenceStarted = false;
  tk::SetTimer(TimerAutoUnload, 1000, true);
  Skin::ApplyDefaultFont(form);
}

}  // namespace

tk::Form& Get() {
  if (!form.Design) {
    form.name = L"FormScanIng";
    form.width = 300;
    form.height = 72;
    form.titleBar = false;
    form.toolWindow = true;
    form.backColor = Skin::kDialogBack;
    form.Design = Design;
    form.Load = Form_Load;
    form.QueryUnload = Form_QueryUnload;
  }
  tk::Load(form);
  return form;
}

void ShowModal(tk::Form& owner) {
  Owner = &owner;
  tk::ShowModal(Get(), &owner);
}

}  // namespace FormScanIng
