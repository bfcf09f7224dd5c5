#include "app/profile_check.h"

#include <string>

#include "app/settings.h"
#include "job/hotkey.h"
#include "raw/path.h"
#include "raw/profile.h"

namespace AppLayer {

using JobLayer::JobDiagnostics;
using RawLayer::JoinedUtf8;
using RawLayer::RawRangedTextList;

namespace {

// A switch value that a user writes to mean "off" but that the settings take for on.
bool LooksLikeOff(const RawString& value) {
  for (const char* off : {"0", "No", "Off", "N", "F", "Disabled", "Disable"}) {
    if (value.EqualNoCase(RawLayer::kWhole, RawString::FromUtf8(off))) return true;
  }
  return false;
}

// [Option] and [WindowParameter], read as the settings read them: the key before the first "=",
// the value after it, neither trimmed, and keys that ignore case.
class SettingsSections : public JobLayer::JobProfileChecker::SectionCheck {
 public:
  explicit SettingsSections(bool options) : options_(options) {}

  bool Knows(const RawString& section) const override {
    return section.EqualNoCase(RawLayer::kWhole, RawString::FromUtf8(options_ ? "Option" : "WindowParameter"));
  }

  void Check(const RawString& path, const RawString& section, int32_t, const RawRangedTextList& lines,
             JobDiagnostics& out) override {
    const std::vector<GuiSettingKey>& keys = options_ ? OptionKeys() : WindowParameterKeys();
    const RawString where = JoinedUtf8({"[", section, "] "});
    for (const RawLayer::RawRangedTextUnit& line : lines) {
      const int32_t number = line.line + 1;
      const RawString& text = line.text;
      const int32_t equal = text.Find('=');
      const RawString key = text.Sub({0, equal});
      const RawString value = equal < text.Length() ? text.Sub({equal + 1, text.Length()}) : RawString();
      const GuiSettingKey* known = Find(keys, key);
      if (known == nullptr) {
        const RawString trimmed = key.Sub(key.Trim(RawLayer::kWhole, RawLayer::kBlanks));
        if (Find(keys, trimmed) != nullptr) {
          out.Warning(path, number, JoinedUtf8({where, "blanks around the key \"", trimmed,
                                          "\": the key is not found and the default is used"}));
        } else {
          out.Warning(path, number, JoinedUtf8({where, "\"", key, "\" is not a key the launcher reads"}));
        }
        continue;
      }
      switch (known->kind) {
        case GuiSettingKind::Number:
          if (!IsSettingNumber(value)) {
            out.Warning(path, number, JoinedUtf8({where, "\"", key, "=", value,
                                            "\" is not a whole number: the default is used"}));
          }
          break;
        case GuiSettingKind::Flag:
          if (LooksLikeOff(value)) {
            out.Warning(path, number, JoinedUtf8({where, "\"", key, "=", value,
                                            "\" counts as on: only \"False\" turns a switch off"}));
          }
          break;
        case GuiSettingKind::Align:
          if (value != RawString("Left") && value != RawString("Center") && value != RawString("Right")) {
            out.Warning(path, number, JoinedUtf8({where, "\"", key, "=", value,
                                            "\" is none of Left, Center, Right (as written): buttons are centred"}));
          }
          break;
        case GuiSettingKind::HotKey: {
          JobLayer::JobHotKey hotKey;
          RawString why;
          if (!JobLayer::ParseHotKey(value, hotKey, why)) {
            out.Error(path, number, JoinedUtf8({where, "HotKey=", JobLayer::HotKeyQuote(value), ": ", why}));
          }
          break;
        }
        case GuiSettingKind::Text: break;
      }
    }
  }

 private:
  static const GuiSettingKey* Find(const std::vector<GuiSettingKey>& keys, const RawString& key) {
    for (const GuiSettingKey& entry : keys) {
      if (key.EqualNoCase(RawLayer::kWhole, RawString::FromUtf8(entry.key))) return &entry;
    }
    return nullptr;
  }

  bool options_;
};

// Both sections, for a launcher profile that is also the GUI profile.
class BothSections : public JobLayer::JobProfileChecker::SectionCheck {
 public:
  bool Knows(const RawString& section) const override { return options_.Knows(section) || window_.Knows(section); }
  void Check(const RawString& path, const RawString& section, int32_t header, const RawRangedTextList& lines,
             JobDiagnostics& out) override {
    (options_.Knows(section) ? options_ : window_).Check(path, section, header, lines, out);
  }

 private:
  SettingsSections options_{true};
  SettingsSections window_{false};
};

}  // namespace

JobDiagnostics CheckLauncherFiles(const GuiStartupFiles& files) {
  JobDiagnostics out;
  if (RawLayer::PathKind(files.startupProfile) == RawLayer::RawPathKind::File &&
      RawLayer::RawProfile(files.startupProfile).GetValue("Common", "Program", RawString()).IsEmpty()) {
    out.Error(files.startupProfile, 1,
              RawString("[Common] has no \"Program\" value: the launcher refuses this start-up profile"));
  }
  JobLayer::JobProfileChecker checker(out);
  const bool oneFile = files.guiProfile == files.configFile;
  BothSections both;
  SettingsSections options(true);
  checker.SetSectionCheck(oneFile ? static_cast<JobLayer::JobProfileChecker::SectionCheck*>(&both) : &options);
  checker.CheckLauncherProfile(files.configFile);
  if (!oneFile && !files.guiProfile.IsEmpty() &&
      RawLayer::PathKind(files.guiProfile) == RawLayer::RawPathKind::File) {
    SettingsSections window(false);
    checker.SetSectionCheck(&window);
    checker.CheckSettingsFile(files.guiProfile);
  }
  return out;
}

}  // namespace AppLayer
