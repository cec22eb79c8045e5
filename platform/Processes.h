// The running processes: one snapshot per walk, and termination.
#pragma once
#include <string>
#include <vector>

namespace Processes {

struct Entry {
  unsigned long id = 0;
  std::wstring image;  // image file name as the snapshot gives it
  // The image's full path; empty where the system does not give it (no image
  // file, no right to ask, or Windows before Vista).
  std::wstring path;
};

// False, with the entries untouched, when the snapshot cannot be taken.
bool Snapshot(std::vector<Entry>* entries);
// Opens with all access and terminates with exit code 0; false when either fails.
bool Terminate(unsigned long id);

}  // namespace Processes
