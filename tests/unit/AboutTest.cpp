// Help, home page and about box: each open request reaches the shell with its
// window, verb and target (through a stand-in opener: there is no browser here),
// and the about box is modal, owned by the main window and closed by its OK image.
#include <gtest/gtest.h>

#include "filescan/QueryPage.h"
#include "frame/FormAbout.h"
#include "frame/FormMain.h"
#include "platform/System.h"
#include "tests/unit/TestSupport.h"

namespace {

using testsupport::Mouse;

const std::wstring kHomePage = L"https://zorvane.example/";

struct Request {
  HWND window;
  std::wstring verb, target;
};
std::vector<Request> g_requests;

void Record(void* window, const std::wstring& verb, const std::wstring& target) {
  g_requests.push_back({(HWND)window, verb, target});
}

// What a test does from inside the about box's modal loop, once the box shows.
std::function<void()> g_inside;
int g_ticksSinceInside = -1;

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
  if (!FormAbout::IsLoaded()) return;
  if (g_inside && IsWindowVisible((HWND)FormAbout::Get().hwnd)) {
    auto inside = std::move(g_inside);
    g_inside = nullptr;
    g_ticksSinceInside = 0;
    inside();
    return;
  }
  // A box the test left open is closed after some seconds, so that the test ends.
  if (g_ticksSinceInside < 0 || ++g_ticksSinceInside < 300) return;
  ADD_FAILURE() << "the about box stayed open";
  tk::Unload(FormAbout::Get());
}

class About : public ::testing::Test {
 protected:
  void SetUp() override {
    testsupport::DeleteTree(HKEY_CURRENT_USER, L"Software\\VB and VBA Program Settings\\57302");
    tk::SetApplicationTitle(L"Zorvane");
    g_requests.clear();
    System::SetOpener(Record);
    tk::Form& form = FormMain::Get();
    tk::Show(form);
    testsupport::Pump();
    main = (HWND)form.hwnd;
  }
  void TearDown() override {
    System::SetOpener(nullptr);
    FormMain::Form_Unload();
    testsupport::Pump();
  }
  void MenuCommand(int id) { SendMessageW(main, WM_COMMAND, MAKEWPARAM(id, 0), 0); }
  // Opens the box by its menu command and runs `inside` from its modal loop;
  // returns once the box is closed.
  void OpenAboutAndRun(std::function<void()> inside) {
    bool ran = false;
    g_inside = [&ran, inside] {
      ran = true;
      inside();
    };
    g_ticksSinceInside = -1;
    UINT_PTR timer = SetTimer(nullptr, 0, 30, Tick);
    MenuCommand(FormMain::MenuAbout);
    KillTimer(nullptr, timer);
    g_inside = nullptr;
    EXPECT_TRUE(ran) << "the about box did not show";
  }
  HWND main = nullptr;
};

TEST_F(About, EachOpenRequestReachesTheShellWithTheMainWindow) {
  struct Case {
    const char* what;
    std::function<void()> trigger;
    std::wstring target;
  } cases[] = {
      {"使用帮助", [&] { MenuCommand(FormMain::MenuHelp); }, testsupport::TestFolder() + L"\\help\\help.htm"},
      {"官方网站", [&] { MenuCommand(FormMain::MenuVisitHomePage); }, kHomePage},
      {"主程序升级", [&] { MenuCommand(FormMain::MenuSoftwareUpdate); }, kHomePage},
      {"Label57302", [] { testsupport::Click(FormMain::Label57302->hwnd); }, kHomePage},
  };
  for (const Case& c : cases) {
    g_requests.clear();
    c.trigger();
    ASSERT_EQ(1u, g_requests.size()) << c.what;
    EXPECT_EQ(main, g_requests[0].window) << c.what;
    EXPECT_EQ(L"open", g_requests[0].verb) << c.what;
    EXPECT_EQ(c.target, g_requests[0].target) << c.what;
  }
  // The main window's link shows the address without its final "/".
  EXPECT_EQ(kHomePage.substr(0, kHomePage.size() - 1), tk::Caption(FormMain::Label57302));
}

TEST_F(About, ModalOwnedByTheMainWindowAndItsLinkLeavesItOpen) {
  HWND box = nullptr, owner = nullptr;
  bool mainEnabled = true, openAfterLink = false;
  OpenAboutAndRun([&] {
    box = (HWND)FormAbout::Get().hwnd;
    owner = GetWindow(box, GW_OWNER);
    mainEnabled = IsWindowEnabled(main);
    testsupport::Click(FormAbout::Label57302->hwnd);
    openAfterLink = FormAbout::IsLoaded() && IsWindowVisible(box);
    Mouse(FormAbout::ImageOK[0]->hwnd, WM_LBUTTONDOWN);
  });
  EXPECT_EQ(main, owner);
  EXPECT_FALSE(mainEnabled);
  ASSERT_EQ(1u, g_requests.size());
  EXPECT_EQ(box, g_requests[0].window);
  EXPECT_EQ(L"open", g_requests[0].verb);
  EXPECT_EQ(kHomePage, g_requests[0].target);
  EXPECT_TRUE(openAfterLink);
  EXPECT_FALSE(FormAbout::IsLoaded());
  // The main window takes input again: it is enabled, active, and a page label answers.
  EXPECT_TRUE(IsWindowEnabled(main));
  EXPECT_EQ(main, GetActiveWindow());
  testsupport::Click(FormMain::LabelKyAsk->hwnd);
  EXPECT_TRUE(tk::Visible(QueryPage::PictureKyAsk));
}

TEST_F(About, AnyMouseButtonOnEitherOkImageClosesIt) {
  struct Case {
    UINT press;
    int image;
  } cases[] = {{WM_LBUTTONDOWN, 0}, {WM_RBUTTONDOWN, 0}, {WM_MBUTTONDOWN, 0}, {WM_LBUTTONDOWN, 1}, {WM_RBUTTONDOWN, 1}};
  for (const Case& c : cases) {
    OpenAboutAndRun([&] {
      // The hover image is the one under the pointer once it has moved onto the button.
      if (c.image == 1) Mouse(FormAbout::ImageOK[0]->hwnd, WM_MOUSEMOVE);
      Mouse(FormAbout::ImageOK[c.image]->hwnd, c.press);
    });
    EXPECT_FALSE(FormAbout::IsLoaded()) << c.press << " on image " << c.image;
    EXPECT_TRUE(IsWindowEnabled(main)) << c.press << " on image " << c.image;
  }
  EXPECT_TRUE(g_requests.empty());
}

TEST_F(About, TextsBannerAndPlacesAsDesigned) {
  tk::Form& box = FormAbout::Get();
  EXPECT_EQ(L"关于", box.caption);
  RECT client = {};
  GetClientRect((HWND)box.hwnd, &client);
  EXPECT_EQ(tk::Twips(5415), client.right);
  EXPECT_EQ(tk::Twips(4185), client.bottom);
  HBITMAP banner = (HBITMAP)LoadImageA(GetModuleHandleA(nullptr), "ABOUT_BANNER", IMAGE_BITMAP, 0, 0, 0);
  BITMAP size = {};
  GetObjectW(banner, sizeof size, &size);
  DeleteObject(banner);
  EXPECT_EQ(362, size.bmWidth);
  EXPECT_EQ(52, size.bmHeight);
  struct Place {
    tk::Control* control;
    std::wstring text;
    int left, top, width, height;  // twips
  } places[] = {
      {FormAbout::LabelIns, L"检测和清除各类已知或未知的木马、蠕虫病毒、恶意程序", 480, 1080, 4500, 240},
      {FormAbout::LabelIns2, L"可清除国内外木马58690余种；蠕虫病毒、恶意程序3600余种，是保护您系统安全的必备软件！",
       360, 1440, 4815, 615},
      {FormAbout::Label57302, kHomePage, 960, 2280, 2160, 240},
      {FormAbout::ImageOK[0], L"确定", 3600, 2880, 1125, 315},
      {FormAbout::ImageOK[1], L"确定", 3600, 2880, 1125, 315},
  };
  for (const Place& p : places) {
    EXPECT_EQ(p.text, tk::Caption(p.control)) << p.control->name;
    RECT rc = {};
    GetClientRect((HWND)p.control->hwnd, &rc);
    EXPECT_EQ(tk::Twips(p.left), tk::Left(p.control)) << p.control->name;
    EXPECT_EQ(tk::Twips(p.top), tk::Top(p.control)) << p.control->name;
    EXPECT_EQ(tk::Twips(p.width), rc.right) << p.control->name;
    EXPECT_EQ(tk::Twips(p.height), rc.bottom) << p.control->name;
  }
  EXPECT_TRUE(tk::Visible(FormAbout::ImageOK[0]));
  EXPECT_FALSE(tk::Visible(FormAbout::ImageOK[1]));
  for (tk::Control* label : {FormAbout::LabelIns, FormAbout::LabelIns2, FormAbout::Label57302}) {
    LOGFONTW font = {};
    GetObjectW((HFONT)SendMessageW((HWND)label->hwnd, WM_GETFONT, 0, 0), sizeof font, &font);
    EXPECT_STREQ(L"宋体", font.lfFaceName) << label->name;
    EXPECT_EQ(12, -font.lfHeight) << label->name;  // 9 pt at the designed 96 dpi
    // A whole line fits, descenders included.
    HDC dc = GetDC((HWND)label->hwnd);
    HGDIOBJ old = SelectObject(dc, (HFONT)label->font);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC((HWND)label->hwnd, dc);
    RECT rc = {};
    GetClientRect((HWND)label->hwnd, &rc);
    EXPECT_LE(metrics.tmHeight, rc.bottom) << label->name;
  }
}

TEST_F(About, LinkAndOkFollowThePointer) {
  FormAbout::Get();
  tk::Control* link = FormAbout::Label57302;
  EXPECT_EQ(0x00FF0000u, link->foreColor);
  EXPECT_FALSE(link->underline);
  Mouse(link->hwnd, WM_MOUSEMOVE);
  EXPECT_EQ(0x000000FFu, link->foreColor);
  EXPECT_TRUE(link->underline);
  Mouse(FormAbout::ImageOK[0]->hwnd, WM_MOUSEMOVE);
  EXPECT_TRUE(tk::Visible(FormAbout::ImageOK[1]));
  EXPECT_FALSE(tk::Visible(FormAbout::ImageOK[0]));
  Mouse(FormAbout::Get().hwnd, WM_MOUSEMOVE, 5, 260);
  EXPECT_EQ(0x00FF0000u, link->foreColor);
  EXPECT_FALSE(link->underline);
  EXPECT_TRUE(tk::Visible(FormAbout::ImageOK[0]));
  EXPECT_FALSE(tk::Visible(FormAbout::ImageOK[1]));
  // The hand shows over the link and the hover image only.
  HCURSOR hand = LoadCursorA(GetModuleHandleA(nullptr), "HAND");
  EXPECT_EQ((void*)hand, link->cursor);
  EXPECT_EQ((void*)hand, FormAbout::ImageOK[1]->cursor);
  EXPECT_EQ(nullptr, FormAbout::ImageOK[0]->cursor);
  EXPECT_EQ(nullptr, FormAbout::LabelIns->cursor);
}

// The program's end (here from inside the box's own modal loop) takes an open box along.
TEST_F(About, ProgramEndUnloadsAnOpenBox) {
  OpenAboutAndRun([] { FormMain::Form_Unload(); });
  EXPECT_FALSE(FormAbout::IsLoaded());
  EXPECT_FALSE(FormMain::IsLoaded());
}

}  // namespace
