// The service control manager, asked with read-only rights: nothing here starts,
// stops or changes a service.
#pragma once
#include <string>

namespace Services {

// The service of that name is not stopped (running, starting, stopping or paused).
// False when it is stopped, unknown, or the manager cannot be asked.
bool IsRunning(const std::wstring& name);

}  // namespace Services
