#include "platform/Processes.h"

#include <windows.h>

#include <tlhelp32.h>

#include "platform/ScopedHandle.h"
#include "platform/Text.h"

namespace Processes {
namespace {

// The headers name it only for Vista and later; older Windows refuses it.
constexpr DWORD kQueryLimitedInformation = 0x1000;

using QueryImageName = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);

// Looked up at run time: kernel32 has it from Vista on only.
QueryImageName ImageNameQuery() {
  static const QueryImageName query = reinterpret_cast<QueryImageName>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "QueryFullProcessImageNameW")));
  return query;
}

// `buffer` is reused from one process to the next; it holds the longest path.
std::wstring ImagePath(DWORD id, std::vector<wchar_t>* buffer) {
  QueryImageName query = ImageNameQuery();
  if (!query) return {};
  ScopedHandle process(OpenProcess(kQueryLimitedInformation, FALSE, id));
  if (!process.Valid()) return {};
  DWORD length = (DWORD)buffer->size();
  if (!query(process.Get(), 0, buffer->data(), &length)) return {};
  return std::wstring(buffer->data(), length);
}

}  // namespace

bool Snapshot(std::vector<Entry>* entries) {
  ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.Valid()) return false;
  std::vector<Entry> taken;
  std::vector<wchar_t> buffer(32768);
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;  // the ANSI layout: 296 bytes in a 32-bit program, 304 in a 64-bit one
  for (BOOL more = Process32First(snapshot.Get(), &entry); more; more = Process32Next(snapshot.Get(), &entry)) {
    entry.szExeFile[MAX_PATH - 1] = '\0';
    taken.push_back({entry.th32ProcessID, Text::FromAnsi(entry.szExeFile), ImagePath(entry.th32ProcessID, &buffer)});
  }
  entries->swap(taken);
  return true;
}

bool Terminate(unsigned long id) {
  ScopedHandle process(OpenProcess(0x1F0FFF, FALSE, id));
  return process.Valid() && TerminateProcess(process.Get(), 0);
}

}  // namespace Processes
