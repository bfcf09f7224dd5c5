#include "tool/settings.h"

#include <vector>

#include "raw/file.h"
#include "raw/parameter_list.h"
#include "raw/path.h"
#include "raw/profile.h"
#include "tool/options.h"

namespace ToolLayer {

using RawLayer::RawParameterList;
using RawLayer::RawParameterUnit;
using RawLayer::RawPathKind;
using RawLayer::RawProfile;

namespace {

constexpr char kCommon[] = "Common";

// The text without its last `count` characters (whole characters, so a name in any
// script stays valid UTF-8); unchanged when it is not longer than that.
RawString DropLastCharacters(const RawString& text, int32_t count) {
  std::vector<int32_t> starts;
  for (int32_t at = 0; at < text.Length(); at += 1 + text.CharExtra(at)) starts.push_back(at);
  if (static_cast<int32_t>(starts.size()) <= count) return text;
  return text.Sub({0, starts[starts.size() - count]});
}

RawString ResolveCommonPath(const RawString& value, const RawString& programFolder) {
  const RawString expanded = RawLayer::ExpandUser(value, kToolName);
  if (RawLayer::IsAbsolutePath(expanded)) return expanded;
  return RawLayer::ResolvePath(expanded, programFolder);
}

}  // namespace

RawString SettingsProfileOf(const RawString& programPath) {
  RawString path = DropLastCharacters(programPath, 4);
  path.Append(".ini");
  return path;
}

ToolProfileState CheckSettingsProfile(const RawString& path) {
  RawProfile profile(path);
  switch (RawLayer::PathKind(path)) {
    case RawPathKind::Missing:
      (void)profile.SetValue(kCommon, "Program", kToolName);
      return ToolProfileState::Created;
    case RawPathKind::Folder:
      return ToolProfileState::Ready;
    case RawPathKind::File:
      break;
  }
  if (profile.GetValue(kCommon, "Program", RawString()).IsEmpty()) return ToolProfileState::BadFormat;
  return ToolProfileState::Ready;
}

ToolSettings ReadToolSettings(const RawString& settingsProfile, const RawString& programFolder) {
  ToolSettings settings;
  settings.settingsProfile = settingsProfile;
  settings.configFile = settingsProfile;
  settings.dataProfile = settingsProfile;
  RawParameterList common;
  if (RawProfile(settingsProfile).ReadSection(kCommon, common)) {
    if (const RawParameterUnit* unit = common.Find("ConfigFile"); unit != nullptr && !unit->value.IsEmpty()) {
      settings.configFile = ResolveCommonPath(unit->value, programFolder);
    }
    if (const RawParameterUnit* unit = common.Find("DataProfile"); unit != nullptr && !unit->value.IsEmpty()) {
      settings.dataProfile = ResolveCommonPath(unit->value, programFolder);
    }
  }
  settings.selector = LoadSelectorSettings(settings.configFile);
  return settings;
}

}  // namespace ToolLayer
