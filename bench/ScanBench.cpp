// ScanBench ROOT OUTFILE [--sink page|counted|none] [--hidden] [--queue] [--probe-appends]
//
// Times the scan page's own walk of ROOT under Wine: the main window is loaded
// and shown on its scan page, and ModuleScanDisk runs with the page's sink, the
// work a click on "扫描" starts. The flagged paths are read back from the result
// box, as the user would see them, and written in UTF-8 to OUTFILE.
//
//   --sink counted  the page's sink, each call counted and timed (for profiling)
//   --sink none     no message loop, no label, results only kept (the walker alone)
//   --hidden        the window is loaded but never shown
//   --queue         samples the folder queue's length at each message-loop turn
//   --probe-appends after the scan, appends its lines again, one at a time and in batches, timed
//
// Prints key=value lines: files, flagged, seconds, memory in KB, and the counts.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <psapi.h>
#include <string>
#include <utility>
#include <vector>

#include "filescan/ModuleFileInfo.h"
#include "filescan/ModuleScanDisk.h"
#include "filescan/ScanPage.h"
#include "frame/FormMain.h"
#include "platform/Files.h"
#include "platform/System.h"
#include "platform/Text.h"
#include "platform/Toolkit.h"

namespace {

const wchar_t kSuspect[] = L" 可疑文件：";
const wchar_t kPublisher[] = L" | 文件发行者：";
const wchar_t kNotExaminable[] = L" 无法检查：";

// Seconds on the program's own clock.
double Now() { return System::Milliseconds() / 1000; }

PROCESS_MEMORY_COUNTERS Memory() {
  PROCESS_MEMORY_COUNTERS m = {};
  m.cb = sizeof m;
  GetProcessMemoryInfo(GetCurrentProcess(), &m, sizeof m);
  return m;
}

std::string Utf8(const std::wstring& text) {
  int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), nullptr, 0, nullptr, nullptr);
  std::string out((size_t)length, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), (int)text.size(), &out[0], length, nullptr, nullptr);
  return out;
}

std::wstring Wide(const char* ansi) {
  int count = MultiByteToWideChar(CP_ACP, 0, ansi, -1, nullptr, 0);
  std::wstring out((size_t)count, L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi, -1, &out[0], count);
  out.resize(wcslen(out.c_str()));
  return out;
}

// Handles whatever the window has queued, until it has been quiet for a while.
void Settle() {
  double quietSince = Now();
  while (Now() - quietSince < 0.3) {
    MSG msg;
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) quietSince = Now();
    tk::DoEvents();
    Sleep(10);
  }
}

struct Meter {
  long calls = 0;
  double seconds = 0;
};

template <typename F>
std::function<F> Metered(std::function<F> inner, Meter* meter) {
  return [inner, meter](auto&&... args) {
    double t = Now();
    inner(args...);
    meter->seconds += Now() - t;
    meter->calls++;
  };
}

struct Options {
  std::wstring root;
  const char* out = nullptr;
  std::string sink = "page";
  bool hidden = false;
  bool queue = false;
  bool probeAppends = false;
};

bool Parse(int argc, char** argv, Options* o) {
  if (argc < 3) return false;
  o->root = Wide(argv[1]);
  o->out = argv[2];
  for (int i = 3; i < argc; i++) {
    if (!strcmp(argv[i], "--sink") && i + 1 < argc)
      o->sink = argv[++i];
    else if (!strcmp(argv[i], "--hidden"))
      o->hidden = true;
    else if (!strcmp(argv[i], "--queue"))
      o->queue = true;
    else if (!strcmp(argv[i], "--probe-appends"))
      o->probeAppends = true;
    else
      return false;
  }
  return o->sink == "page" || o->sink == "counted" || o->sink == "none";
}

// The result lines as the box holds them, or as the bare sink kept them.
std::vector<std::wstring> ResultLines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  size_t begin = 0;
  for (size_t end; (end = text.find(L"\r\n", begin)) != std::wstring::npos; begin = end + 2)
    lines.push_back(text.substr(begin, end - begin));
  if (begin < text.size()) lines.push_back(text.substr(begin));
  return lines;
}

// Per line, the cost of appending LINES in batches of BATCH lines through
// APPEND and of the repaint that follows, over the first and the last tenth of
// the full batches (a short last batch would show its fixed cost, not the
// box's): a cost which grows with the text already in the box shows as a last
// tenth dearer than the first.
struct Pass {
  double append = 0, paint = 0, early = 0, late = 0, earlyPaint = 0, latePaint = 0;
};

Pass TimeAppends(const std::vector<std::wstring>& lines, size_t batch,
                 const std::function<void(const std::wstring&)>& append) {
  Pass p;
  const size_t n = lines.size(), batches = (n + batch - 1) / batch, full = n / batch;
  const size_t tenth = std::max<size_t>(1, full / 10);
  size_t earlyLines = 0, lateLines = 0;
  for (size_t b = 0; b < batches; b++) {
    std::wstring text;
    size_t first = b * batch, last = std::min(n, first + batch);
    for (size_t i = first; i < last; i++) text += lines[i] + L"\r\n";
    double t0 = Now();
    append(text);
    double t1 = Now();
    tk::DoEvents();
    double t2 = Now();
    p.append += t1 - t0, p.paint += t2 - t1;
    if (b < tenth) p.early += t1 - t0, p.earlyPaint += t2 - t1, earlyLines += last - first;
    if (b < full && b + tenth >= full) p.late += t1 - t0, p.latePaint += t2 - t1, lateLines += last - first;
  }
  p.early /= std::max<size_t>(1, earlyLines), p.earlyPaint /= std::max<size_t>(1, earlyLines);
  p.late /= std::max<size_t>(1, lateLines), p.latePaint /= std::max<size_t>(1, lateLines);
  return p;
}

void PrintPass(const char* name, const Pass& p) {
  printf(
      "probe_%s_first_tenth_us=%.0f\nprobe_%s_last_tenth_us=%.0f\nprobe_%s_first_tenth_paint_us=%.0f\n"
      "probe_%s_last_tenth_paint_us=%.0f\n",
      name, p.early * 1e6, name, p.late * 1e6, name, p.earlyPaint * 1e6, name, p.latePaint * 1e6);
}

// The lines dealt into `batches` piles, one after another: the walk finds deeper,
// longer paths last, and a line's layout costs with its length, so that every
// stretch of the probe holds the same mix and only the box's own growth shows.
std::vector<std::wstring> Dealt(const std::vector<std::wstring>& lines, size_t batches) {
  std::vector<std::wstring> dealt;
  for (size_t pile = 0; pile < batches; pile++)
    for (size_t i = pile; i < lines.size(); i += batches) dealt.push_back(lines[i]);
  return dealt;
}

// Appends the scan's lines again to the emptied result box through the page's
// own call (tk::AppendText): one at a time, then in batches of 100 as a scan
// that finds lines quickly appends them. Then, to show where an append's time
// goes, one at a time into a twin of the box without its scroll bars.
void ProbeAppends(const std::vector<std::wstring>& scanned) {
  const std::vector<std::wstring> lines = Dealt(scanned, (scanned.size() + 99) / 100);
  auto page = [](const std::wstring& text) { tk::AppendText(ScanPage::TextIATResult, text); };
  tk::SetCaption(ScanPage::TextIATResult, L"");
  tk::DoEvents();
  Pass single = TimeAppends(lines, 1, page);
  unsigned chars = (unsigned)tk::Caption(ScanPage::TextIATResult).size();
  tk::SetCaption(ScanPage::TextIATResult, L"");
  tk::DoEvents();
  Pass batched = TimeAppends(lines, 100, page);

  HWND box = static_cast<HWND>(ScanPage::TextIATResult->hwnd);
  RECT r;
  GetWindowRect(box, &r);
  MapWindowPoints(nullptr, GetParent(box), reinterpret_cast<POINT*>(&r), 2);
  DWORD style = (DWORD)GetWindowLongW(box, GWL_STYLE) & ~(DWORD)(WS_VSCROLL | WS_HSCROLL);
  ShowWindow(box, SW_HIDE);
  HWND twin =
      CreateWindowExW((DWORD)GetWindowLongW(box, GWL_EXSTYLE), L"EDIT", L"", style, r.left, r.top, r.right - r.left,
                      r.bottom - r.top, GetParent(box), nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(twin, WM_SETFONT, SendMessageW(box, WM_GETFONT, 0, 0), FALSE);
  SendMessageW(twin, EM_SETLIMITTEXT, 0, 0);
  tk::DoEvents();
  Pass bare = TimeAppends(lines, 1, [twin](const std::wstring& text) {
    int end = GetWindowTextLengthW(twin);
    SendMessageW(twin, EM_SETSEL, (WPARAM)end, (LPARAM)end);
    SendMessageW(twin, EM_REPLACESEL, FALSE, (LPARAM)text.c_str());
  });
  DestroyWindow(twin);
  ShowWindow(box, SW_SHOW);

  // The scroll bars are redrawn on every append: what one such update costs.
  HWND bar = CreateWindowExA(0, "SCROLLBAR", "", WS_CHILD | WS_VISIBLE | SBS_VERT, 0, 0, 17, 140, GetParent(box),
                             nullptr, GetModuleHandleA(nullptr), nullptr);
  tk::DoEvents();
  double t = Now();
  for (int i = 0; i < 100; i++) {
    SCROLLINFO info = {sizeof info, SIF_RANGE | SIF_PAGE | SIF_POS, 0, i + 10, 10, i, 0};
    SetScrollInfo(bar, SB_CTL, &info, TRUE);
  }
  printf("probe_scrollinfo_us=%.0f\n", (Now() - t) / 100 * 1e6);
  DestroyWindow(bar);
  printf("probe_appends=%u\nprobe_text_chars=%u\n", (unsigned)lines.size(), chars);
  PrintPass("single", single);
  PrintPass("batched", batched);
  PrintPass("noscrollbar", bare);
}

// What the scan leaves beside the timing: kept lines and call meters.
struct Run {
  std::wstring kept;
  Meter yields, statuses, results;
  std::vector<std::pair<double, long>> appends;  // each result append of the scan: seconds, lines
  size_t queueMax = 0;
};

long LineCount(const std::wstring& text) {
  long lines = 0;
  for (size_t at = 0; (at = text.find(L"\r\n", at)) != std::wstring::npos; at += 2) lines++;
  return lines;
}

// Seconds per line over the scan's appends from the first to the last given, and their lines.
std::pair<double, long> PerLine(const std::vector<std::pair<double, long>>& appends, size_t first, size_t last) {
  double seconds = 0;
  long lines = 0;
  for (size_t i = first; i < last; i++) seconds += appends[i].first, lines += appends[i].second;
  return {lines ? seconds / lines : 0, lines};
}

ModuleScanDisk::Sink MakeSink(const Options& o, Run* run) {
  ModuleScanDisk::Sink sink;
  if (o.sink == "none")
    sink.result = [run](const std::wstring& line) { run->kept += line; };
  else
    sink = ScanPage::PageSink();
  if (o.sink == "counted") {
    sink.yield = Metered(sink.yield, &run->yields);
    sink.status = Metered(sink.status, &run->statuses);
    sink.result = Metered(sink.result, &run->results);
    auto inner = sink.result;
    sink.result = [run, inner](const std::wstring& lines) {
      double t = Now();
      inner(lines);
      run->appends.emplace_back(Now() - t, LineCount(lines));
    };
  }
  if (o.queue) {
    auto inner = sink.yield;
    sink.yield = [run, inner] {
      run->queueMax = std::max(run->queueMax, ModuleScanDisk::lstdirs.size());
      if (inner) inner();
    };
  }
  return sink;
}

// Writes the listed paths in UTF-8 and prints what the result lines say.
bool WriteFlagged(const std::wstring& text, const char* path, std::vector<std::wstring>* flagged) {
  FILE* out = fopen(path, "wb");
  if (!out) {
    fprintf(stderr, "ScanBench: cannot write %s\n", path);
    return false;
  }
  long unknown = 0, notExaminable = 0;
  for (const std::wstring& line : ResultLines(text)) {
    if (line.compare(0, wcslen(kNotExaminable), kNotExaminable) == 0) {
      notExaminable++;
      fprintf(stderr, "ScanBench: %s\n", Utf8(line).c_str());
      continue;
    }
    size_t bar = line.rfind(kPublisher);
    if (line.compare(0, wcslen(kSuspect), kSuspect) != 0 || bar == std::wstring::npos) continue;
    flagged->push_back(line.substr(wcslen(kSuspect), bar - wcslen(kSuspect)));
    if (line.substr(bar + wcslen(kPublisher)) == L"未知") unknown++;
    fprintf(out, "%s\n", Utf8(flagged->back()).c_str());
  }
  fclose(out);
  printf("flagged=%u\npublisher_unknown=%ld\nnot_examinable=%ld\n", (unsigned)flagged->size(), unknown, notExaminable);
  return true;
}

void PrintCounts(const Run& run, const std::vector<std::wstring>& flagged) {
  printf("yields=%ld\nyield_seconds=%.4f\nstatus=%ld\nstatus_seconds=%.4f\nresults=%ld\nresult_seconds=%.4f\n",
         run.yields.calls, run.yields.seconds, run.statuses.calls, run.statuses.seconds, run.results.calls,
         run.results.seconds);
  // The scan's own appends that hold the first and the last tenth of its lines: a
  // cost that grows with the box's text shows as a last tenth dearer than the first.
  const size_t n = run.appends.size();
  long total = 0;
  for (const auto& a : run.appends) total += a.second;
  size_t early = 0, late = n;
  for (long lines = 0; early < n && lines * 10 < total; early++) lines += run.appends[early].second;
  for (long lines = 0; late > 0 && lines * 10 < total; late--) lines += run.appends[late - 1].second;
  if (n) {
    std::pair<double, long> first = PerLine(run.appends, 0, early), last = PerLine(run.appends, late, n);
    printf(
        "append_first_tenth_us_per_line=%.0f\nappend_first_tenth_lines=%ld\nappend_last_tenth_us_per_line=%.0f\n"
        "append_last_tenth_lines=%ld\n",
        first.first * 1e6, first.second, last.first * 1e6, last.second);
  }
  // The version lookup is the walker's own, not the sink's: time it over the same
  // files as the walker makes it, from the head it has read.
  double seconds = 0;
  for (const std::wstring& path : flagged) {
    std::string head;
    Files::ReadHead(path, ModuleScanDisk::kHeadBytes, &head);
    double t = Now();
    ModuleFileInfo::GetFileCompany(path, head);
    seconds += Now() - t;
  }
  printf("lookups=%u\nlookup_seconds=%.4f\n", (unsigned)flagged.size(), seconds);
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!Parse(argc, argv, &o)) {
    fprintf(stderr,
            "usage: ScanBench ROOT OUTFILE [--sink page|counted|none] [--hidden] [--queue] "
            "[--probe-appends]\n");
    return 2;
  }
  tk::SetApplicationTitle(L"Zorvane");
  tk::Form& form = FormMain::Get();
  if (!o.hidden) {
    tk::Show(form);
    FormMain::LabelKyScan->Click();  // the scan page, where the user starts a scan
  }
  tk::SetCaption(ScanPage::LabelTarget, o.root);
  Settle();

  Run run;
  ModuleScanDisk::Sink sink = MakeSink(o, &run);
  PROCESS_MEMORY_COUNTERS before = Memory();
  double start = Now();
  ModuleScanDisk::Start({o.root});
  ModuleScanDisk::RunQueue(sink);
  double seconds = Now() - start;
  PROCESS_MEMORY_COUNTERS after = Memory();

  printf("files=%ld\nseconds=%.4f\n", ModuleScanDisk::ScannedFileCount, seconds);
  printf("ws_before_kb=%lu\npeak_ws_kb=%lu\n", (unsigned long)(before.WorkingSetSize / 1024),
         (unsigned long)(after.PeakWorkingSetSize / 1024));
  if (o.queue) printf("queue_max=%u\n", (unsigned)run.queueMax);
  std::wstring text = o.sink == "none" ? run.kept : tk::Caption(ScanPage::TextIATResult);
  std::vector<std::wstring> flagged;
  if (!WriteFlagged(text, o.out, &flagged)) return 1;
  if (o.sink == "counted") PrintCounts(run, flagged);
  if (o.probeAppends && o.sink != "none") ProbeAppends(ResultLines(text));
  fflush(stdout);
  FormMain::Form_Unload();
  return 0;
}
