#include "platform/Processes.h"

#include <windows.h>

#include <tlhelp32.h>

#include "platform/Text.h"

namespace Processes {

bool Snapshot(std::vector<Entry>* entries) {
  entries->clear();
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return false;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;  // 296 in the ANSI layout
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    entry.szExeFile[MAX_PATH - 1] = '\0';
    entries->push_back({entry.th32ProcessID, Text::FromAnsi(entry.szExeFile)});
  }
  CloseHandle(snapshot);
  return true;
}

bool Terminate(unsigned long id) {
  HANDLE process = OpenProcess(0x1F0FFF, FALSE, id);
  if (!process) return false;
  BOOL ok = TerminateProcess(process, 0);
  CloseHandle(process);
  return ok != FALSE;
}

}  // namespace Processes
