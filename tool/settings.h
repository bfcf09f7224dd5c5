// Tessera's start-up files and settings.
//
// The settings profile is the program's own path with its last four characters (".exe")
// replaced by ".ini". Its section "Common" must hold a non-empty "Program"; it may name
// under "ConfigFile" the file the settings are read from and under "DataProfile" the data
// profile, each defaulting to the settings profile itself. Paths may begin with "$(User)"
// (the application-data folder joined with "Tessera"); relative ones hang off the
// program's folder. The settings are those of the section "Job" (the selection windows'
// display and the frame widening of a drawn rectangle, see selection.h).
#pragma once

#include "raw/string.h"
#include "tool/selection.h"

namespace ToolLayer {

using RawLayer::RawString;

struct ToolSettings {
  RawString settingsProfile;
  RawString configFile;
  RawString dataProfile;
  RawString tempFolder;  // where the window list is written, with its trailing separator
  GuiSelectorSettings selector;
};

// The settings profile of a program file.
RawString SettingsProfileOf(const RawString& programPath);

enum class ToolProfileState {
  Ready,      // present with its "Program" value (or a folder: the defaults apply)
  Created,    // it was missing and has been written with [Common] Program=Tessera
  BadFormat,  // present without a non-empty "Program" in "Common"
};
// Checks the settings profile, creating it when it is missing (a profile that cannot be
// created leaves the defaults in force).
ToolProfileState CheckSettingsProfile(const RawString& path);

// Reads the file locations of the settings profile and then the settings.
ToolSettings ReadToolSettings(const RawString& settingsProfile, const RawString& programFolder);

}  // namespace ToolLayer
