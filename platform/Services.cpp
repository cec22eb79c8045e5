#include "platform/Services.h"

#include <windows.h>

namespace Services {
namespace {

// A service manager handle that closes itself.
class Handle {
 public:
  explicit Handle(SC_HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (handle_) CloseServiceHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  SC_HANDLE Get() const { return handle_; }

 private:
  SC_HANDLE handle_;
};

}  // namespace

bool IsRunning(const std::wstring& name) {
  Handle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager.Get()) return false;
  Handle service(OpenServiceW(manager.Get(), name.c_str(), SERVICE_QUERY_STATUS));
  SERVICE_STATUS status;
  if (!service.Get() || !QueryServiceStatus(service.Get(), &status)) return false;
  return status.dwCurrentState != SERVICE_STOPPED;
}

}  // namespace Services
