#include "frame/FormMain.h"

#include "common/SettingsStore.h"
#include "common/Skin.h"
#include "filescan/QueryPage.h"
#include "filescan/ScanPage.h"
#include "frame/FormAbout.h"
#include "frame/FormConfig.h"
#include "frame/ModuleMain.h"
#include "frame/ModuleSetAutoRun.h"
#include "monitor/ModuleOnTimeScan.h"
#include "platform/System.h"
#include "report/FormReport.h"
#include "syscheck/FormRestore.h"
#include "syscheck/SystemCheck.h"

namespace FormMain {

tk::Control* TimerOnTimeScan;
tk::Control* Label2;
tk::Control* Label57302;
tk::Control* LabelKill;
tk::Control* LabelKyScan;
tk::Control* LabelKyAsk;
tk::Control* ImageKyAsk;
tk::Control* ImageKyScan;
tk::Control* ImageAutoRunOff;
tk::Control* ImageAutoRunOn;
tk::Control* ImageSoundOff;
tk::Control* ImageSoundOn;
tk::Control* ImageWayOff;
tk::Control* ImageWayOn;
tk::Control* ImageOnTimeScanOff;
tk::Control* ImageOnTimeScanOn;
tk::Control* LabelAutoRun;
tk::Control* ImageConfig[3];
tk::Control* LabelSoundAlart;
tk::Control* LabelCWAY;
tk::Control* LabelOnTimeScanState;
tk::Control* LabelVTKVersion;
tk::Control* ImageScan[3];

bool HoverSoundPlayed;

namespace {

tk::Form form;

Skin::Button ScanButton() { return {ImageScan[0], ImageScan[1], ImageScan[2]}; }
Skin::Button ConfigButton() { return {ImageConfig[0], ImageConfig[1], ImageConfig[2]}; }
Skin::Button OkButton() { return {QueryPage::ImageOK[0], QueryPage::ImageOK[1]}; }

// --- pages ---

void ShowPage(bool scanPage, bool askPage) {
  tk::SetVisible(ImageKyScan, scanPage);
  tk::SetVisible(ScanPage::PictureKyScan, scanPage);
  tk::SetVisible(ImageKyAsk, askPage);
  tk::SetVisible(QueryPage::PictureKyAsk, askPage);
}

void LabelKill_Click() { ShowPage(false, false); }
void LabelKyScan_Click() { ShowPage(true, false); }
void LabelKyAsk_Click() { ShowPage(false, true); }

// --- skin feedback ---

void BigButton_MouseMove(const Skin::Button& button) {
  Skin::Hover(button);
  if (HoverSoundPlayed) return;
  System::PlaySoundAsync(System::ProgramFile(L"\\bf.wav"));
  HoverSoundPlayed = true;
}

void ImageScan_MouseMove(const tk::Mouse&) { BigButton_MouseMove(ScanButton()); }
void ImageConfig_MouseMove(const tk::Mouse&) { BigButton_MouseMove(ConfigButton()); }
void Scan_Click() { SystemCheck::RunSystemCheck(form); }
void ImageScan_MouseDown(const tk::Mouse&) {
  Skin::Press(ScanButton());
  Scan_Click();
}
void SysConfig_Click() { FormConfig::ShowModal(form); }
void ImageConfig_MouseDown(const tk::Mouse&) {
  Skin::Press(ConfigButton());
  SysConfig_Click();
}
void Label57302_MouseMove(const tk::Mouse&) { Skin::LinkHover(Label57302); }

void Form_MouseMove(const tk::Mouse&) {
  Skin::Arrange(ScanButton());
  Skin::Arrange(ConfigButton());
  HoverSoundPlayed = false;
  Skin::LinkLeave(Label57302, Skin::kYellow);
  Skin::ShowNormal(OkButton());
}

// --- menu commands ---

void Exit_Click() { Form_Unload(); }

void ViewReport_Click() { FormReport::OpenLogFolder(); }

// The backups of what the checks cleaned, to restore.
void ViewBackups_Click() { FormRestore::ShowModal(form); }

// --- help, home page and about box ---

void Help_Click() { System::OpenDocument(form.hwnd, System::ProgramFile(L"\\help\\help.htm")); }
// "官方网站", "主程序升级" and the link: the update command only shows the home page.
void OpenHomePage() { System::OpenDocument(form.hwnd, kHomePage); }
void About_Click() { FormAbout::ShowModal(form); }

void BuildMenus(tk::Form& f) {
  void* operation = tk::AddMenu(f, L"(&0)操作");
  tk::AddMenuItem(f, operation, MenuScan, L"查杀", Scan_Click);
  tk::AddMenuItem(f, operation, 0, L"-", nullptr);
  tk::AddMenuItem(f, operation, MenuExit, L"退出", Exit_Click);
  void* setting = tk::AddMenu(f, L"(&S)设置");
  tk::AddMenuItem(f, setting, MenuSysConfig, L"系统设置", SysConfig_Click);
  void* view = tk::AddMenu(f, L"(&V)查看");
  tk::AddMenuItem(f, view, MenuViewReport, L"历史记录", ViewReport_Click);
  tk::AddMenuItem(f, view, MenuViewBackups, L"已清除项目", ViewBackups_Click);
  void* update = tk::AddMenu(f, L"(&U)升级");
  tk::AddMenuItem(f, update, MenuSoftwareUpdate, L"主程序升级", OpenHomePage);
  void* help = tk::AddMenu(f, L"(&H)帮助");
  tk::AddMenuItem(f, help, MenuHelp, L"使用帮助", Help_Click);
  tk::AddMenuItem(f, help, MenuVisitHomePage, L"官方网站", OpenHomePage);
  tk::AddMenuItem(f, help, 0, L"-", nullptr);
  tk::AddMenuItem(f, help, MenuAbout, L"关于", About_Click);
}

// --- design: controls in the order the window stores them ---

tk::Control* IndicatorImage(tk::Form& f, const wchar_t* name, const char* bitmap, int x, int y, const wchar_t* tip) {
  tk::Control* image = tk::AddImage(f, nullptr, name, -1, bitmap, x, y);
  tk::SetToolTip(image, tip);
  return image;
}

void DesignIndicators(tk::Form& f) {
  ImageAutoRunOff = IndicatorImage(f, L"ImageAutoRunOff", "LED_OFF", 284, 131, L"已停止");
  ImageAutoRunOn = IndicatorImage(f, L"ImageAutoRunOn", "LED_ON", 264, 131, L"已启动");
  ImageSoundOff = IndicatorImage(f, L"ImageSoundOff", "LED_OFF", 284, 159, L"已停止");
  ImageSoundOn = IndicatorImage(f, L"ImageSoundOn", "LED_ON", 264, 159, L"已启动");
  ImageWayOff = IndicatorImage(f, L"ImageWayOff", "LED_OFF", 284, 187, L"已停止");
  ImageWayOn = IndicatorImage(f, L"ImageWayOn", "LED_ON", 264, 187, L"已启动");
  ImageOnTimeScanOff = IndicatorImage(f, L"ImageOnTimeScanOff", "LED_OFF", 284, 215, L"已停止");
  ImageOnTimeScanOn = IndicatorImage(f, L"ImageOnTimeScanOn", "LED_ON", 264, 215, L"已启动");
}

void DesignBigButton(tk::Form& f, tk::Control* images[3], const wchar_t* name, const wchar_t* action,
                     const char* const bitmaps[3], int left, int top) {
  // Hover and pressed images lie below the window at design time; the load stacks them.
  for (int i = 0; i < 3; i++) {
    images[i] =
        tk::AddImage(f, nullptr, name, i, bitmaps[i], i == 0 ? left : 10 + 160 * (i - 1), i == 0 ? top : 380, action);
    Skin::HandCursor(images[i]);
  }
}

void Design(tk::Form& f) {
  ScanPage::Design(f);
  QueryPage::Design(f);
  TimerOnTimeScan = tk::AddTimer(f, L"TimerOnTimeScan");
  tk::SetTimer(TimerOnTimeScan, ModuleOnTimeScan::kIntervalMs, true);
  Label2 = tk::AddLabel(f, nullptr, L"Label2", L"官方网站：", 24, 345, 64, 16);
  std::wstring address = kHomePage;
  Label57302 = tk::AddLabel(f, nullptr, L"Label57302", address.substr(0, address.size() - 1), 88, 345, 240, 16);
  Label57302->foreColor = Skin::kWhite;
  Label57302->fontName = L"Verdana";
  Label2->foreColor = Skin::kWhite;
  LabelKill = tk::AddLabel(f, nullptr, L"LabelKill", L"查杀病毒木马", 34, 75, 76, 16);
  LabelKyScan = tk::AddLabel(f, nullptr, L"LabelKyScan", L"可疑文件扫描", 146, 75, 76, 16);
  LabelKyAsk = tk::AddLabel(f, nullptr, L"LabelKyAsk", L"可疑文件查询", 258, 75, 76, 16);
  ImageKyAsk = tk::AddImage(f, nullptr, L"ImageKyAsk", -1, "HEADER_ASK", 8, 96);
  ImageKyScan = tk::AddImage(f, nullptr, L"ImageKyScan", -1, "HEADER_SCAN", 8, 96);
  DesignIndicators(f);
  LabelAutoRun = tk::AddLabel(f, nullptr, L"LabelAutoRun", L"开机自启动：......................", 32, 132, 228, 16);
  static const char* const configBitmaps[3] = {"CONFIG_0", "CONFIG_1", "CONFIG_2"};
  DesignBigButton(f, ImageConfig, L"ImageConfig", L"系统设置", configBitmaps, tk::Twips(5760), tk::Twips(3120));
  LabelSoundAlart =
      tk::AddLabel(f, nullptr, L"LabelSoundAlart", L"声音报警：........................", 32, 160, 228, 16);
  LabelCWAY = tk::AddLabel(f, nullptr, L"LabelCWAY", L"发现病毒木马后询问处理：..........", 32, 188, 228, 16);
  LabelOnTimeScanState =
      tk::AddLabel(f, nullptr, L"LabelOnTimeScanState", L"实时监控状态：....................", 32, 216, 228, 16);
  LabelVTKVersion = tk::AddLabel(f, nullptr, L"LabelVTKVersion", L"病毒库日期：", 32, 260, 280, 16);
  static const char* const scanBitmaps[3] = {"SCAN_0", "SCAN_1", "SCAN_2"};
  DesignBigButton(f, ImageScan, L"ImageScan", L"开始查杀", scanBitmaps, tk::Twips(5760), tk::Twips(1800));
  BuildMenus(f);

  for (tk::Control* c : {ScanPage::LabelTargetToScan, Label57302, LabelKill, LabelKyScan, LabelKyAsk})
    Skin::HandCursor(c);
  LabelKill->Click = LabelKill_Click;
  LabelKyScan->Click = LabelKyScan_Click;
  LabelKyAsk->Click = LabelKyAsk_Click;
  Label57302->MouseMove = Label57302_MouseMove;
  Label57302->Click = OpenHomePage;
  for (tk::Control* image : ImageScan) {
    image->MouseMove = ImageScan_MouseMove;
    image->MouseDown = ImageScan_MouseDown;
  }
  for (tk::Control* image : ImageConfig) {
    image->MouseMove = ImageConfig_MouseMove;
    image->MouseDown = ImageConfig_MouseDown;
  }
  TimerOnTimeScan->Timer = ModuleOnTimeScan::TimerOnTimeScan_Timer;
}

// Shows one image of an indicator pair and puts the off image where the on image is.
void SetIndicator(tk::Control* on, tk::Control* off, bool isOn) {
  tk::SetVisible(on, isOn);
  tk::SetVisible(off, !isOn);
  tk::Move(off, tk::Left(on), tk::Top(off));
}

void Form_Load() {
  tk::SetPicture(form, System::ProgramFile(L"\\sk.bmp"));
  tk::SetVisible(ImageKyAsk, false);
  tk::SetVisible(ImageKyScan, false);
  tk::SetVisible(QueryPage::PictureKyAsk, false);
  tk::Move(ScanPage::PictureKyScan, tk::Left(QueryPage::PictureKyAsk), tk::Top(QueryPage::PictureKyAsk));
  tk::SetVisible(ScanPage::PictureKyScan, false);
  HoverSoundPlayed = false;
  InitSettings();
  LoadScrrenInfo();
  Skin::Arrange(ScanButton());
  Skin::Arrange(ConfigButton());
  Skin::Arrange(OkButton());
  ModuleMain::InstallTrayWindowProc();
  ModuleMain::AddTrayIcon();
  SettingsStore::Save(SettingsStore::kEnableOnTimeScan, L"0");
  tk::SetCaption(LabelVTKVersion, tk::Caption(LabelVTKVersion) + System::TodayShortDate());
  ModuleSetAutoRun::SetAutoRun();
  Skin::ApplyDefaultFont(form);
}

}  // namespace

tk::Form& Get() {
  if (form.Design) {
    tk::Load(form);
    return form;
  }
  form.name = L"FormMain";
  form.caption = kCaption;
  form.width = 574;
  form.height = 368;
  form.background = "BG";
  form.icon = "APPICON";
  form.minimizeBox = true;
  form.Design = Design;
  form.Load = Form_Load;
  form.Unload = Form_Unload;
  form.MouseMove = Form_MouseMove;
  tk::Load(form);
  return form;
}

bool IsLoaded() { return form.loaded; }

void InitSettings(const wchar_t* autoRun) {
  using namespace SettingsStore;
  if (IsOn(kInited)) return;
  static const wchar_t* const defaults[][2] = {
      {kCheckOnTimeScan, L"1"},
      {kCheckAutoRun, autoRun},
      {kCheckSoundAlart, L"1"},
      {kCheckShowReportAfterScan, L"1"},
      {kCheckAutoDetectNewVersion, L"0"},
      {kCheckAutoDetectNewDB, L"0"},
      {kInited, L"1"},
  };
  // A failed save stops the seeding; Inited is written last, so the next start seeds again.
  for (auto& entry : defaults)
    if (!SettingsStore::Save(entry[0], entry[1])) return;
}

void LoadScrrenInfo() {
  using namespace SettingsStore;
  if (!IsOn(kInited)) return;
  SetIndicator(ImageOnTimeScanOn, ImageOnTimeScanOff, IsOn(kCheckOnTimeScan));
  SetIndicator(ImageAutoRunOn, ImageAutoRunOff, IsOn(kCheckAutoRun));
  SetIndicator(ImageSoundOn, ImageSoundOff, IsOn(kCheckSoundAlart));
  SetIndicator(ImageWayOn, ImageWayOff, true);
}

void Form_Unload() {
  // Each step runs whatever the previous one did; unloading a form not loaded does nothing.
  // The icon goes first, while its window still exists, however the program ends.
  ModuleMain::DeleteTrayIcon();
  ModuleMain::RestoreWindowProc();
  ScanPage::Abandon();
  tk::EndProgram();  // every loaded window, this one included
}

}  // namespace FormMain
