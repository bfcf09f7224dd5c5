// Tessera's entry point: the command line as wide text, the program's place, and one run.
#include <windows.h>

#include "raw/path.h"
#include "raw/string.h"
#include "raw/system.h"
#include "tool/desktop.h"
#include "tool/startup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // The program's folder may hold anything a user downloaded: a DLL loaded by name must never
  // come from there, where a planted one would run inside Tessera. From here on the system
  // folder is the only place searched.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  using RawLayer::RawString;
  const wchar_t* line = GetCommandLineW();
  const RawString commandLine =
      RawString::FromWide(reinterpret_cast<const char16_t*>(line), static_cast<int32_t>(lstrlenW(line)))
          .Convert(RawLayer::CodeUtf8);
  const ToolLayer::ToolProgramPlace place{RawLayer::ModulePath(), RawLayer::ProgramFolder(), RawLayer::TempFolder()};
  const auto desktop = ToolLayer::MakeToolDesktop();
  return ToolLayer::RunTool(commandLine, place, *desktop);
}
