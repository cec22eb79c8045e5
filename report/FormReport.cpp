#include "report/FormReport.h"

#include "common/DataFolder.h"
#include "common/Skin.h"
#include "platform/Files.h"
#include "platform/System.h"
#include "platform/Text.h"

namespace FormReport {

tk::Control* TextReport;
tk::Control* ImageViewHistory[2];
tk::Control* ImageSave[2];
tk::Control* ImageOK[2];
tk::Control* LabelFolder;

namespace {

tk::Form form;
// The report as it is saved; the window shows very long lines shortened, since
// the text box takes seconds to lay out a line of a megabyte.
std::wstring Buffer;
bool Windowless;
constexpr size_t kShownLineCharacters = 1000;

const wchar_t kBadNameCharacters[] = L"\\/:*?\"<>|";

Skin::Button Pair(tk::Control* images[2]) { return {images[0], images[1]}; }

std::wstring LogFolder() { return DataFolder::File(L"log"); }

// A user's own data folder is made when first needed; the folder beside the
// program is the setup's.
void MakeOwnLogFolder() {
  if (!DataFolder::IsBesideProgram()) DataFolder::Make(L"log");
}

void ImageOK_MouseDown(const tk::Mouse&) { Unload(); }

void ImageViewHistory_MouseDown(const tk::Mouse&) { OpenLogFolder(); }

void Button_MouseMove(tk::Control* images[2]) { Skin::Hover(Pair(images)); }

void Form_MouseMove(const tk::Mouse&) {
  Skin::Arrange(Pair(ImageOK));
  Skin::Arrange(Pair(ImageSave));
  Skin::Arrange(Pair(ImageViewHistory));
}

void AddPair(tk::Form& f, tk::Control* images[2], const wchar_t* name, const wchar_t* action, const char* bitmap0,
             const char* bitmap1, int twipsLeft, int twipsTop, void (*press)(const tk::Mouse&)) {
  images[0] = tk::AddImage(f, nullptr, name, 0, bitmap0, tk::Twips(twipsLeft), tk::Twips(twipsTop), action);
  images[1] = tk::AddImage(f, nullptr, name, 1, bitmap1, tk::Twips(twipsLeft), tk::Twips(twipsTop) + 30, action);
  for (tk::Control* image : {images[0], images[1]}) {
    image->MouseDown = press;
    image->MouseMove = [images](const tk::Mouse&) { Button_MouseMove(images); };
  }
}

void Design(tk::Form& f) {
  TextReport = tk::AddText(f, nullptr, L"TextReport", 8, 8, 404, 252, tk::TextLines::Wrapped);
  AddPair(f, ImageViewHistory, L"ImageViewHistory", L"历史记录", "HISTORY_0", "HISTORY_1", 4920, 4080,
          ImageViewHistory_MouseDown);
  AddPair(f, ImageSave, L"ImageSave", L"保存", "SAVE_0", "SAVE_1", 3600, 4080, ImageSave_MouseDown);
  AddPair(f, ImageOK, L"ImageOK", L"确定", "OK_0", "OK_1", 240, 4080, ImageOK_MouseDown);
  LabelFolder = tk::AddLabel(f, nullptr, L"LabelFolder", L"记录保存在：" + LogFolder(), 8, 302, 404, 16);
}

void Form_Load() {
  Buffer = kHeader;
  tk::SetCaption(TextReport, kHeader);
  Skin::Arrange(Pair(ImageOK));
  Skin::Arrange(Pair(ImageSave));
  Skin::Arrange(Pair(ImageViewHistory));
  Skin::ApplyDefaultFont(form);
}

bool IsDeviceName(const std::wstring& name) {
  std::wstring stem = Text::Upper(name.substr(0, name.find(L'.')));
  static const wchar_t* const devices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CLOCK$"};
  for (const wchar_t* device : devices)
    if (stem == device) return true;
  return stem.size() == 4 && (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0) && stem[3] >= L'0' &&
         stem[3] <= L'9';
}

}  // namespace

tk::Form& Get() {
  if (!form.Design) {
    form.name = L"FormReport";
    form.caption = L"查杀报告";
    form.width = 420;
    form.height = 322;
    form.icon = "APPICON";
    form.backColor = Skin::kDialogBack;
    form.Design = Design;
    form.Load = Form_Load;
    form.MouseMove = Form_MouseMove;
  }
  tk::Load(form);
  return form;
}

void Unload() { tk::Unload(form); }

void OpenLogFolder() {
  MakeOwnLogFolder();
  System::StartExplorer(LogFolder());
}

void WithoutWindow() {
  Windowless = true;
  if (Buffer.empty()) Buffer = kHeader;
}

std::wstring ReportText() {
  if (!Windowless) Get();
  return Buffer;
}

void AppendReportLine(const std::wstring& line) {
  if (!Windowless) Get();
  Buffer += L"\r\n" + line;
  if (!Windowless) tk::AppendText(TextReport, L"\r\n" + Text::ShortenMiddle(line, kShownLineCharacters));
}

bool HasFindings() { return ReportText().size() > std::wstring(kHeader).size() + 5; }

std::wstring DefaultLogName() {
  std::wstring date = System::TodayShortDate();
  for (wchar_t& c : date)
    if (c < 32 || std::wstring(kBadNameCharacters).find(c) != std::wstring::npos) c = L'-';
  return date + L".log";
}

std::wstring LogNameProblem(const std::wstring& name) {
  const std::wstring rule = L"文件名不能为空，不能包含路径，也不能包含下列字符：\\ / : * ? \" < > |";
  if (name.empty() || name == L"." || name == L"..") return rule;
  for (wchar_t c : name)
    if (c < 32 || std::wstring(kBadNameCharacters).find(c) != std::wstring::npos) return rule;
  if (name.back() == L'.' || name.back() == L' ') return L"文件名不能以点或空格结尾。";
  if (IsDeviceName(name)) return L"该名称是系统保留的设备名，不能用作文件名。";
  if (Text::FromAnsi(Text::ToAnsi(name)) != name) return L"文件名含有当前系统代码页无法表示的字符。";
  return {};
}

std::wstring SaveLog(const std::wstring& name) {
  MakeOwnLogFolder();
  if (!Files::FolderExists(LogFolder())) return L"日志文件夹不存在：" + LogFolder() + L"\r\n记录未保存。";
  unsigned long error = 0;
  if (!Files::ReplaceWithEscapedText(LogFolder() + L"\\" + name, ReportText(), &error))
    return L"记录保存失败（错误 " + std::to_wstring(error) + L"）：" + LogFolder() + L"\\" + name;
  return {};
}

void ImageSave_MouseDown(const tk::Mouse&) {
  std::wstring name = tk::InputBox(form, L"保存为：", L"保存查杀记录", DefaultLogName());
  if (name.empty()) return;  // cancelled: nothing saved, the report stays
  std::wstring problem = LogNameProblem(name);
  if (!problem.empty()) {
    tk::MsgBox(form, problem, tk::Icon::Exclamation);
    return;
  }
  problem = SaveLog(name);
  if (!problem.empty()) {
    tk::MsgBox(form, problem, tk::Icon::Error);
    return;
  }
  tk::MsgBox(form, L"记录已保存!", tk::Icon::None);
  Unload();
}

}  // namespace FormReport
