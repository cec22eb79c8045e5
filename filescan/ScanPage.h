// The "可疑文件扫描" page: its panel and controls on the main window, the
// target, start and stop.
#pragma once
#include "filescan/ModuleScanDisk.h"
#include "platform/Toolkit.h"

namespace ScanPage {

// Creates the panel and its controls on `form`, which owns the page's dialogs.
void Design(tk::Form& form);

// What the page scans with: the status label, the result box and DoEvents.
// The benchmark drives the walker through it too, so both measure the same work.
ModuleScanDisk::Sink PageSink();

void CommandSelectFolder_Click();
// Runs one whole scan and returns when it has ended.
void CommandScan_Click();
void CommandStopScan_Click();
// Ends a running scan at its next entry; used when the program closes.
void Abandon();

extern tk::Control* PictureKyScan;
extern tk::Control* CommandSelectFolder;
extern tk::Control* CommandScan;
extern tk::Control* CommandStopScan;
extern tk::Control* TextIATResult;
extern tk::Control* LabelTarget;
extern tk::Control* LabelScanState;
extern tk::Control* LabelTargetToScan;

}  // namespace ScanPage
