// A stand-in service for the tests: it tells the service manager it runs, and
// waits until it is told to stop.
#include <windows.h>

namespace {

SERVICE_STATUS_HANDLE handle = nullptr;
SERVICE_STATUS status = {SERVICE_WIN32_OWN_PROCESS, SERVICE_START_PENDING, 0, NO_ERROR, 0, 0, 0};
HANDLE stop = nullptr;

DWORD WINAPI Control(DWORD code, DWORD, void*, void*) {
  if (code == SERVICE_CONTROL_STOP) SetEvent(stop);
  return NO_ERROR;
}

void Report(DWORD state) {
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  SetServiceStatus(handle, &status);
}

void WINAPI ServiceMain(DWORD count, wchar_t** arguments) {
  stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  handle = RegisterServiceCtrlHandlerExW(count ? arguments[0] : L"", Control, nullptr);
  if (!handle) return;
  Report(SERVICE_RUNNING);
  WaitForSingleObject(stop, 120000);
  Report(SERVICE_STOPPED);
}

}  // namespace

int main() {
  wchar_t name[] = L"";
  SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherW(table) ? 0 : 1;
}
