// The "可疑文件扫描" page of the main window: target, start, stop.
#pragma once

namespace ScanPage {

void CommandSelectFolder_Click();
// Runs one whole scan and returns when it has ended.
void CommandScan_Click();
void CommandStopScan_Click();
// Ends a running scan at its next entry; used when the program closes.
void Abandon();

}  // namespace ScanPage
