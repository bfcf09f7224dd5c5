// A program that imports dbghelp.dll as the programs once did: the control of the scenarios that
// plant a DLL beside a program (the plant must reach it), and of the import-table check (which
// must reject it). It asks for nothing and exits 0.
#include <windows.h>

#include <dbghelp.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // Referenced, never called: the import is what matters.
  volatile auto entry = &MiniDumpWriteDump;
  return entry != nullptr ? 0 : 1;
}
