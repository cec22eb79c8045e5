// Program entry: load the main window and run until no window is left.
// (A GUI-subsystem program; the runtime calls main for it as for a console one.)
#include "frame/FormMain.h"

int main() {
  tk::SetApplicationTitle(L"Zorvane");
  tk::Show(FormMain::Get());
  return tk::Run();
}
