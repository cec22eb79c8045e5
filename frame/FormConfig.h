// The settings dialog "设置": one check box per option, loaded from the settings
// store when it opens and written back only on OK.
#pragma once
#include "platform/Toolkit.h"

namespace FormConfig {

// Loads a fresh dialog and shows it modally over `owner`; returns once it is unloaded.
void ShowModal(tk::Form& owner);
// The form, loaded (not shown) on first reference.
tk::Form& Get();
bool IsLoaded();

constexpr wchar_t kSelectWayMessage[] = L"为了确保您的系统安全，请务修改本设置项!";

extern tk::Control* Label2;
extern tk::Control* CheckOnTimeScan;
extern tk::Control* CheckAutoRun;
extern tk::Control* CheckSoundAlart;
extern tk::Control* Label1;
extern tk::Control* CheckSelectWay;
extern tk::Control* CheckShowReportAfterScan;
extern tk::Control* Label3;
extern tk::Control* CheckAutoDetectNewVersion;
extern tk::Control* CheckAutoDetectNewDB;
extern tk::Control* CommandOK;
extern tk::Control* CommandCancel;

}  // namespace FormConfig
