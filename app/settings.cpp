#include "app/settings.h"

#include <algorithm>
#include <iterator>
#include <limits>
#include <string>

#include "app/main_layout.h"
#include "raw/file.h"
#include "raw/locale.h"
#include "raw/path.h"

namespace AppLayer {

using RawLayer::CodeUtf8;
using RawLayer::JoinPath;
using RawLayer::RawParameterUnit;

namespace {

constexpr char kAppName[] = "Kestrel";
constexpr char kIdentitySection[] = "Identify";
constexpr char kIdentityKey[] = "Profile";
constexpr char kIdentityFile[] = "IconCache.ini";
constexpr int32_t kConfigBufferSize = 8192;
// The sizes of the GUI profile are pixels at this DPI (100 %).
constexpr int32_t kBaseDpi = 96;

// A number of the wanted range, or false: a garbage or out-of-range value must
// not become a size of zero or a wrapped font weight.
template <typename Number>
bool ParseNumber(const RawString& text, Number& out) {
  int64_t value = 0;
  if (!text.ParseInteger(RawLayer::kWhole, value)) return false;
  if (value < std::numeric_limits<Number>::min() || value > std::numeric_limits<Number>::max()) return false;
  out = static_cast<Number>(value);
  return true;
}

template <typename Number>
void ReadNumber(const RawParameterList& section, const RawString& key, Number& field) {
  if (const RawParameterUnit* unit = section.Find(key)) (void)ParseNumber(unit->value, field);
}

void ReadFlag(const RawParameterList& section, const RawString& key, bool& flag) {
  if (const RawParameterUnit* unit = section.Find(key)) flag = !unit->value.EqualNoCase(RawLayer::kWhole, "False");
}

void ReadText(const RawParameterList& section, const RawString& key, RawString& text) {
  if (const RawParameterUnit* unit = section.Find(key)) text = unit->value;
}

int32_t ButtonAlignOf(const RawString& value) {
  if (value == "Left") return AlignLeft;
  if (value == "Right") return AlignRight;
  return AlignCenter;
}

RawString FolderOf(const RawString& file) {
  const int32_t last = file.FindLastSeparator();
  if (last >= file.Length()) return RawString();
  return file.Sub({0, last == 0 ? 1 : last});
}

// A configured folder: "$(User)" expanded; relative ones hang off `base`.
RawString ResolveFolder(const RawString& value, const RawString& base) {
  const RawString expanded = RawLayer::ExpandUser(value, kAppName);
  if (RawLayer::IsAbsolutePath(expanded)) return expanded;
  return RawLayer::ResolvePath(expanded, base);
}

// Claims `folder` for `key` by writing its identity file.
bool Claim(const RawString& folder, const RawString& key) {
  return RawProfile(JoinPath(folder, kIdentityFile)).SetValue(kIdentitySection, kIdentityKey, key);
}

// The numeric fields of a font record with their keys, in the order they are
// written; one list for reading and writing.
template <class Record, class Visit>
void ForEachFontNumber(Record& font, Visit&& visit) {
  visit("Height", font.height);
  visit("Width", font.width);
  visit("Escapement", font.escapement);
  visit("Orientation", font.orientation);
  visit("Weight", font.weight);
  visit("Italic", font.italic);
  visit("Underline", font.underline);
  visit("StrikeOut", font.strikeOut);
  visit("Charset", font.charSet);
  visit("OutPrecision", font.outPrecision);
  visit("ClipPrecision", font.clipPrecision);
  visit("Quality", font.quality);
  visit("PitchFamily", font.pitchAndFamily);
}

}  // namespace

void ReadFontRecord(const RawParameterList& section, GuiFontRecord& font) {
  ForEachFontNumber(font, [&](const auto& key, auto& field) { ReadNumber(section, key, field); });

  std::u16string face;
  if (const RawParameterUnit* unit = section.Find("FaceName")) face = unit->value.ToWide();
  size_t kept = std::min<size_t>(face.size(), GuiFontRecord::kFaceUnits - 1);
  // Half a surrogate pair would be a broken character in the system's font list.
  if (kept > 0 && kept < face.size() && face[kept - 1] >= 0xD800 && face[kept - 1] <= 0xDBFF) --kept;
  std::fill(std::begin(font.faceName), std::end(font.faceName), u'\0');
  std::copy_n(face.begin(), kept, font.faceName);
}

RawString FaceNameOf(const GuiFontRecord& font) {
  int32_t length = 0;
  while (length < GuiFontRecord::kFaceUnits && font.faceName[length] != u'\0') ++length;
  return RawString::FromWide(font.faceName, length).Convert(CodeUtf8);
}

RawParameterList FontRecordSection(const GuiFontRecord& font) {
  RawParameterList section;
  ForEachFontNumber(font, [&](const auto& key, const auto& field) { section.SetInteger(key, field); });
  section.SetValue("FaceName", FaceNameOf(font));
  return section;
}

GuiWindowStyle::GuiWindowStyle() : baseIconSize(SystemIconWidth()) {}

GuiWindowStyle& GuiWindowStyle::Instance() {
  static GuiWindowStyle style;
  return style;
}

GuiWindowStyle& GuiWindowStyle::Base() {
  static GuiWindowStyle style;
  return style;
}

void GuiWindowStyle::Load(const RawString& path) {
  guiProfile = path;
  RawProfile profile(path);
  RawParameterList parameters;
  if (profile.ReadSection("WindowParameter", parameters)) {
    ReadNumber(parameters, "Margin", margin);
    ReadNumber(parameters, "FrameMargin", frameMargin);
    ReadNumber(parameters, "CaptionHeight", captionHeight);
    ReadNumber(parameters, "ButtonSeparator", buttonSeparator);
    ReadNumber(parameters, "SelectorSeparator", selectorSeparator);
    if (const RawParameterUnit* unit = parameters.Find("BaseIconSize")) {
      baseIconFromProfile_ = ParseNumber(unit->value, baseIconSize);
    }
    ReadNumber(parameters, "ButtonIconSize", buttonIconSize);
    ReadNumber(parameters, "MenuIconSize", menuIconSize);
  }

  RawParameterList section;
  windowFontFromProfile_ = profile.ReadSection("WindowFont", section);
  if (windowFontFromProfile_) {
    windowFontRecord = section;
    ReadFontRecord(windowFontRecord, windowFont);
  } else {
    windowFontRecord = FontRecordSection(windowFont);
  }
  // A menu or tip font of its own, else the window font.
  menuFontFromProfile_ = profile.ReadSection("MenuFont", section);
  ReadFontRecord(menuFontFromProfile_ ? section : windowFontRecord, menuFont);
  menuFontFromProfile_ = menuFontFromProfile_ || windowFontFromProfile_;
  tipFontFromProfile_ = profile.ReadSection("TipFont", section);
  ReadFontRecord(tipFontFromProfile_ ? section : windowFontRecord, tipFont);
  tipFontFromProfile_ = tipFontFromProfile_ || windowFontFromProfile_;
}

void GuiWindowStyle::ScaleTo(int32_t dpi) {
  for (int32_t* size : {&margin, &frameMargin, &captionHeight, &buttonSeparator, &selectorSeparator, &buttonIconSize,
                        &menuIconSize}) {
    *size = ScalePixels(*size, dpi);
  }
  if (baseIconFromProfile_) baseIconSize = ScalePixels(baseIconSize, dpi);
  if (!windowFontFromProfile_) {
    windowFont.height = ScalePixels(windowFont.height, dpi);
    windowFontRecord = FontRecordSection(windowFont);
  }
  if (!menuFontFromProfile_) menuFont.height = ScalePixels(menuFont.height, dpi);
  if (!tipFontFromProfile_) tipFont.height = ScalePixels(tipFont.height, dpi);
  if (dpi > 0) scaledDpi = dpi;
}

GuiWindowStyle GuiWindowStyle::ForDpi(int32_t dpi, int32_t systemDpi) const {
  GuiWindowStyle style = *this;
  style.ScaleTo(dpi);
  if (!baseIconFromProfile_) style.baseIconSize = IconSizeForDpi(baseIconSize, systemDpi, dpi);
  // A font record of the profile is what the screen showed at the system's DPI.
  const auto follow = [&](bool fromProfile, GuiFontRecord& font) {
    if (fromProfile) font.height = ScalePixelsBetween(font.height, systemDpi, dpi);
  };
  follow(windowFontFromProfile_, style.windowFont);
  follow(menuFontFromProfile_, style.menuFont);
  follow(tipFontFromProfile_, style.tipFont);
  if (windowFontFromProfile_) style.windowFontRecord.SetInteger("Height", style.windowFont.height);
  return style;
}

int32_t IconSizeForDpi(int32_t systemSize, int32_t systemDpi, int32_t dpi) {
  if (systemDpi <= 0 || dpi <= 0 || systemDpi == dpi) return systemSize;
  constexpr int32_t kLargestIcon = 256;
  return std::clamp(ScalePixelsBetween(systemSize, systemDpi, dpi), 1, kLargestIcon);
}

int32_t ScalePixels(int32_t pixels, int32_t dpi) { return ScalePixelsBetween(pixels, kBaseDpi, dpi); }

int32_t ScalePixelsBetween(int32_t pixels, int32_t fromDpi, int32_t toDpi) {
  if (fromDpi <= 0 || toDpi <= 0 || fromDpi == toDpi) return pixels;
  const int64_t product = int64_t{pixels} * toDpi;
  const int64_t half = fromDpi / 2;
  const int64_t scaled = product >= 0 ? (product + half) / fromDpi : (product - half) / fromDpi;
  return static_cast<int32_t>(std::clamp<int64_t>(scaled, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

int32_t StartDpi(const RawString& guiProfile, int32_t (*dpiAt)(int32_t x, int32_t y)) {
  GuiStoredRect stored;
  if (!ReadStoredWindowRect(guiProfile, stored)) return ScreenDpi();
  // The window keeps the stored edges; a corner needs one edge of each direction.
  if ((!stored.hasLeft && !stored.hasRight) || (!stored.hasTop && !stored.hasBottom)) return ScreenDpi();
  const int32_t x = stored.hasLeft ? stored.rect.left : stored.rect.right - 1;
  const int32_t y = stored.hasTop ? stored.rect.top : stored.rect.bottom - 1;
  return dpiAt(x, y);
}

RawString IconCacheKey(const RawString& configFile) {
  std::string key = configFile.Convert(CodeUtf8).ToUtf8();
  for (char& c : key) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return RawString::FromUtf8(key);
}

RawString IconCacheBaseName(const RawString& key) {
  uint32_t hash = 0;
  for (const char c : key.Convert(CodeUtf8).View()) {
    hash += static_cast<unsigned char>(c);
    hash = (hash << 1) | (hash >> 31);
  }
  RawString name("CACHE_");
  constexpr char kDigits[] = "0123456789ABCDEF";
  for (int shift = 28; shift >= 0; shift -= 4) name.AppendChar(static_cast<unsigned char>(kDigits[(hash >> shift) & 0xF]));
  return name;
}

bool ChooseIconCacheFolder(const RawString& cacheFolder, const RawString& key, RawString& subfolder) {
  const RawString baseName = IconCacheBaseName(key);
  subfolder = JoinPath(cacheFolder, baseName);
  // Every round either ends or passes a folder that another key holds, so the
  // walk ends at the first free name.
  for (int64_t n = 0;; ++n) {
    if (RawLayer::PathKind(subfolder) != RawLayer::RawPathKind::Folder) {
      return RawLayer::EnsureFolder(subfolder) && Claim(subfolder, key);
    }
    const RawString holder =
        RawProfile(JoinPath(subfolder, kIdentityFile)).GetValue(kIdentitySection, kIdentityKey, RawString());
    if (holder.IsEmpty()) return Claim(subfolder, key);
    if (holder == key) return true;
    RawString name = baseName;
    name.AppendInteger(n);
    subfolder = JoinPath(cacheFolder, name);
  }
}

GuiSettings::GuiSettings() { configFile.SetBufferSize(kConfigBufferSize); }

GuiSettings& GuiSettings::Instance() {
  static GuiSettings settings;
  return settings;
}

bool GuiSettings::Load(const RawString& path, const RawParameterList& optionList, const RawString& tempFolder) {
  // The start-up has already weighed [Common], "-c" and a bare ".ini" argument.
  configFile.SetPath(path);
  options = optionList;
  commandLine = ReadOptions(options);
  argumentList.Clear();
  for (const RawString& argument : commandLine.arguments) {
    if (!argumentList.IsEmpty()) argumentList.Append(" ");
    argumentList.AppendAll("\"", argument, "\"");
  }

  RawParameterList section;
  if (configFile.ReadSection("Option", section)) ApplyOptions(section);
  ResolveFolders(tempFolder);

  const bool chosen = ChooseIconCacheFolder(iconCacheFolder, IconCacheKey(path), iconCacheSubfolder);
  iconCacheIdentityFile = JoinPath(iconCacheSubfolder, kIdentityFile);
  return chosen;
}

// Kept in step with ApplyOptions and GuiWindowStyle::Load.
const std::vector<GuiSettingKey>& OptionKeys() {
  static const std::vector<GuiSettingKey> keys = {
      {"LogFolder", GuiSettingKind::Text},       {"IconCacheFolder", GuiSettingKind::Text},
      {"MaxLogFiles", GuiSettingKind::Number},   {"ViewSelector", GuiSettingKind::Flag},
      {"Horizontal", GuiSettingKind::Flag},      {"ViewTip", GuiSettingKind::Flag},
      {"TopMost", GuiSettingKind::Flag},         {"SysTray", GuiSettingKind::Flag},
      {"IconCache", GuiSettingKind::Flag},       {"IconDelay", GuiSettingKind::Flag},
      {"ButtonAlign", GuiSettingKind::Align},    {"IconExtension", GuiSettingKind::Text},
      {"IconUnusedCount", GuiSettingKind::Number}, {"HotKey", GuiSettingKind::HotKey},
      {"AutoReload", GuiSettingKind::Flag},
  };
  return keys;
}

const std::vector<GuiSettingKey>& WindowParameterKeys() {
  static const std::vector<GuiSettingKey> keys = {
      {"Margin", GuiSettingKind::Number},          {"FrameMargin", GuiSettingKind::Number},
      {"CaptionHeight", GuiSettingKind::Number},   {"ButtonSeparator", GuiSettingKind::Number},
      {"SelectorSeparator", GuiSettingKind::Number}, {"BaseIconSize", GuiSettingKind::Number},
      {"ButtonIconSize", GuiSettingKind::Number},  {"MenuIconSize", GuiSettingKind::Number},
  };
  return keys;
}

bool IsSettingNumber(const RawString& text) {
  int32_t value = 0;
  return ParseNumber(text, value);
}

void GuiSettings::ApplyOptions(const RawParameterList& section) {
  ReadText(section, "LogFolder", logFolder);
  ReadText(section, "IconCacheFolder", iconCacheFolder);
  ReadNumber(section, "MaxLogFiles", maxLogFiles);
  ReadFlag(section, "ViewSelector", viewSelector);
  ReadFlag(section, "Horizontal", horizontal);
  ReadFlag(section, "ViewTip", viewTip);
  ReadFlag(section, "TopMost", topMost);
  ReadFlag(section, "SysTray", sysTray);
  ReadFlag(section, "IconCache", iconCache);
  ReadFlag(section, "IconDelay", iconDelay);
  if (const RawParameterUnit* unit = section.Find("ButtonAlign")) buttonAlign = ButtonAlignOf(unit->value);
  ReadText(section, "IconExtension", iconExtensions);
  ReadNumber(section, "IconUnusedCount", iconUnusedCount);
  ReadText(section, "HotKey", hotKey);
  ReadFlag(section, "AutoReload", autoReload);
}

void GuiSettings::ResolveFolders(const RawString& tempFolder) {
  const RawString base = FolderOf(configFile.Source());
  const RawString ownTemp = JoinPath(tempFolder, kAppName);
  logFolder = logFolder.IsEmpty() ? JoinPath(ownTemp, "Log") : ResolveFolder(logFolder, base);
  iconCacheFolder = iconCacheFolder.IsEmpty() ? ownTemp : ResolveFolder(iconCacheFolder, base);
}

RawString GuiSettings::BuildRestartArguments(uint32_t processId) const {
  return AppLayer::BuildRestartArguments(options, processId);
}

void GuiConfiguration::LoadWindowStyle(const RawString& guiProfile) {
  GuiWindowStyle& base = GuiWindowStyle::Base();
  base = GuiWindowStyle();
  base.Load(guiProfile);
  GuiWindowStyle::Instance() = base.ForDpi(StartDpi(guiProfile), ScreenDpi());
}

void GuiConfiguration::LoadSettings(const RawString& configFile, const RawParameterList& options) {
  GuiSettings& settings = GuiSettings::Instance();
  if (!settings.Load(configFile, options, tempFolder_)) {
    screen_.ShowWarning(CannotAccessTempMessage(settings.iconCacheSubfolder));
  }
}

}  // namespace AppLayer
