// MinimalWalk ROOT OUTFILE: the floor the scan is measured against. The same
// breadth-first walk and the same head test as the scan page, on the bare ANSI
// calls: no message loop, no status label, no version lookup (so a Microsoft
// file carrying the signature would be listed here and not by the page).
// Prints files=, flagged=, seconds=, the working set before the walk and its
// peak after (KB); writes the flagged paths in UTF-8, one a line.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <psapi.h>
#include <string>
#include <vector>

namespace {

constexpr DWORD kHeadBytes = 32000;
const char kSignature[] = "SetWindowsHook";
char head[kHeadBytes];

// Byte-wise on the ANSI name: in GBK no trail byte can be '.', so ".DLL" and
// ".EXE" are found exactly where the wide test finds them.
bool IsCandidate(const char* name) {
  char upper[MAX_PATH];
  size_t i = 0;
  for (; name[i] && i < MAX_PATH - 1; i++) upper[i] = (name[i] >= 'a' && name[i] <= 'z') ? name[i] - 32 : name[i];
  upper[i] = 0;
  return strstr(upper, ".DLL") || strstr(upper, ".EXE");
}

bool HasSignature(const char* bytes, size_t length) {
  const size_t n = sizeof kSignature - 1;
  for (const char* p = bytes; length >= n;) {
    const char* s = static_cast<const char*>(memchr(p, kSignature[0], length - n + 1));
    if (!s) return false;
    if (memcmp(s, kSignature, n) == 0) return true;
    length -= (size_t)(s + 1 - p);
    p = s + 1;
  }
  return false;
}

bool Flagged(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD read = 0;
  BOOL ok = ReadFile(file, head, kHeadBytes, &read, nullptr);  // a regular file never reads short
  CloseHandle(file);
  return ok && HasSignature(head, read);
}

PROCESS_MEMORY_COUNTERS Memory() {
  PROCESS_MEMORY_COUNTERS m = {};
  m.cb = sizeof m;
  GetProcessMemoryInfo(GetCurrentProcess(), &m, sizeof m);
  return m;
}

std::string Utf8FromAnsi(const std::string& ansi) {
  int count = MultiByteToWideChar(CP_ACP, 0, ansi.data(), (int)ansi.size(), nullptr, 0);
  std::wstring wide((size_t)count, L'\0');
  MultiByteToWideChar(CP_ACP, 0, ansi.data(), (int)ansi.size(), &wide[0], count);
  int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), count, nullptr, 0, nullptr, nullptr);
  std::string out((size_t)length, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), count, &out[0], length, nullptr, nullptr);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: MinimalWalk ROOT OUTFILE\n");
    return 2;
  }
  std::deque<std::string> queue{argv[1]};
  std::vector<std::string> flagged;
  long files = 0;
  PROCESS_MEMORY_COUNTERS before = Memory();
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  while (!queue.empty()) {
    std::string folder = std::move(queue.front());
    queue.pop_front();
    if (folder.back() != '\\') folder += '\\';
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "*.*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) continue;
    do {
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        if (data.cFileName[0] != '.' && !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
          queue.push_back(folder + data.cFileName);
        continue;
      }
      files++;
      if (!IsCandidate(data.cFileName)) continue;
      std::string path = folder + data.cFileName;
      if (Flagged(path)) flagged.push_back(path);
    } while (FindNextFileA(find, &data));
    FindClose(find);
  }
  QueryPerformanceCounter(&end);

  FILE* out = fopen(argv[2], "wb");
  if (!out) {
    fprintf(stderr, "MinimalWalk: cannot write %s\n", argv[2]);
    return 1;
  }
  for (const std::string& path : flagged) fprintf(out, "%s\n", Utf8FromAnsi(path).c_str());
  fclose(out);
  PROCESS_MEMORY_COUNTERS after = Memory();
  printf("files=%ld\nflagged=%u\nseconds=%.4f\nws_before_kb=%lu\npeak_ws_kb=%lu\n", files, (unsigned)flagged.size(),
         (double)(end.QuadPart - start.QuadPart) / (double)frequency.QuadPart,
         (unsigned long)(before.WorkingSetSize / 1024), (unsigned long)(after.PeakWorkingSetSize / 1024));
  return 0;
}
