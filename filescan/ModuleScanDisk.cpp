#include "filescan/ModuleScanDisk.h"

#include <algorithm>
#include <utility>

#include "filescan/ModuleFileInfo.h"
#include "platform/Files.h"
#include "platform/Folders.h"
#include "platform/System.h"
#include "platform/Text.h"

namespace ModuleScanDisk {

bool ScanActive;
long ScannedFileCount;
std::deque<std::wstring> lstdirs;

namespace {

const char kSignature[] = "SetWindowsHook";
// A message-loop turn costs ~60-170 us and a label repaint ~500 us under Wine: taken
// on a clock, the window stays as responsive and the walk is not slowed. Ten
// names a second are more than anyone reads.
constexpr double kYieldEveryMs = 15;
constexpr double kStatusEveryMs = 100;
// Each append to the result box redraws both its scroll bars, ~10 ms under Wine:
// lines found close together are appended together, each well within a second of
// being found (the first at once), and all of them before the scan ends.
constexpr double kResultsEveryMs = 750;

double LastYield;
double LastStatus;
double LastResults;
std::wstring PendingStatus;
std::wstring PendingResults;

void FlushResults(const Sink& sink) {
  if (PendingResults.empty()) return;
  LastResults = System::Milliseconds();
  if (sink.result) sink.result(PendingResults);
  PendingResults.clear();
}

void AddResult(const Sink& sink, const std::wstring& line) {
  PendingResults += line;
  if (System::Milliseconds() - LastResults >= kResultsEveryMs) FlushResults(sink);
}

void Yield(const Sink& sink) {
  double now = System::Milliseconds();
  if (now - LastYield < kYieldEveryMs) return;
  LastYield = now;
  if (!PendingResults.empty() && now - LastResults >= kResultsEveryMs) FlushResults(sink);
  if (sink.yield) sink.yield();
}

void FlushStatus(const Sink& sink) {
  if (PendingStatus.empty()) return;
  LastStatus = System::Milliseconds();
  if (sink.status) sink.status(PendingStatus);
  PendingStatus.clear();
}

void ShowStatus(const Sink& sink, const std::wstring& text) {
  PendingStatus = text;
  if (System::Milliseconds() - LastStatus >= kStatusEveryMs) FlushStatus(sink);
}

// The name, upper-cased, contains ".DLL" or ".EXE"; compared in place, once per file.
bool IsCandidate(const std::wstring& name) {
  auto upper = [](wchar_t c) { return (c >= L'a' && c <= L'z') ? (wchar_t)(c - 32) : c; };
  for (size_t i = 0; i + 4 <= name.size(); i++) {
    if (name[i] != L'.') continue;
    wchar_t a = upper(name[i + 1]), b = upper(name[i + 2]), c = upper(name[i + 3]);
    if ((a == L'D' && b == L'L' && c == L'L') || (a == L'E' && b == L'X' && c == L'E')) return true;
  }
  return false;
}

void Examine(const Sink& sink, const std::wstring& path) {
  ShowStatus(sink, Shorten(path));
  Examination examination = ExamineFile(path);
  if (examination.suspicious) {
    AddResult(sink, L" " + FindingText(path, examination.company) + L"\r\n");
    if (sink.found) sink.found(path, examination.company);
  }
  // A device or pipe under a file's name is worth a look: the user hears of it.
  if (examination.error == Files::kNotAFile) AddResult(sink, L" 无法检查：" + path + L" | 原因：不是文件\r\n");
}

void HandleFolderEntry(const std::wstring& folder, const Folders::Entry& entry) {
  if (entry.name[0] == L'.') return;
  // Junctions and links are never followed: they can lead back up the tree.
  if (entry.attributes & Folders::kReparsePoint) return;
  lstdirs.push_back(folder + entry.name);
}

void HandleFileEntry(const Sink& sink, const std::wstring& folder, const Folders::Entry& entry) {
  ScannedFileCount++;
  if (IsCandidate(entry.name)) Examine(sink, folder + entry.name);
}

// On 64-bit Windows the real System32 is listed under its own name, and SysWOW64
// only as itself; a listing opened so stays so.
Folders::Listing OpenListing(const std::wstring& folder, const std::wstring& pattern, Folders::Entry* entry) {
  Files::RealSystemFolder real;
  return Folders::First(folder, pattern, entry);
}

bool ReadRealHead(const std::wstring& path, std::string* head, unsigned long* error) {
  Files::RealSystemFolder real;
  return Files::ReadHead(path, kHeadBytes, head, error);
}

void HandleEntry(const Sink& sink, const std::wstring& folder, const Folders::Entry& entry) {
  if (entry.name.empty()) return;
  if (entry.attributes & Folders::kDirectory)
    HandleFolderEntry(folder, entry);
  else
    HandleFileEntry(sink, folder, entry);
}

}  // namespace

Examination ExamineFile(const std::wstring& path) {
  Examination examination;
  std::string head;
  if (!ReadRealHead(path, &head, &examination.error)) return examination;
  examination.read = true;
  if (head.find(kSignature) == std::string::npos) return examination;
  // The version lookup may load a library: it reaches the real System32 by its alias.
  // A head that stopped short of kHeadBytes is the whole file.
  std::wstring company = ModuleFileInfo::GetFileCompany(Files::RealSystemAlias(path), head, head.size() < kHeadBytes);
  if (Text::Trim(company).empty()) company = L"未知";
  if (company.find(L"Microsoft") != std::wstring::npos) return examination;
  examination.suspicious = true;
  examination.company = company;
  return examination;
}

std::wstring FindingText(const std::wstring& path, const std::wstring& company) {
  return L"可疑文件：" + path + L" | 文件发行者：" + company;
}

std::wstring Shorten(const std::wstring& text) {
  if (text.size() <= 60) return text;
  return text.substr(0, 5) + L"..." + text.substr(text.size() - 53);
}

std::vector<std::wstring> DriveRoots(unsigned long mask) {
  std::vector<std::wstring> roots;
  if (mask == 0) return roots;
  int highest = 31;
  while (!(mask & (1ul << highest))) highest--;
  for (int i = 2; i <= highest; i++) roots.push_back(std::wstring(1, (wchar_t)(L'A' + i)) + L":\\");
  return roots;
}

void Start(const std::vector<std::wstring>& roots) {
  lstdirs.clear();
  ScannedFileCount = 0;
  ScanActive = true;
  PendingStatus.clear();
  PendingResults.clear();
  LastYield = LastStatus = LastResults = 0;  // a new scan yields at its first entry
  // A drive that is another name for a folder already queued is walked once.
  std::vector<std::pair<uint64_t, uint64_t>> seen;
  for (const std::wstring& root : roots) {
    std::pair<uint64_t, uint64_t> id;
    if (Folders::Identity(root, &id.first, &id.second)) {
      if (std::find(seen.begin(), seen.end(), id) != seen.end()) continue;
      seen.push_back(id);
    }
    lstdirs.push_back(root);
  }
}

void RunQueue(const Sink& sink) {
  while (!lstdirs.empty()) {
    const std::wstring head = lstdirs.front();
    if (head.size() > 60) ShowStatus(sink, Shorten(head));
    ScanFolder(head, L"*.*", sink);
    lstdirs.pop_front();
    if (!ScanActive) break;
  }
  Finish(sink);
}

void Finish(const Sink& sink) {
  FlushResults(sink);
  FlushStatus(sink);  // the last file is always shown
}

void ScanFolder(const std::wstring& folder, const std::wstring& pattern, const Sink& sink) {
  std::wstring base = folder;
  if (base.empty() || base.back() != L'\\') base += L'\\';
  Folders::Entry entry;
  Folders::Listing listing = OpenListing(base, pattern, &entry);
  if (!listing) return;
  HandleEntry(sink, base, entry);
  for (;;) {
    Yield(sink);
    if (!ScanActive) break;
    if (!Folders::Next(listing, &entry)) break;
    HandleEntry(sink, base, entry);
  }
}

}  // namespace ModuleScanDisk
