// The launcher's settings: what it reads from its files besides the buttons,
// selectors and actions. Two process-wide objects, filled on the main thread
// during start-up and only read afterwards, but for the style, which the main
// thread derives again when the window's DPI changes:
//   GuiWindowStyle  sizes of the window's parts and its fonts (the GUI profile)
//   GuiSettings     folders, switches, limits and what the command line asked for
//                   (the options and the configuration file)
//
// GUI profile, section [WindowParameter] (integers; keys ignore case; a missing
// key or one that is not a 32-bit number keeps its default):
//   Margin 4, FrameMargin 2, CaptionHeight 12, ButtonSeparator 7,
//   SelectorSeparator 5, BaseIconSize (the system's icon width), ButtonIconSize 16,
//   MenuIconSize 16
// The window follows the DPI of the monitor it is on: the style as read is kept at
// 96 DPI (Base) and the one the window draws with (Instance) is derived from it for
// the window's DPI whenever that changes (ForDpi).
// Sections [WindowFont], [MenuFont], [TipFont]: one font record each (keys below,
// GuiFontRecord). A missing [MenuFont] or [TipFont] takes the window font.
//
// Configuration file, section [Option] (keys ignore case):
//   LogFolder        path; default <temp>/Kestrel/Log
//   IconCacheFolder  path; default <temp>/Kestrel
//   MaxLogFiles 200, IconUnusedCount 60   integers
//   ViewSelector, Horizontal, ViewTip, TopMost, SysTray (off), IconCache,
//   IconDelay (on)   flags: present means on unless the value is "False" in any case
//   ButtonAlign      "Left", "Center" or "Right", exactly; anything else centres
//   IconExtension    comma-separated extensions; default "ico,exe,dll"
//   HotKey           a global key that shows or hides the launcher (job/hotkey.h); default none
//   AutoReload       flag (on): restart when the launcher profile, the GUI profile or the
//                    language file is saved by another program (app/reload_watch.h)
// A present text key replaces its default even when empty. Relative folders hang
// off the configuration file's folder; "$(User)" is the user's Kestrel folder.
#pragma once

#include <cstdint>
#include <vector>

#include "app/command_line.h"
#include "app/screen.h"
#include "app/startup.h"
#include "raw/parameter_list.h"
#include "raw/profile.h"
#include "raw/string.h"

namespace AppLayer {

using RawLayer::RawProfile;

// A font as the system describes one (the fields of a LOGFONTW), kept as data so
// that the headless build reads and writes the same records.
struct GuiFontRecord {
  static constexpr int kFaceUnits = 32;  // 31 UTF-16 units and the terminating zero
  int32_t height = 12;
  int32_t width = 0;
  int32_t escapement = 0;
  int32_t orientation = 0;
  int32_t weight = 0;
  uint8_t italic = 0;
  uint8_t underline = 0;
  uint8_t strikeOut = 0;
  uint8_t charSet = 1;  // DEFAULT_CHARSET
  uint8_t outPrecision = 0;
  uint8_t clipPrecision = 0;
  uint8_t quality = 0;
  uint8_t pitchAndFamily = 0;
  char16_t faceName[kFaceUnits] = {};

  bool operator==(const GuiFontRecord&) const = default;
};

// Font record section: Height, Width, Escapement, Orientation, Weight (32-bit),
// Italic, Underline, StrikeOut, Charset, OutPrecision, ClipPrecision, Quality,
// PitchFamily (8-bit), FaceName (at most 31 UTF-16 units, cut before a split
// character). A numeric key that is missing or not a number of its width leaves
// the field as it was; a missing FaceName empties the face name.
void ReadFontRecord(const RawParameterList& section, GuiFontRecord& font);
// All fourteen keys of a font record, for writing it back.
RawParameterList FontRecordSection(const GuiFontRecord& font);
RawString FaceNameOf(const GuiFontRecord& font);

class GuiWindowStyle {
 public:
  GuiWindowStyle();
  // The process-wide style at the main window's DPI.
  static GuiWindowStyle& Instance();
  // The process-wide style as read, sizes at 96 DPI; Instance is derived from it.
  static GuiWindowStyle& Base();

  // Reads [WindowParameter] and the three font sections of the GUI profile.
  void Load(const RawString& guiProfile);
  // Once after Load: the sizes of [WindowParameter] and their defaults are pixels
  // at 96 DPI and become pixels at `dpi`. The base icon size taken from the
  // system is real pixels already. So is a font record read from the profile
  // (the font chooser writes what the screen showed); only the built-in default
  // font is scaled, with every font that takes it.
  void ScaleTo(int32_t dpi);
  // A copy of this style (read, not yet scaled) for a window at `dpi`, on a system whose
  // own DPI is `systemDpi`: ScaleTo(dpi), and what is real pixels at the system's DPI
  // follows the window's DPI too: the base icon size taken from the system
  // (IconSizeForDpi) and the heights of the profile's font records.
  GuiWindowStyle ForDpi(int32_t dpi, int32_t systemDpi) const;

  // The DPI the sizes are for: 96 until ScaleTo.
  int32_t scaledDpi = 96;

  RawString guiProfile;
  int32_t margin = 4;  // the widget toolkit's margin
  int32_t frameMargin = 2;
  int32_t captionHeight = 12;
  int32_t buttonSeparator = 7;
  int32_t selectorSeparator = 5;
  int32_t baseIconSize;
  int32_t buttonIconSize = 16;
  int32_t menuIconSize = 16;
  GuiFontRecord windowFont;
  GuiFontRecord menuFont;
  GuiFontRecord tipFont;
  // The [WindowFont] section as read, or the default window font as a record.
  RawParameterList windowFontRecord;

 private:
  bool baseIconFromProfile_ = false;
  bool windowFontFromProfile_ = false;
  bool menuFontFromProfile_ = false;
  bool tipFontFromProfile_ = false;
};

// A length in pixels at 96 DPI as pixels at `dpi`, rounded half away from zero
// (a font height keeps its sign); an unusable dpi leaves it.
int32_t ScalePixels(int32_t pixels, int32_t dpi);
// The same between any two DPIs; an unusable DPI on either side leaves the length.
int32_t ScalePixelsBetween(int32_t pixels, int32_t fromDpi, int32_t toDpi);
// The DPI of the screen the window is drawn on (the headless build: 96). This is the
// system's DPI, which every window has where the system knows no other.
int32_t ScreenDpi();
// The DPI of the monitor nearest to a screen point (the headless build: 96).
int32_t MonitorDpiAt(int32_t x, int32_t y);
// The DPI the main window opens at: that of the monitor under the corner of the place stored in
// the GUI profile ([MainDialog], app/main_layout.h), else the system's, since without a stored
// place the window opens on the primary monitor. Deriving the style for it from the start
// extracts and caches the icons at the size the window will show, start after start.
// `dpiAt` asks for a monitor's DPI (tests pass their own).
int32_t StartDpi(const RawString& guiProfile, int32_t (*dpiAt)(int32_t x, int32_t y) = &MonitorDpiAt);
// The size of icons extracted for a window at `dpi`: the system's icon size `systemSize`
// (real pixels at `systemDpi`) scaled to `dpi`, rounded, and kept within 1 to 256 pixels
// (the largest icon a file holds). An unusable DPI on either side leaves `systemSize`.
int32_t IconSizeForDpi(int32_t systemSize, int32_t systemDpi, int32_t dpi);

// The standard icon width of the system (the headless build: 32).
int32_t SystemIconWidth();

enum GuiButtonAlign : int32_t { AlignLeft = 0, AlignCenter = 1, AlignRight = 2 };

// Every configuration file gets an icon-cache subfolder of its own, named by a
// hash of its path and claimed by an identity file "IconCache.ini" holding
// [Identify] Profile=<key>. The key is the path with a to z in upper case.
RawString IconCacheKey(const RawString& configFile);
// "CACHE_" and eight upper-case hexadecimal digits of the key's hash.
RawString IconCacheBaseName(const RawString& key);
// Finds or makes the subfolder of `cacheFolder` that belongs to `key`: the base
// name, else the base name followed by 0, 1, ... when another key holds it.
// `subfolder` is the folder tried last; false when it could not be made or
// claimed.
[[nodiscard]] bool ChooseIconCacheFolder(const RawString& cacheFolder, const RawString& key, RawString& subfolder);

// What a key of [Option] or [WindowParameter] holds, for the profile checker.
enum class GuiSettingKind { Number, Flag, Text, Align, HotKey };
struct GuiSettingKey {
  const char* key;
  GuiSettingKind kind;
};
// The keys the settings read from [Option] and from [WindowParameter] (keys ignore case); the
// settings read no other key.
const std::vector<GuiSettingKey>& OptionKeys();
const std::vector<GuiSettingKey>& WindowParameterKeys();
// True when a Number key takes the text (a whole number of 32 bits); any other text leaves the
// key's default.
bool IsSettingNumber(const RawString& text);

class GuiSettings {
 public:
  GuiSettings();
  // The process-wide settings.
  static GuiSettings& Instance();

  // Takes the configuration file, the options and [Option], then resolves the
  // folders (defaults under `tempFolder`) and the icon-cache subfolder. False when
  // that subfolder could not be made or claimed; the settings are complete anyway.
  [[nodiscard]] bool Load(const RawString& configFile, const RawParameterList& options, const RawString& tempFolder);

  // The arguments of a restarted instance that is to end process `processId`.
  RawString BuildRestartArguments(uint32_t processId) const;

  RawProfile configFile;  // both paths set to the configuration file
  RawString logFolder;
  RawString iconCacheFolder;
  RawString iconCacheSubfolder;
  RawString iconCacheIdentityFile;
  // Run kind and name, first argument, the arguments and the restart process id.
  GuiCommandLine commandLine;
  // Every argument that is not an option, each in double quotes, one blank apart.
  RawString argumentList;
  RawString iconExtensions = "ico,exe,dll";
  RawString logLetters = "UCPV";
  int32_t maxLogFiles = 200;
  int32_t iconUnusedCount = 60;
  bool viewSelector = false;
  bool horizontal = false;
  bool viewTip = false;
  bool topMost = false;
  bool sysTray = false;
  bool iconCache = true;
  bool iconDelay = true;
  int32_t buttonAlign = AlignCenter;
  RawString hotKey;  // as written; empty: none
  bool autoReload = true;
  // Shares the command-line option list of the start-up.
  RawParameterList options;

 private:
  void ApplyOptions(const RawParameterList& section);
  void ResolveFolders(const RawString& tempFolder);
};

// The settings as the start-up's Configuration service: fills the process-wide
// style and settings and tells the user when the icon cache has no folder.
class GuiConfiguration : public GuiStartup::Configuration {
 public:
  GuiConfiguration(GuiStartupScreen& screen, const RawString& tempFolder) : screen_(screen), tempFolder_(tempFolder) {}
  void LoadWindowStyle(const RawString& guiProfile) override;
  void LoadSettings(const RawString& configFile, const RawParameterList& options) override;

 private:
  GuiStartupScreen& screen_;
  RawString tempFolder_;
};

}  // namespace AppLayer
