// Tessera's entry point. Its start-up (command line, data sections, window matching) comes
// later; until then the program starts and ends without doing anything.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  return 0;
}
