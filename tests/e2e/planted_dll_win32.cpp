// A DLL planted beside a program, as a download could leave one in the folder a user unpacks
// the programs into. Built as dbghelp.dll: when any process loads it, it writes
// "planted-dll-loaded.txt" in its own folder, which the scenarios look for. It exports the one
// entry the programs once imported from that name, so a program that still imported it would
// start and show the fault instead of failing to load.
#include <windows.h>

namespace {

void WriteMarker(HMODULE self) {
  wchar_t path[MAX_PATH + 32] = {};
  const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  wchar_t* name = path + length;
  while (name > path && name[-1] != L'\\' && name[-1] != L'/') --name;
  lstrcpyW(name, L"planted-dll-loaded.txt");
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, "loaded", 6, &written, nullptr);
  CloseHandle(file);
}

}  // namespace

extern "C" __declspec(dllexport) BOOL WINAPI MiniDumpWriteDump(HANDLE, DWORD, HANDLE, int, void*, void*, void*) {
  return FALSE;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) WriteMarker(instance);
  return TRUE;
}
