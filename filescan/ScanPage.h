// The "可疑文件扫描" page of the main window: target, start, stop.
#pragma once
#include "filescan/ModuleScanDisk.h"

namespace ScanPage {

// What the page scans with: the status label, the result box and DoEvents.
// The benchmark drives the walker through it too, so both measure the same work.
ModuleScanDisk::Sink PageSink();

void CommandSelectFolder_Click();
// Runs one whole scan and returns when it has ended.
void CommandScan_Click();
void CommandStopScan_Click();
// Ends a running scan at its next entry; used when the program closes.
void Abandon();

}  // namespace ScanPage
