#include "filescan/ScanPage.h"

#include <string>
#include <vector>

#include "filescan/ModuleScanDisk.h"
#include "platform/Folders.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "report/ModuleEventLog.h"

namespace ScanPage {

tk::Control* PictureKyScan;
tk::Control* CommandSelectFolder;
tk::Control* CommandScan;
tk::Control* CommandStopScan;
tk::Control* TextIATResult;
tk::Control* LabelTarget;
tk::Control* LabelScanState;
tk::Control* LabelTargetToScan;

namespace {

const wchar_t kAllDrives[] = L"我的电脑";
tk::Form* Page;  // the form the panel lies on

std::vector<std::wstring> Roots() {
  std::wstring target = tk::Caption(LabelTarget);
  if (target == kAllDrives) return ModuleScanDisk::DriveRoots(Folders::LogicalDrives());
  return {Text::Trim(target)};
}

void SetIdle(bool idle) {
  tk::SetEnabled(CommandScan, idle);
  tk::SetEnabled(CommandStopScan, !idle);
}

}  // namespace

void Design(tk::Form& form) {
  Page = &form;
  PictureKyScan = tk::AddPicture(form, L"PictureKyScan", "PANEL_SCAN", 8, 140, 558, 214);
  CommandSelectFolder = tk::AddButton(form, PictureKyScan, L"CommandSelectFolder", L"选择", 344, 8, 62, 24);
  CommandScan = tk::AddButton(form, PictureKyScan, L"CommandScan", L"扫描", 414, 8, 62, 24);
  CommandStopScan = tk::AddButton(form, PictureKyScan, L"CommandStopScan", L"停止", 484, 8, 62, 24);
  tk::SetEnabled(CommandStopScan, false);
  CommandSelectFolder->Click = CommandSelectFolder_Click;
  CommandScan->Click = CommandScan_Click;
  CommandStopScan->Click = CommandStopScan_Click;
  TextIATResult = tk::AddText(form, PictureKyScan, L"TextIATResult", 12, 40, 534, 140, tk::TextLines::Whole);
  LabelTarget = tk::AddLabel(form, PictureKyScan, L"LabelTarget", kAllDrives, 84, 14, 250, 16);
  LabelScanState = tk::AddLabel(form, PictureKyScan, L"LabelScanState", L"扫描状态：未进行扫描。", 12, 190, 534, 16);
  LabelTargetToScan = tk::AddLabel(form, PictureKyScan, L"LabelTargetToScan", L"扫描目标：", 12, 14, 70, 16);
}

ModuleScanDisk::Sink PageSink() {
  ModuleScanDisk::Sink sink;
  sink.status = [](const std::wstring& text) {
    tk::SetCaption(LabelScanState, text);
    tk::Refresh(LabelScanState);
  };
  sink.result = [](const std::wstring& lines) { tk::AppendText(TextIATResult, lines); };
  sink.yield = [] {
    if (!tk::DoEvents()) ModuleScanDisk::ScanActive = false;  // the program is ending
  };
  return sink;
}

void CommandSelectFolder_Click() {
  std::wstring folder = System::BrowseForFolder(Page->hwnd, L"请选择扫描目标：");
  if (!folder.empty()) tk::SetCaption(LabelTarget, folder);
}

void CommandScan_Click() {
  SetIdle(false);
  std::vector<Detection::Record> records;
  ModuleScanDisk::Sink sink = PageSink();
  sink.found = [&records](const std::wstring& file, const std::wstring& company) {
    records.push_back(ModuleEventLog::ScanRecord(file, company));
  };
  double started = System::Milliseconds();
  ModuleScanDisk::Start(Roots());
  ModuleScanDisk::RunQueue(sink);
  // Closing the program ends the scan; then there is no window left to report to.
  if (tk::Ending()) return;
  ModuleEventLog::WriteRun(records, ModuleEventLog::Summarize(records, (System::Milliseconds() - started) / 1000));
  tk::SetCaption(LabelScanState,
                 L"扫描完成，已扫描 " + std::to_wstring(ModuleScanDisk::ScannedFileCount) + L"个文件。");
  tk::MsgBox(*Page, L"扫描完成。", tk::Icon::Information, L"扫描完成!");
  SetIdle(true);
}

void CommandStopScan_Click() { ModuleScanDisk::ScanActive = false; }

void Abandon() { ModuleScanDisk::ScanActive = false; }

}  // namespace ScanPage
