// Program entry: load the main window and run until no window is left.
#include <windows.h>

#include "frame/FormMain.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  tk::SetApplicationTitle(L"Zorvane");
  tk::Show(FormMain::Get());
  return tk::Run();
}
