// A harmless stand-in process for the tests: it waits until it is ended.
#include <windows.h>

int main() {
  Sleep(120000);
  return 3;
}
