// The main window: three pages, status indicators, menus, skin and shutdown.
#pragma once
#include "platform/Toolkit.h"

namespace FormMain {

// Menu command ids, stable so that automation can send them.
enum MenuId {
  MenuScan = 101,
  MenuExit = 102,
  MenuSysConfig = 201,
  MenuViewReport = 301,
  MenuViewBackups = 302,
  MenuSoftwareUpdate = 401,
  MenuHelp = 501,
  MenuVisitHomePage = 502,
  MenuAbout = 503,
};

constexpr wchar_t kCaption[] = L"Zorvane v3.3";
constexpr wchar_t kHomePage[] = L"https://zorvane.example/";

// The form, loaded on first reference.
tk::Form& Get();
bool IsLoaded();

// Seeds the options at the first start; `autoRun` is CheckAutoRun's seed ("1" when
// a logon task deployed for every user started the program).
void InitSettings(const wchar_t* autoRun = L"0");
void LoadScrrenInfo();
// The shutdown sequence, also run by the "退出" command: it ends the program.
void Form_Unload();

// Controls other windows and modules use; the scan and query pages' are their own.
extern tk::Control* TimerOnTimeScan;
extern tk::Control* Label57302;
extern tk::Control* LabelKill;
extern tk::Control* LabelKyScan;
extern tk::Control* LabelKyAsk;
extern tk::Control* ImageKyAsk;
extern tk::Control* ImageKyScan;
extern tk::Control* ImageAutoRunOff;
extern tk::Control* ImageAutoRunOn;
extern tk::Control* ImageSoundOff;
extern tk::Control* ImageSoundOn;
extern tk::Control* ImageWayOff;
extern tk::Control* ImageWayOn;
extern tk::Control* ImageOnTimeScanOff;
extern tk::Control* ImageOnTimeScanOn;
extern tk::Control* ImageConfig[3];
extern tk::Control* LabelVTKVersion;
extern tk::Control* ImageScan[3];

// True once the pointer's approach to a big button has played the sound.
extern bool HoverSoundPlayed;

}  // namespace FormMain
