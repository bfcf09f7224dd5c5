// Kestrel's entry point on Windows: the wide command line, the crash dump, COM
// for the main thread, the execution log, and the start-up with the message-box
// screen.
#include <windows.h>

#include <objbase.h>

#include <cwchar>

#include "app/job_screen.h"
#include "app/launcher.h"
#include "app/main_window.h"
#include "app/restart.h"
#include "app/script_menu.h"
#include "app/screen.h"
#include "app/settings.h"
#include "app/startup.h"
#include "job/abort.h"
#include "job/menu_host.h"
#include "raw/system.h"
#include "win/view.h"

namespace {

class ComApartment : public AppLayer::GuiStartup::Apartment {
 public:
  bool Enter() override { return SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)); }
  void Leave() override { CoUninitialize(); }
};

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // Users unpack the program into any folder, often one full of downloads: a DLL loaded by name
  // must never come from there, where a planted one would run inside the launcher. From here on
  // the system folder is the only place searched.
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  WinLayer::SetWinInstance(instance);
  const wchar_t* line = GetCommandLineW();
  const RawLayer::RawString commandLine = RawLayer::RawString::FromWide(
      reinterpret_cast<const char16_t*>(line), static_cast<int32_t>(std::wcslen(line)));
  const std::unique_ptr<AppLayer::GuiStartupScreen> screen = AppLayer::MakeStartupScreen();
  AppLayer::GuiCrashDump crashHook(RawLayer::TempFolder());
  ComApartment apartment;
  AppLayer::GuiExecutionLog executionLog;
  AppLayer::GuiEarlierInstance earlierInstance;
  AppLayer::GuiConfiguration configuration(*screen, RawLayer::TempFolder());
  AppLayer::GuiLauncherProfile launcherProfile;
  AppLayer::GuiCommandLineRun commandLineRun;
  AppLayer::GuiIcons icons;
  AppLayer::GuiMainWindow mainWindow;
  // Script errors and questions go to real dialogs.
  JobLayer::SetScreen(&AppLayer::GuiJobScreen());
  // Script menus are real pop-up menus.
  JobLayer::SetMenuHost(&AppLayer::GuiScriptMenuHost());
  AppLayer::GuiStartup::Services services;
  services.crashHook = &crashHook;
  services.apartment = &apartment;
  services.executionLog = &executionLog;
  services.earlierInstance = &earlierInstance;
  services.configuration = &configuration;
  services.icons = &icons;
  services.launcherProfile = &launcherProfile;
  services.commandLineRun = &commandLineRun;
  services.mainWindow = &mainWindow;
  // An interrupt (Ctrl+C) stops a running loop or wait as Escape does, so the log is not cut off.
  JobLayer::InstallAbortHandler();
  AppLayer::GuiStartup startup(AppLayer::GuiProgramPlace::OfThisProgram(), *screen);
  return startup.Run(commandLine, services);
}
