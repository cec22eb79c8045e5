// Program entry: load the main window and run until no window is left.
// (A GUI-subsystem program; the runtime calls main for it as for a console one.)
#include "frame/FormMain.h"
#include "frame/ModuleMain.h"

int main() {
  if (ModuleMain::EndsAtLogon()) return 0;
  if (ModuleMain::HandOverToRunningCopy()) return 0;
  tk::SetApplicationTitle(L"Zorvane");
  tk::Show(FormMain::Get());
  return tk::Run();
}
