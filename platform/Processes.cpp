#include "platform/Processes.h"

#include <windows.h>

#include <tlhelp32.h>

#include "platform/ScopedHandle.h"
#include "platform/Text.h"

namespace Processes {

bool Snapshot(std::vector<Entry>* entries) {
  ScopedHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot.Valid()) return false;
  std::vector<Entry> taken;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;  // the ANSI layout: 296 bytes in a 32-bit program, 304 in a 64-bit one
  for (BOOL more = Process32First(snapshot.Get(), &entry); more; more = Process32Next(snapshot.Get(), &entry)) {
    entry.szExeFile[MAX_PATH - 1] = '\0';
    taken.push_back({entry.th32ProcessID, Text::FromAnsi(entry.szExeFile)});
  }
  entries->swap(taken);
  return true;
}

bool Terminate(unsigned long id) {
  ScopedHandle process(OpenProcess(0x1F0FFF, FALSE, id));
  return process.Valid() && TerminateProcess(process.Get(), 0);
}

}  // namespace Processes
