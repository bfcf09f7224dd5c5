// The headless Kestrel: the same start-up as on Windows, with the usage on
// standard output and messages on standard error; a crash leaves a text report.
#include <string_view>

#include "app/launcher.h"
#include "app/screen.h"
#include "app/settings.h"
#include "app/startup.h"
#include "job/abort.h"
#include "raw/system.h"

namespace {

// The tokeniser reads one line as Windows hands it over, so the arguments are
// joined again; those that are empty or hold blanks go in double quotes.
RawLayer::RawString JoinArguments(int argc, char** argv) {
  RawLayer::RawString line;
  for (int i = 0; i < argc; ++i) {
    const std::string_view argument(argv[i]);
    if (i > 0) line.Append(" ");
    const bool quote = argument.empty() || argument.find_first_of(" \t") != std::string_view::npos;
    if (quote) line.Append("\"");
    line.Append(RawLayer::RawString::FromUtf8(argument));
    if (quote) line.Append("\"");
  }
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  const std::unique_ptr<AppLayer::GuiStartupScreen> screen = AppLayer::MakeStartupScreen();
  AppLayer::GuiConfiguration configuration(*screen, RawLayer::TempFolder());
  AppLayer::GuiCrashDump crashHook(RawLayer::TempFolder());
  AppLayer::GuiExecutionLog executionLog;
  AppLayer::GuiLauncherProfile launcherProfile;
  AppLayer::GuiCommandLineRun commandLineRun;
  AppLayer::GuiStartup::Services services;
  services.crashHook = &crashHook;
  services.configuration = &configuration;
  services.executionLog = &executionLog;
  services.launcherProfile = &launcherProfile;
  services.commandLineRun = &commandLineRun;
  // An interrupt (Ctrl+C) stops a running loop or wait as Escape does, so the log is not cut off.
  JobLayer::InstallAbortHandler();
  AppLayer::GuiStartup startup(AppLayer::GuiProgramPlace::OfThisProgram(), *screen);
  return startup.Run(JoinArguments(argc, argv), services);
}
