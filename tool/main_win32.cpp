// Tessera's entry point: the command line as wide text, the program's place, and one run.
#include <windows.h>

#include "raw/path.h"
#include "raw/string.h"
#include "raw/system.h"
#include "tool/desktop.h"
#include "tool/startup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  using RawLayer::RawString;
  const wchar_t* line = GetCommandLineW();
  const RawString commandLine =
      RawString::FromWide(reinterpret_cast<const char16_t*>(line), static_cast<int32_t>(lstrlenW(line)))
          .Convert(RawLayer::CodeUtf8);
  const ToolLayer::ToolProgramPlace place{RawLayer::ModulePath(), RawLayer::ProgramFolder(), RawLayer::TempFolder()};
  const auto desktop = ToolLayer::MakeToolDesktop();
  return ToolLayer::RunTool(commandLine, place, *desktop);
}
