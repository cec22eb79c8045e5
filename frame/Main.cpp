// Program entry: a run of the command line, or the main window until no window is left.
// (A GUI-subsystem program; the runtime calls main for it as for a console one.)
#include "frame/FormMain.h"
#include "frame/ModuleCommandLine.h"
#include "frame/ModuleMain.h"

int main() {
  if (ModuleCommandLine::Given()) return ModuleCommandLine::Run();
  if (ModuleMain::EndsAtLogon()) return 0;
  if (ModuleMain::HandOverToRunningCopy()) return 0;
  tk::SetApplicationTitle(L"Zorvane");
  tk::Show(FormMain::Get());
  return tk::Run();
}
