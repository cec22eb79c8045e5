#include "filescan/QueryPage.h"

#include "common/Skin.h"
#include "filescan/ModuleScanDisk.h"
#include "platform/Files.h"
#include "platform/System.h"

namespace QueryPage {

tk::Control* PictureKyAsk;
tk::Control* TextKyFile;
tk::Control* ImageOK[2];
tk::Control* Label1;
tk::Control* CommandBrowse;

namespace {

tk::Form* Page;  // the form the panel lies on

constexpr unsigned long kFileNotFound = 2;
constexpr unsigned long kPathNotFound = 3;

void Tell(const std::wstring& text, tk::Icon icon) { tk::MsgBox(*Page, text, icon); }

// "（错误 N）" as the other windows give the code, after the system's own words.
std::wstring Reason(unsigned long error) {
  return System::ErrorText(error) + L"（错误 " + std::to_wstring(error) + L"）";
}

void TellUnreadable(const std::wstring& path, unsigned long error) {
  if (error == Files::kNotAFile) {
    Tell(L"不是文件（设备或管道），无法查询：" + path, tk::Icon::Error);
    return;
  }
  bool missing = error == kFileNotFound || error == kPathNotFound;
  Tell((missing ? L"找不到文件：" : L"无法读取文件：") + path + L"\r\n" + Reason(error), tk::Icon::Error);
}

void ImageOK_MouseMove(const tk::Mouse&) { Skin::Hover({ImageOK[0], ImageOK[1]}); }

}  // namespace

void Design(tk::Form& form) {
  Page = &form;
  PictureKyAsk = tk::AddPicture(form, L"PictureKyAsk", "PANEL_ASK", 8, 122, 558, 214);
  TextKyFile = tk::AddText(form, PictureKyAsk, L"TextKyFile", 84, 88, 192, 21, tk::TextLines::One);
  ImageOK[0] = tk::AddImage(form, PictureKyAsk, L"ImageOK", 0, "QUERY_0", tk::Twips(5280), tk::Twips(1320), L"查询");
  ImageOK[1] = tk::AddImage(form, PictureKyAsk, L"ImageOK", 1, "QUERY_1", 352, 150, L"查询");
  Label1 = tk::AddLabel(form, PictureKyAsk, L"Label1", L"文件名：", 24, 92, 60, 16);
  CommandBrowse = tk::AddButton(form, PictureKyAsk, L"CommandBrowse", L"浏览...", 280, 88, 60, 21);
  for (tk::Control* image : ImageOK) {
    image->MouseDown = ImageOK_MouseDown;
    image->MouseMove = ImageOK_MouseMove;
  }
  CommandBrowse->Click = CommandBrowse_Click;
  PictureKyAsk->FilesDropped = PictureKyAsk_FilesDropped;
  tk::AcceptFiles(PictureKyAsk);
}

std::wstring FileName(const std::wstring& field) {
  const wchar_t kAround[] = L" \t\"";
  size_t begin = field.find_first_not_of(kAround);
  if (begin == std::wstring::npos) return {};
  size_t end = field.find_last_not_of(kAround);
  return System::ExpandEnvironment(field.substr(begin, end - begin + 1));
}

void ImageOK_MouseDown(const tk::Mouse&) {
  std::wstring path = FileName(tk::Caption(TextKyFile));
  if (path.empty()) {
    Tell(L"请输入要查询的文件名。", tk::Icon::Information);
    return;
  }
  ModuleScanDisk::Examination examination = ModuleScanDisk::ExamineFile(path);
  if (!examination.read) {
    TellUnreadable(path, examination.error);
    return;
  }
  if (examination.suspicious) {
    Tell(ModuleScanDisk::FindingText(path, examination.company), tk::Icon::Exclamation);
    return;
  }
  Tell(L"该文件是安全的。", tk::Icon::Exclamation);
}

void CommandBrowse_Click() {
  std::wstring path = System::BrowseForFile(Page->hwnd, L"选择要查询的文件");
  if (!path.empty()) tk::SetCaption(TextKyFile, path);
}

void PictureKyAsk_FilesDropped(const std::vector<std::wstring>& paths) { tk::SetCaption(TextKyFile, paths.front()); }

}  // namespace QueryPage
