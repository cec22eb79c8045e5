// The suspicious-file scan: a breadth-first walk over a queue of folders that
// lists every hook-signature executable or library not published by Microsoft.
// The walker reports through a sink, so the scan page and the benchmark run the
// same code.
#pragma once
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace ModuleScanDisk {

extern bool ScanActive;
extern long ScannedFileCount;
// The folder queue: the head is examined next, subfolders join at the tail.
extern std::deque<std::wstring> lstdirs;

struct Sink {
  std::function<void(const std::wstring& text)> status;   // shortened path of the file being examined
  std::function<void(const std::wstring& lines)> result;  // one or more result lines, each with its CR LF
  std::function<void()> yield;                            // handle pending window messages
  // Each suspicious file as found, for a run that keeps findings rather than lines.
  std::function<void(const std::wstring& path, const std::wstring& company)> found;
};

// How much of a candidate the scan reads: the signature must lie within it.
constexpr size_t kHeadBytes = 32000;

// The hook-signature test on one file, whatever its name.
struct Examination {
  bool read = false;        // false: the file could not be opened or read
  unsigned long error = 0;  // then the system's error code
  bool suspicious = false;  // "SetWindowsHook" in its first 32000 bytes, and a publisher not Microsoft
  std::wstring company;     // a suspicious file's publisher as shown, "未知" when it has none
};
Examination ExamineFile(const std::wstring& path);
// A finding as the result box shows it, without the leading space and line end of its line:
// "可疑文件：" path " | 文件发行者：" company.
std::wstring FindingText(const std::wstring& path, const std::wstring& company);

// At most 60 characters whole; longer: the first 5, "..." and the last 53.
std::wstring Shorten(const std::wstring& text);
// Roots from C: up to the highest drive in the mask, "C:\" form.
std::vector<std::wstring> DriveRoots(unsigned long mask);
// Empties the queue and the count, queues the roots and arms ScanActive.
void Start(const std::vector<std::wstring>& roots);
// Walks the queue until it is empty or ScanActive turns false, then Finish.
void RunQueue(const Sink& sink);
// Hands over the result lines and the status still held back.
void Finish(const Sink& sink);
void ScanFolder(const std::wstring& folder, const std::wstring& pattern, const Sink& sink);

}  // namespace ModuleScanDisk
