#include <gtest/gtest.h>

#include "common/SettingsStore.h"
#include "filescan/QueryPage.h"
#include "filescan/ScanPage.h"
#include "frame/FormMain.h"
#include "frame/ModuleMain.h"
#include "platform/System.h"
#include "tests/unit/TestSupport.h"

namespace {

using testsupport::Mouse;

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::DeleteTree(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\57302");
    tk::SetApplicationTitle(L"Zorvane");
  }
  void TearDown() override {
    FormMain::Form_Unload();
    testsupport::Pump();
  }
  tk::Form& Open() {
    tk::Form& form = FormMain::Get();
    tk::Show(form);
    testsupport::Pump();
    return form;
  }
};

TEST_F(MainWindow, OpensOnTheSystemCheckPage) {
  tk::Form& form = Open();
  EXPECT_EQ(L"Zorvane v3.3", form.caption);
  EXPECT_FALSE(tk::Visible(ScanPage::PictureKyScan));
  EXPECT_FALSE(tk::Visible(QueryPage::PictureKyAsk));
  EXPECT_FALSE(tk::Visible(FormMain::ImageKyScan));
  EXPECT_FALSE(tk::Visible(FormMain::ImageKyAsk));
  EXPECT_TRUE(tk::Visible(FormMain::ImageScan[0]));
  // The scan panel was moved onto the query panel's place.
  EXPECT_EQ(tk::Left(QueryPage::PictureKyAsk), tk::Left(ScanPage::PictureKyScan));
  EXPECT_EQ(tk::Top(QueryPage::PictureKyAsk), tk::Top(ScanPage::PictureKyScan));
}

TEST_F(MainWindow, PageLabelsSwitchExactlyTheFourControls) {
  Open();
  struct Step {
    tk::Control* label;
    bool scan, ask;
  } steps[] = {{FormMain::LabelKyScan, true, false},
               {FormMain::LabelKyAsk, false, true},
               {FormMain::LabelKill, false, false},
               {FormMain::LabelKyAsk, false, true}};
  for (const Step& s : steps) {
    testsupport::Click(s.label->hwnd);
    EXPECT_EQ(s.scan, tk::Visible(ScanPage::PictureKyScan)) << tk::Caption(s.label).size();
    EXPECT_EQ(s.scan, tk::Visible(FormMain::ImageKyScan));
    EXPECT_EQ(s.ask, tk::Visible(QueryPage::PictureKyAsk));
    EXPECT_EQ(s.ask, tk::Visible(FormMain::ImageKyAsk));
    // System-check controls keep their own flags; the panels cover them.
    EXPECT_TRUE(tk::Visible(FormMain::ImageScan[0]));
    EXPECT_TRUE(tk::Visible(FormMain::LabelVTKVersion));
  }
}

TEST_F(MainWindow, IndicatorsFollowTheStore) {
  struct Case {
    const wchar_t* onTimeScan;
    const wchar_t* autoRun;
    const wchar_t* sound;
  } cases[] = {{L"1", L"0", L"1"}, {L"0", L"1", L"0"}, {L"abc", L"", L"01"}};
  for (const Case& c : cases) {
    SettingsStore::Save(L"Inited", L"1");
    SettingsStore::Save(L"CheckOnTimeScan", c.onTimeScan);
    SettingsStore::Save(L"CheckAutoRun", c.autoRun);
    SettingsStore::Save(L"CheckSoundAlart", c.sound);
    Open();
    auto expectPair = [](tk::Control* on, tk::Control* off, bool isOn) {
      EXPECT_EQ(isOn, tk::Visible(on)) << on->name;
      EXPECT_EQ(!isOn, tk::Visible(off)) << off->name;
      EXPECT_EQ(tk::Left(on), tk::Left(off)) << off->name;
    };
    expectPair(FormMain::ImageOnTimeScanOn, FormMain::ImageOnTimeScanOff, SettingsStore::IsOn(L"CheckOnTimeScan"));
    expectPair(FormMain::ImageAutoRunOn, FormMain::ImageAutoRunOff, SettingsStore::IsOn(L"CheckAutoRun"));
    expectPair(FormMain::ImageSoundOn, FormMain::ImageSoundOff, SettingsStore::IsOn(L"CheckSoundAlart"));
    expectPair(FormMain::ImageWayOn, FormMain::ImageWayOff, true);
    FormMain::Form_Unload();
    testsupport::Pump();
  }
}

TEST_F(MainWindow, FirstStartShowsTheSeededIndicators) {
  Open();
  EXPECT_TRUE(tk::Visible(FormMain::ImageOnTimeScanOn));
  EXPECT_TRUE(tk::Visible(FormMain::ImageAutoRunOff));
  EXPECT_TRUE(tk::Visible(FormMain::ImageSoundOn));
  EXPECT_TRUE(tk::Visible(FormMain::ImageWayOn));
  EXPECT_EQ(L"0", SettingsStore::Get(L"EnableOnTimeScan"));
}

TEST_F(MainWindow, DateLabelShowsToday) {
  Open();
  EXPECT_EQ(L"病毒库日期：" + System::TodayShortDate(), tk::Caption(FormMain::LabelVTKVersion));
  EXPECT_NE(std::wstring::npos, System::TodayShortDate().find(L'/'));
}

TEST_F(MainWindow, EveryControlWithTextGetsSongTiNinePoints) {
  tk::Form& form = Open();
  const int ninePoints = 12;  // at the 96 dpi the layout is designed at, whatever the screen's
  int checked = 0;
  for (auto& c : form.controls) {
    if (c->kind == tk::Kind::Image || c->kind == tk::Kind::Picture || c->kind == tk::Kind::Timer) continue;
    HFONT font = (HFONT)SendMessageW((HWND)c->hwnd, WM_GETFONT, 0, 0);
    ASSERT_NE(nullptr, font) << c->name;
    LOGFONTW info = {};
    GetObjectW(font, sizeof info, &info);
    EXPECT_STREQ(L"宋体", info.lfFaceName) << c->name;
    EXPECT_EQ(ninePoints, -info.lfHeight) << c->name;
    checked++;
  }
  EXPECT_GE(checked, 15);
}

// Image buttons are named by what they do; only their pictures show.
TEST_F(MainWindow, ImageButtonsCarryTheirActions) {
  Open();
  for (tk::Control* image : FormMain::ImageScan) EXPECT_EQ(L"开始查杀", tk::Caption(image));
  for (tk::Control* image : FormMain::ImageConfig) EXPECT_EQ(L"系统设置", tk::Caption(image));
  for (tk::Control* image : QueryPage::ImageOK) EXPECT_EQ(L"查询", tk::Caption(image));
  EXPECT_EQ(L"", tk::Caption(FormMain::ImageKyScan));  // a header, not a button
}

TEST_F(MainWindow, BigButtonHoverPlaysTheSoundOncePerApproach) {
  testsupport::SoundLog sounds;
  Open();
  auto& scan = FormMain::ImageScan;
  auto& config = FormMain::ImageConfig;
  Mouse(scan[0]->hwnd, WM_MOUSEMOVE);
  EXPECT_FALSE(tk::Visible(scan[0]));
  EXPECT_TRUE(tk::Visible(scan[1]));
  EXPECT_FALSE(tk::Visible(scan[2]));
  Mouse(scan[1]->hwnd, WM_MOUSEMOVE);
  ASSERT_EQ(1u, sounds.played.size());
  EXPECT_EQ(System::ProgramFolder() + L"\\bf.wav", sounds.played[0]);
  // Straight over to the other big button: hover image, no sound.
  Mouse(config[0]->hwnd, WM_MOUSEMOVE);
  EXPECT_TRUE(tk::Visible(config[1]));
  EXPECT_EQ(1u, sounds.played.size());
  // Crossing the background restores both and re-arms the sound.
  Mouse(FormMain::Get().hwnd, WM_MOUSEMOVE, 5, 5);
  for (auto* button : {&scan, &config}) {
    EXPECT_TRUE(tk::Visible((*button)[0]));
    EXPECT_FALSE(tk::Visible((*button)[1]));
    EXPECT_FALSE(tk::Visible((*button)[2]));
    EXPECT_EQ(tk::Left((*button)[0]), tk::Left((*button)[2]));
    EXPECT_EQ(tk::Top((*button)[0]), tk::Top((*button)[2]));
  }
  Mouse(config[0]->hwnd, WM_MOUSEMOVE);
  EXPECT_EQ(2u, sounds.played.size());
}

TEST_F(MainWindow, QueryButtonHoverStaysOverThePanel) {
  Open();
  testsupport::Click(FormMain::LabelKyAsk->hwnd);
  Mouse(QueryPage::ImageOK[0]->hwnd, WM_MOUSEMOVE);
  EXPECT_TRUE(tk::Visible(QueryPage::ImageOK[1]));
  EXPECT_FALSE(tk::Visible(QueryPage::ImageOK[0]));
  Mouse(QueryPage::PictureKyAsk->hwnd, WM_MOUSEMOVE);
  EXPECT_TRUE(tk::Visible(QueryPage::ImageOK[1]));
  Mouse(FormMain::Get().hwnd, WM_MOUSEMOVE, 5, 5);
  EXPECT_TRUE(tk::Visible(QueryPage::ImageOK[0]));
  EXPECT_FALSE(tk::Visible(QueryPage::ImageOK[1]));
}

TEST_F(MainWindow, LinkLabelWhiteThenRedUnderlinedThenYellow) {
  FormMain::Get();  // before the pointer can have crossed the window
  tk::Control* link = FormMain::Label57302;
  EXPECT_EQ(0x00FFFFFFu, link->foreColor);
  Open();
  EXPECT_EQ(L"https://zorvane.example", tk::Caption(link));
  Mouse(link->hwnd, WM_MOUSEMOVE);
  EXPECT_EQ(0x000000FFu, link->foreColor);
  EXPECT_TRUE(link->underline);
  Mouse(FormMain::Get().hwnd, WM_MOUSEMOVE, 5, 5);
  EXPECT_EQ(0x0000FFFFu, link->foreColor);
  EXPECT_FALSE(link->underline);
}

TEST_F(MainWindow, HandCursorOnLinksAndBigButtonsOnly) {
  Open();
  HCURSOR hand = LoadCursorA(GetModuleHandleA(nullptr), "HAND");
  ASSERT_NE(nullptr, hand);
  ICONINFO info = {};
  ASSERT_TRUE(GetIconInfo(hand, &info));
  EXPECT_EQ(10u, info.xHotspot);
  EXPECT_EQ(10u, info.yHotspot);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  for (tk::Control* c : {ScanPage::LabelTargetToScan, FormMain::Label57302, FormMain::LabelKill, FormMain::LabelKyScan,
                         FormMain::LabelKyAsk, FormMain::ImageScan[2], FormMain::ImageConfig[1]})
    EXPECT_EQ((void*)hand, c->cursor) << c->name;
  for (tk::Control* c : {QueryPage::ImageOK[0], FormMain::LabelVTKVersion, FormMain::ImageWayOn})
    EXPECT_EQ(nullptr, c->cursor) << c->name;
}

// The main window's procedure is replaced through the ANSI call, which makes the
// window itself an ANSI window; its children stay Unicode and keep every character.
TEST_F(MainWindow, ReplacedProcedureKeepsCaptionAndChildTextsExact) {
  tk::Form& form = Open();
  HWND main = (HWND)form.hwnd;
  ASSERT_EQ((LONG_PTR)ModuleMain::TrayWindowProc, GetWindowLongPtrA(main, GWLP_WNDPROC));
  wchar_t caption[128] = {};
  GetWindowTextW(main, caption, 128);
  EXPECT_EQ(form.caption, caption);
  const std::wstring path = L"C:\\WINDOWS\\upd\u0905.exe";
  tk::SetCaption(ScanPage::LabelTarget, path);
  EXPECT_EQ(path, tk::Caption(ScanPage::LabelTarget));
  wchar_t text[128] = {};
  SendMessageW((HWND)ScanPage::LabelTarget->hwnd, WM_GETTEXT, 128, (LPARAM)text);
  EXPECT_EQ(path, text);
  tk::AppendText(ScanPage::TextIATResult, L" 可疑文件：" + path + L"\r\n");
  tk::AppendText(ScanPage::TextIATResult, L"hook\u00AA.dll\r\n");
  EXPECT_EQ(L" 可疑文件：" + path + L"\r\nhook\u00AA.dll\r\n", tk::Caption(ScanPage::TextIATResult));
}

TEST_F(MainWindow, ControlsAreRealWindowsInTheStoredOrder) {
  tk::Form& form = Open();
  // The folder queue is a plain list in the scan module, not a control.
  const wchar_t* const order[] = {L"PictureKyScan", L"CommandSelectFolder", L"CommandScan",     L"CommandStopScan",
                                  L"TextIATResult", L"LabelTarget",         L"LabelScanState",  L"LabelTargetToScan",
                                  L"PictureKyAsk",  L"TextKyFile",          L"ImageOK",         L"ImageOK",
                                  L"Label1",        L"CommandBrowse",       L"TimerOnTimeScan", L"Label2",
                                  L"Label57302",    L"LabelKill",           L"LabelKyScan",     L"LabelKyAsk",
                                  L"ImageKyAsk",    L"ImageKyScan"};
  ASSERT_GE(form.controls.size(), std::size(order));
  for (size_t i = 0; i < std::size(order); i++) {
    EXPECT_EQ(order[i], form.controls[i]->name) << i;
    EXPECT_TRUE(IsWindow((HWND)form.controls[i]->hwnd)) << i;
  }
  EXPECT_EQ(L"ImageScan", form.controls.back()->name);
  EXPECT_EQ(L"扫描状态：未进行扫描。", tk::Caption(ScanPage::LabelScanState));
  // Twips positions of the big buttons: 5760,1800 and 5760,3120.
  EXPECT_EQ(384, tk::Left(FormMain::ImageScan[0]));
  EXPECT_EQ(120, tk::Top(FormMain::ImageScan[0]));
  EXPECT_EQ(208, tk::Top(FormMain::ImageConfig[0]));
}

}  // namespace
