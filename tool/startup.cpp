#include "tool/startup.h"

#include "raw/parameter_list.h"
#include "tool/messages.h"
#include "tool/work.h"

namespace ToolLayer {

ToolOptions ReadToolOptions(const RawString& commandLine) {
  RawParameterList list;
  ReadToolCommandLine(commandLine, list);
  ToolOptions options;
  ApplyOptions(list, options);
  return options;
}

int RunTool(const RawString& commandLine, const ToolProgramPlace& place, ToolDesktop& desktop) {
  RegisterToolMessages();
  // Reading the options has no effect of its own; doing it first lets -z silence the
  // profile's complaint too.
  const ToolOptions options = ReadToolOptions(commandLine);
  const RawString settingsProfile = SettingsProfileOf(place.programPath);
  if (CheckSettingsProfile(settingsProfile) == ToolProfileState::BadFormat) {
    if (!options.Has(FlagQuiet)) desktop.ShowMessage(ToolMessageText(ToolMessage::BadFormatProfile), true);
    return 0;
  }
  if (options.usage) {
    desktop.ShowMessage(kUsageText, false);
    return 0;
  }
  ToolSettings settings = ReadToolSettings(settingsProfile, place.programFolder);
  settings.tempFolder = place.tempFolder;
  ToolWork(desktop, settings, options).Run();
  return 0;
}

}  // namespace ToolLayer
