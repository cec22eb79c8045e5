#include "filescan/ScanPage.h"

#include <string>

#include "filescan/ModuleScanDisk.h"
#include "frame/FormMain.h"
#include "platform/Folders.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "platform/Toolkit.h"

namespace ScanPage {
namespace {

const wchar_t kAllDrives[] = L"我的电脑";

std::vector<std::wstring> Roots() {
  std::wstring target = tk::Caption(FormMain::LabelTarget);
  if (target == kAllDrives) return ModuleScanDisk::DriveRoots(Folders::LogicalDrives());
  return {Text::Trim(target)};
}

void SetIdle(bool idle) {
  tk::SetEnabled(FormMain::CommandScan, idle);
  tk::SetEnabled(FormMain::CommandStopScan, !idle);
}

}  // namespace

ModuleScanDisk::Sink PageSink() {
  ModuleScanDisk::Sink sink;
  sink.status = [](const std::wstring& text) {
    tk::SetCaption(FormMain::LabelScanState, text);
    tk::Refresh(FormMain::LabelScanState);
  };
  sink.result = [](const std::wstring& lines) { tk::AppendText(FormMain::TextIATResult, lines); };
  sink.yield = [] {
    if (!tk::DoEvents()) ModuleScanDisk::ScanActive = false;  // the program is ending
  };
  return sink;
}

void CommandSelectFolder_Click() {
  std::wstring folder = System::BrowseForFolder(FormMain::Get().hwnd, L"请选择扫描目标：");
  if (!folder.empty()) tk::SetCaption(FormMain::LabelTarget, folder);
}

void CommandScan_Click() {
  SetIdle(false);
  ModuleScanDisk::Start(Roots());
  ModuleScanDisk::RunQueue(PageSink());
  // Closing the program ends the scan; then there is no window left to report to.
  if (!FormMain::IsLoaded()) return;
  tk::SetCaption(FormMain::LabelScanState,
                 L"扫描完成，已扫描 " + std::to_wstring(ModuleScanDisk::ScannedFileCount) + L"个文件。");
  tk::MsgBox(L"扫描完成。", tk::Icon::Information, L"扫描完成!");
  SetIdle(true);
}

void CommandStopScan_Click() { ModuleScanDisk::ScanActive = false; }

void Abandon() { ModuleScanDisk::ScanActive = false; }

}  // namespace ScanPage
