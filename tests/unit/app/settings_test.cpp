#include "app/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "raw/path.h"
#include "raw/profile.h"
#include "tests/unit/test_files.h"

namespace {

namespace fs = std::filesystem;
using AppLayer::GuiFontRecord;
using AppLayer::GuiSettings;
using AppLayer::GuiWindowStyle;
using RawLayer::RawParameterList;
using RawLayer::RawProfile;
using RawLayer::RawString;
using TestFiles::FsPath;
using TestFiles::PathText;
using TestFiles::Put;

class RecordingScreen : public AppLayer::GuiStartupScreen {
 public:
  void ShowWarning(const RawString& text) override { warnings.push_back(text.ToUtf8()); }
  void ShowUsage(const RawString& text) override { warnings.push_back(text.ToUtf8()); }
  void ShowReport(const RawString& text) override { warnings.push_back(text.ToUtf8()); }
  std::vector<std::string> warnings;
};

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "_" + info->name();
    for (char& c : name) {
      if (c == '/') c = '_';
    }
    dir_ = fs::path(KESTREL_TEST_TMP_DIR) / "settings" / name;
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "temp");
    temp_ = PathText(dir_ / "temp");
  }

  // Loads settings from a configuration file holding `profile` and the options of `commandLine`.
  GuiSettings Load(const std::string& profile, const std::string& commandLine = "kestrel.exe",
                   bool* chosen = nullptr) {
    const fs::path config = dir_ / "conf" / "kestrel.ini";
    fs::create_directories(config.parent_path());
    Put(config, profile);
    RawParameterList options;
    AppLayer::ReadCommandLine(RawString::FromUtf8(commandLine), options);
    GuiSettings settings;
    const bool ok = settings.Load(PathText(config), options, temp_);
    if (chosen != nullptr) *chosen = ok;
    return settings;
  }

  RawString Path(const fs::path& relative) const { return PathText(dir_ / relative); }

  fs::path dir_;
  RawString temp_;
};

TEST_F(SettingsTest, DefaultsWithoutOptionSection) {
  bool chosen = false;
  const GuiSettings s = Load("[Common]\r\nProgram=Kestrel\r\n", "kestrel.exe", &chosen);
  EXPECT_TRUE(chosen);
  EXPECT_EQ(s.logFolder, Path(fs::path("temp") / "Kestrel" / "Log"));
  EXPECT_EQ(s.iconCacheFolder, Path(fs::path("temp") / "Kestrel"));
  EXPECT_EQ(s.iconExtensions, "ico,exe,dll");
  EXPECT_EQ(s.logLetters, "UCPV");
  EXPECT_EQ(s.maxLogFiles, 200);
  EXPECT_EQ(s.iconUnusedCount, 60);
  EXPECT_FALSE(s.viewSelector || s.horizontal || s.viewTip || s.topMost || s.sysTray);
  EXPECT_TRUE(s.iconCache && s.iconDelay);
  EXPECT_EQ(s.buttonAlign, AppLayer::AlignCenter);
  EXPECT_EQ(s.commandLine.restartProcessId, 0u);
  EXPECT_TRUE(s.configFile.Source() == s.configFile.Destination());
  // The subfolder is made and claimed even with every default.
  EXPECT_TRUE(fs::is_directory(FsPath(s.iconCacheSubfolder)));
  EXPECT_EQ(RawProfile(s.iconCacheIdentityFile).GetValue("Identify", "Profile", ""),
            AppLayer::IconCacheKey(s.configFile.Source()));
}

struct FlagRow {
  const char* line;  // an [Option] line, or "" for none
  bool viewTip;
  bool iconCache;
};
class FlagTest : public SettingsTest, public ::testing::WithParamInterface<FlagRow> {};

TEST_P(FlagTest, OnlyFalseTurnsAFlagOff) {
  const FlagRow& row = GetParam();
  const GuiSettings s = Load(std::string("[Option]\r\nMaxLogFiles=3\r\n") + row.line);
  EXPECT_EQ(s.viewTip, row.viewTip) << row.line;
  EXPECT_EQ(s.iconCache, row.iconCache) << row.line;
}

INSTANTIATE_TEST_SUITE_P(Rows, FlagTest,
                         ::testing::Values(FlagRow{"", false, true}, FlagRow{"ViewTip=0\r\n", true, true},
                                           FlagRow{"ViewTip=no\r\n", true, true}, FlagRow{"ViewTip=\r\n", true, true},
                                           FlagRow{"viewtip=1\r\n", true, true},
                                           FlagRow{"ViewTip=FALSE\r\nIconCache=false\r\n", false, false},
                                           FlagRow{"IconCache=0\r\n", false, true},
                                           FlagRow{"IconCache=Falsey\r\n", false, true}));

struct AlignRow {
  const char* value;  // nullptr: no key
  int32_t align;
};
class AlignTest : public SettingsTest, public ::testing::WithParamInterface<AlignRow> {};

TEST_P(AlignTest, ButtonAlignIsCaseSensitive) {
  const AlignRow& row = GetParam();
  std::string profile = "[Option]\r\nTopMost=1\r\n";
  if (row.value != nullptr) profile += std::string("ButtonAlign=") + row.value + "\r\n";
  EXPECT_EQ(Load(profile).buttonAlign, row.align) << (row.value ? row.value : "(none)");
}

INSTANTIATE_TEST_SUITE_P(Rows, AlignTest,
                         ::testing::Values(AlignRow{nullptr, 1}, AlignRow{"Left", 0}, AlignRow{"Center", 1},
                                           AlignRow{"Right", 2}, AlignRow{"right", 1}, AlignRow{"LEFT", 1},
                                           AlignRow{"", 1}, AlignRow{"2", 1}));

struct NumberRow {
  const char* value;
  int32_t expected;
};
class OptionNumberTest : public SettingsTest, public ::testing::WithParamInterface<NumberRow> {};

TEST_P(OptionNumberTest, MaxLogFiles) {
  const NumberRow& row = GetParam();
  EXPECT_EQ(Load(std::string("[Option]\r\nMaxLogFiles=") + row.value + "\r\n").maxLogFiles, row.expected)
      << row.value;
}

INSTANTIATE_TEST_SUITE_P(Rows, OptionNumberTest,
                         ::testing::Values(NumberRow{"7", 7}, NumberRow{"-5", -5}, NumberRow{"0x10", 16},
                                           NumberRow{"0b101", 5}, NumberRow{"0", 0}, NumberRow{"12abc", 200},
                                           NumberRow{"", 200}, NumberRow{"-", 200}, NumberRow{"0x", 200},
                                           NumberRow{"2147483647", 2147483647}, NumberRow{"2147483648", 200},
                                           NumberRow{"-2147483649", 200}, NumberRow{"99999999999999999999999", 200}));

TEST_F(SettingsTest, TextKeysReplaceDefaultsEvenWhenEmpty) {
  const GuiSettings s = Load("[option]\r\niconextension=\r\nIconUnusedCount=9\r\n");
  EXPECT_TRUE(s.iconExtensions.IsEmpty());
  EXPECT_EQ(s.iconUnusedCount, 9);
}

TEST_F(SettingsTest, RelativeFoldersHangOffTheConfigurationFile) {
  const GuiSettings s = Load("[Option]\r\nLogFolder=logs\r\nIconCacheFolder=..\\icons\r\n");
  EXPECT_EQ(s.logFolder, Path(fs::path("conf") / "logs"));
  EXPECT_EQ(FsPath(s.iconCacheFolder).lexically_normal(), (dir_ / "icons").lexically_normal());
  EXPECT_TRUE(fs::is_directory(FsPath(s.iconCacheSubfolder)));
  EXPECT_EQ(FsPath(s.iconCacheSubfolder).parent_path().lexically_normal(), (dir_ / "icons").lexically_normal());
}

TEST_F(SettingsTest, AbsoluteFolderIsKept) {
  const RawString elsewhere = Path("elsewhere");
  const GuiSettings s = Load("[Option]\r\nLogFolder=" + elsewhere.ToUtf8() + "\r\n");
  EXPECT_EQ(s.logFolder, elsewhere);
}

TEST_F(SettingsTest, OptionsGiveRunArgumentsAndRestartId) {
  const GuiSettings s = Load("", "kestrel.exe -a First one.txt -l Second \"two words.txt\" -@ 4242 -x");
  EXPECT_EQ(s.commandLine.runKind, "l");
  EXPECT_EQ(s.commandLine.runName, "Second");
  EXPECT_EQ(s.commandLine.firstArgument, "one.txt");
  EXPECT_EQ(s.argumentList, "\"one.txt\" \"two words.txt\"");
  EXPECT_EQ(s.commandLine.restartProcessId, 4242u);
  EXPECT_EQ(s.BuildRestartArguments(7),
            "-@ 7 -a First -NoTag_1 one.txt -l Second -NoTag_2 \"two words.txt\" -x");
}

TEST_F(SettingsTest, GarbageRestartIdIsNoProcess) {
  EXPECT_EQ(Load("", "kestrel.exe -@ 12x").commandLine.restartProcessId, 0u);
  EXPECT_EQ(Load("", "kestrel.exe -@ 4294967296").commandLine.restartProcessId, 0u);
  EXPECT_EQ(Load("", "kestrel.exe -@ -1").commandLine.restartProcessId, 0u);
}

TEST_F(SettingsTest, IconCacheFolderThatCannotBeMadeFails) {
  Put(dir_ / "blocker", "a file where a folder should be");
  RawString blocked = Path("blocker");
  blocked.Append("/cache");
  bool chosen = true;
  const GuiSettings s = Load("[Option]\r\nIconCacheFolder=" + blocked.ToUtf8() + "\r\n", "kestrel.exe", &chosen);
  EXPECT_FALSE(chosen);
  EXPECT_TRUE(s.iconCacheSubfolder.StartsWith(blocked));
}

TEST_F(SettingsTest, ConfigurationServiceWarnsWithTheSubfolder) {
  Put(dir_ / "blocker", "x");
  const fs::path config = dir_ / "kestrel.ini";
  Put(config, "[Option]\r\nIconCacheFolder=blocker\r\n");
  RecordingScreen screen;
  AppLayer::GuiConfiguration configuration(screen, temp_);
  RawParameterList options;
  configuration.LoadSettings(PathText(config), options);
  const GuiSettings& s = GuiSettings::Instance();
  ASSERT_EQ(screen.warnings.size(), 1u);
  EXPECT_EQ(screen.warnings[0], "Cannot access temp directory (" + s.iconCacheSubfolder.ToUtf8() + ") !!");
  EXPECT_TRUE(s.iconCacheSubfolder.StartsWith(Path("blocker")));
}

class IconCacheTest : public SettingsTest {};

TEST_F(IconCacheTest, KeyAndBaseName) {
  EXPECT_EQ(AppLayer::IconCacheKey("c:\\Tools\\kestrel.ini"), "C:\\TOOLS\\KESTREL.INI");
  // The hash adds each unit and rotates left by one bit.
  EXPECT_EQ(AppLayer::IconCacheBaseName(""), "CACHE_00000000");
  EXPECT_EQ(AppLayer::IconCacheBaseName("A"), "CACHE_00000082");
  EXPECT_EQ(AppLayer::IconCacheBaseName("AB"), "CACHE_00000188");
  // Bytes above 0x7F count unsigned; a carry out of the top bit comes round to the bottom.
  EXPECT_EQ(AppLayer::IconCacheBaseName("\xC3\xA9"), "CACHE_0000045E");
  EXPECT_EQ(AppLayer::IconCacheBaseName(RawString::FromUtf8(std::string(32, 'Z'))), "CACHE_FFFFFFFF");
  EXPECT_EQ(AppLayer::IconCacheBaseName(RawString::FromUtf8(std::string(33, 'Z'))), "CACHE_000000B2");
}

TEST_F(IconCacheTest, PathsDifferingInCaseShareOneFolder) {
  const RawString cache = Path("cache");
  RawString first;
  RawString second;
  ASSERT_TRUE(AppLayer::ChooseIconCacheFolder(cache, AppLayer::IconCacheKey("C:\\Conf\\Kestrel.ini"), first));
  ASSERT_TRUE(AppLayer::ChooseIconCacheFolder(cache, AppLayer::IconCacheKey("c:\\conf\\KESTREL.INI"), second));
  EXPECT_EQ(first, second);
  EXPECT_EQ(std::distance(fs::directory_iterator(FsPath(cache)), fs::directory_iterator()), 1);
}

TEST_F(IconCacheTest, CollidingHashesGetNumberedFolders) {
  const RawString cache = Path("cache");
  // Two keys with one hash (found by search), and a third that collides with both.
  const RawString a = "C:\\CONF\\AAC.INI";
  const RawString b = "C:\\CONF\\ABA.INI";
  ASSERT_EQ(AppLayer::IconCacheBaseName(a), AppLayer::IconCacheBaseName(b));
  const RawString base = AppLayer::IconCacheBaseName(a);
  RawString folderA;
  RawString folderB;
  ASSERT_TRUE(AppLayer::ChooseIconCacheFolder(cache, a, folderA));
  ASSERT_TRUE(AppLayer::ChooseIconCacheFolder(cache, b, folderB));
  EXPECT_EQ(PathText(FsPath(folderA).filename()), base);
  EXPECT_EQ(PathText(FsPath(folderB).filename()).ToUtf8(), base.ToUtf8() + "0");

  // Both come back to their own folders on the next run.
  RawString again;
  ASSERT_TRUE(AppLayer::ChooseIconCacheFolder(cache, b, again));
  EXPECT_EQ(again, folderB);
  ASSERT_TRUE(AppLayer::ChooseIconCacheFolder(cache, a, again));
  EXPECT_EQ(again, folderA);
  EXPECT_EQ(RawProfile(PathText(FsPath(folderB) / "IconCache.ini")).GetValue("Identify", "Profile", ""), b);
}

TEST_F(IconCacheTest, UnclaimedFolderIsClaimedByTheFirstComer) {
  const RawString cache = Path("cache");
  const RawString key = "C:\\CONF\\AAC.INI";
  const fs::path folder = FsPath(cache) / AppLayer::IconCacheBaseName(key).ToUtf8();
  for (const char* identity : {"", "[Identify]\r\nProfile=\r\n", "[Other]\r\nProfile=X\r\n"}) {
    fs::remove_all(FsPath(cache));
    fs::create_directories(folder);
    if (*identity != '\0') Put(folder / "IconCache.ini", identity);
    RawString chosen;
    ASSERT_TRUE(AppLayer::ChooseIconCacheFolder(cache, key, chosen)) << identity;
    EXPECT_EQ(FsPath(chosen), folder) << identity;
    EXPECT_EQ(RawProfile(PathText(folder / "IconCache.ini")).GetValue("Identify", "Profile", ""), key) << identity;
  }
}

TEST_F(IconCacheTest, FileInThePlaceOfTheSubfolderFails) {
  const RawString cache = Path("cache");
  const RawString key = "K";
  fs::create_directories(FsPath(cache));
  Put(FsPath(cache) / AppLayer::IconCacheBaseName(key).ToUtf8(), "x");
  RawString chosen;
  EXPECT_FALSE(AppLayer::ChooseIconCacheFolder(cache, key, chosen));
}

class WindowStyleTest : public SettingsTest {
 protected:
  GuiWindowStyle Load(const std::string& profile) {
    const fs::path path = dir_ / "gui.ini";
    Put(path, profile);
    GuiWindowStyle style;
    style.Load(PathText(path));
    return style;
  }
};

TEST_F(WindowStyleTest, MissingSectionsKeepDefaults) {
  const GuiWindowStyle style = Load("[Common]\r\nProgram=Kestrel\r\n");
  EXPECT_EQ(style.margin, 4);
  EXPECT_EQ(style.frameMargin, 2);
  EXPECT_EQ(style.captionHeight, 12);
  EXPECT_EQ(style.buttonSeparator, 7);
  EXPECT_EQ(style.selectorSeparator, 5);
  EXPECT_EQ(style.baseIconSize, AppLayer::SystemIconWidth());
  EXPECT_EQ(style.buttonIconSize, 16);
  EXPECT_EQ(style.menuIconSize, 16);
  const GuiFontRecord defaults;
  EXPECT_EQ(defaults.height, 12);
  EXPECT_EQ(defaults.charSet, 1);
  EXPECT_TRUE(style.windowFont == defaults);
  EXPECT_TRUE(style.menuFont == defaults);
  EXPECT_TRUE(style.tipFont == defaults);
  EXPECT_EQ(style.windowFontRecord.Count(), 14);
  EXPECT_EQ(style.windowFontRecord.GetValue("Charset", ""), "1");
}

struct ParameterRow {
  const char* section;
  int32_t margin, frameMargin, captionHeight, baseIconSize, menuIconSize;
};
class WindowParameterTest : public WindowStyleTest, public ::testing::WithParamInterface<ParameterRow> {};

TEST_P(WindowParameterTest, Numbers) {
  const ParameterRow& row = GetParam();
  const GuiWindowStyle style = Load(std::string("[WindowParameter]\r\n") + row.section);
  EXPECT_EQ(style.margin, row.margin);
  EXPECT_EQ(style.frameMargin, row.frameMargin);
  EXPECT_EQ(style.captionHeight, row.captionHeight);
  EXPECT_EQ(style.baseIconSize, row.baseIconSize < 0 ? AppLayer::SystemIconWidth() : row.baseIconSize);
  EXPECT_EQ(style.menuIconSize, row.menuIconSize);
}

// A baseIconSize of -1 in a row stands for the system's icon width.
INSTANTIATE_TEST_SUITE_P(
    Rows, WindowParameterTest,
    ::testing::Values(
        ParameterRow{"Margin=9\r\nFrameMargin=3\r\nCaptionHeight=20\r\nBaseIconSize=48\r\nMenuIconSize=24\r\n", 9, 3,
                     20, 48, 24},
        ParameterRow{"frameMARGIN=0x8\r\nCaptionHeight=-3\r\n", 4, 8, -3, -1, 16},
        ParameterRow{"Margin=abc\r\nFrameMargin=\r\nCaptionHeight=12.5\r\nBaseIconSize=1e3\r\nMenuIconSize= \r\n", 4,
                     2, 12, -1, 16},
        ParameterRow{"Margin=0x\r\nFrameMargin=--2\r\nCaptionHeight=4294967308\r\nMenuIconSize=+20\r\n", 4, 2, 12, -1,
                     20}));

TEST_F(WindowStyleTest, FontSections) {
  const GuiWindowStyle style = Load(
      "[WindowFont]\r\nHeight=-15\r\nWeight=700\r\nItalic=1\r\nCharset=128\r\nFaceName=Sans Serif\r\n"
      "[TipFont]\r\nHeight=9\r\nUnderline=0x1\r\nQuality=300\r\nPitchFamily=-1\r\n");
  EXPECT_EQ(style.windowFont.height, -15);
  EXPECT_EQ(style.windowFont.weight, 700);
  EXPECT_EQ(style.windowFont.italic, 1);
  EXPECT_EQ(style.windowFont.charSet, 128);
  EXPECT_EQ(AppLayer::FaceNameOf(style.windowFont), "Sans Serif");
  // No [MenuFont]: the menu takes the window font.
  EXPECT_TRUE(style.menuFont == style.windowFont);
  // [TipFont] without FaceName: an empty face; numbers out of an 8-bit field keep the default.
  EXPECT_EQ(style.tipFont.height, 9);
  EXPECT_EQ(style.tipFont.underline, 1);
  EXPECT_EQ(style.tipFont.quality, 0);
  EXPECT_EQ(style.tipFont.pitchAndFamily, 0);
  EXPECT_EQ(style.tipFont.weight, 0);
  EXPECT_EQ(style.tipFont.charSet, 1);
  EXPECT_TRUE(AppLayer::FaceNameOf(style.tipFont).IsEmpty());
}

// Sizes are pixels at 96 DPI and follow the screen's DPI; the system's icon width
// and font records from the profile are real pixels already.
TEST_F(WindowStyleTest, ScaledToTheScreenDpi) {
  const int32_t system = AppLayer::SystemIconWidth();
  struct Row {
    const char* profile;
    int32_t dpi;
    int32_t margin, captionHeight, buttonIconSize, baseIconSize;
    int32_t windowFont, menuFont, tipFont;
  } rows[] = {
      {"", 96, 4, 12, 16, system, 12, 12, 12},
      {"", 144, 6, 18, 24, system, 18, 18, 18},
      {"", 192, 8, 24, 32, system, 24, 24, 24},
      {"", 120, 5, 15, 20, system, 15, 15, 15},
      {"", 0, 4, 12, 16, system, 12, 12, 12},
      {"[WindowParameter]\r\nMargin=3\r\nCaptionHeight=-3\r\nBaseIconSize=32\r\n", 144, 5, -5, 24, 48, 18, 18, 18},
      {"[WindowParameter]\r\nBaseIconSize=x\r\n", 144, 6, 18, 24, system, 18, 18, 18},
      {"[WindowFont]\r\nHeight=-20\r\n[TipFont]\r\nHeight=9\r\n", 144, 6, 18, 24, system, -20, -20, 9},
      {"[TipFont]\r\nHeight=9\r\n", 192, 8, 24, 32, system, 24, 24, 9},
      {"[MenuFont]\r\nHeight=-13\r\n", 144, 6, 18, 24, system, 18, -13, 18},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.profile) + " at " + std::to_string(row.dpi));
    GuiWindowStyle style = Load(row.profile);
    style.ScaleTo(row.dpi);
    EXPECT_EQ(style.margin, row.margin);
    EXPECT_EQ(style.captionHeight, row.captionHeight);
    EXPECT_EQ(style.buttonIconSize, row.buttonIconSize);
    EXPECT_EQ(style.menuIconSize, row.buttonIconSize);
    EXPECT_EQ(style.baseIconSize, row.baseIconSize);
    EXPECT_EQ(style.windowFont.height, row.windowFont);
    EXPECT_EQ(style.menuFont.height, row.menuFont);
    EXPECT_EQ(style.tipFont.height, row.tipFont);
    EXPECT_EQ(style.windowFontRecord.GetValue("Height", ""), RawString::FromUtf8(std::to_string(row.windowFont)));
  }
}

// The window follows its monitor's DPI: a style is derived from the one read (96 DPI) for each
// DPI, on a system of its own DPI. What is real pixels at the system's DPI (the system's icon
// width, the profile's fonts) follows the ratio of the window's DPI to the system's.
TEST_F(WindowStyleTest, DerivedForTheWindowsDpi) {
  const int32_t system = AppLayer::SystemIconWidth();
  struct Row {
    const char* profile;
    int32_t dpi, systemDpi;
    int32_t margin, buttonIconSize, baseIconSize, windowFont, tipFont, scaledDpi;
  } rows[] = {
      // On a system at 96 DPI.
      {"", 96, 96, 4, 16, system, 12, 12, 96},
      {"", 144, 96, 6, 24, system * 3 / 2, 18, 18, 144},
      {"", 192, 96, 8, 32, system * 2, 24, 24, 192},
      {"", 120, 96, 5, 20, system * 5 / 4, 15, 15, 120},
      // On a system at 144 DPI, the system's icon width is real pixels at 144.
      {"", 144, 144, 6, 24, system, 18, 18, 144},
      {"", 96, 144, 4, 16, (system * 2 + 1) / 3, 12, 12, 96},
      // A base icon size of the profile is 96-DPI pixels whatever the system.
      {"[WindowParameter]\r\nBaseIconSize=32\r\n", 144, 96, 6, 24, 48, 18, 18, 144},
      {"[WindowParameter]\r\nBaseIconSize=32\r\n", 144, 144, 6, 24, 48, 18, 18, 144},
      // Profile fonts were chosen at the system's DPI.
      {"[WindowFont]\r\nHeight=-20\r\n[TipFont]\r\nHeight=9\r\n", 144, 96, 6, 24, system * 3 / 2, -30, 14, 144},
      {"[WindowFont]\r\nHeight=-20\r\n", 144, 144, 6, 24, system, -20, -20, 144},
      {"[WindowFont]\r\nHeight=-21\r\n", 96, 144, 4, 16, (system * 2 + 1) / 3, -14, -14, 96},
      // An unusable DPI leaves the style as read.
      {"", 0, 96, 4, 16, system, 12, 12, 96},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.profile) + " at " + std::to_string(row.dpi) + " on " + std::to_string(row.systemDpi));
    const GuiWindowStyle base = Load(row.profile);
    const GuiWindowStyle style = base.ForDpi(row.dpi, row.systemDpi);
    EXPECT_EQ(style.margin, row.margin);
    EXPECT_EQ(style.buttonIconSize, row.buttonIconSize);
    EXPECT_EQ(style.menuIconSize, row.buttonIconSize);
    EXPECT_EQ(style.baseIconSize, row.baseIconSize);
    EXPECT_EQ(style.windowFont.height, row.windowFont);
    EXPECT_EQ(style.menuFont.height, row.windowFont);
    EXPECT_EQ(style.tipFont.height, row.tipFont);
    EXPECT_EQ(style.scaledDpi, row.scaledDpi);
    EXPECT_EQ(style.windowFontRecord.GetValue("Height", ""), RawString::FromUtf8(std::to_string(row.windowFont)));
    // The base is left as read, so the next DPI is derived from it and not from a rounded copy.
    EXPECT_EQ(base.margin, Load(row.profile).margin);
    EXPECT_EQ(base.scaledDpi, 96);
  }
}

// The window opens at the DPI of the monitor under the stored place's corner: the edges it keeps
// (left before right, top before bottom); without an edge in each direction it opens on the
// primary monitor, at the system's DPI.
TEST_F(WindowStyleTest, StartsAtTheDpiOfTheStoredPlacesMonitor) {
  // A monitor whose DPI tells where it was asked: 1000 + 10 x + y.
  const auto dpiAt = [](int32_t x, int32_t y) { return 1000 + 10 * x + y; };
  const int32_t system = AppLayer::ScreenDpi();
  const struct {
    const char* place;
    int32_t expected;
  } rows[] = {
      {"WindowRect_L=3\r\nWindowRect_T=4\r\nWindowRect_R=9\r\nWindowRect_B=9\r\n", 1034},
      {"WindowRect_R=9\r\nWindowRect_B=7\r\n", 1000 + 80 + 6},
      {"WindowRect_L=3\r\nWindowRect_B=7\r\n", 1036},
      {"WindowRect_R=9\r\nWindowRect_T=4\r\n", 1084},
      {"WindowRect_L=-30\r\nWindowRect_T=2\r\n", 1000 - 300 + 2},
      {"WindowRect_L=3\r\nWindowRect_R=9\r\n", system},
      {"WindowRect_T=3\r\n", system},
      {"WindowRect_L=x\r\nWindowRect_T=4\r\n", system},
      {"", system},
  };
  const fs::path path = dir_ / "gui.ini";
  for (const auto& row : rows) {
    Put(path, std::string("[MainDialog]\r\n") + row.place);
    EXPECT_EQ(AppLayer::StartDpi(PathText(path), +dpiAt), row.expected) << row.place;
  }
  EXPECT_EQ(AppLayer::StartDpi(PathText(dir_ / "missing.ini"), +dpiAt), system);
}

TEST(IconSizeForDpiTest, FollowsTheRatioWithinTheSizesAFileHolds) {
  const struct {
    int32_t systemSize, systemDpi, dpi, expected;
  } rows[] = {
      {32, 96, 96, 32},   {32, 96, 120, 40},  {32, 96, 144, 48},  {32, 96, 192, 64},  {32, 96, 288, 96},
      {48, 144, 96, 32},  {48, 144, 144, 48}, {40, 120, 144, 48}, {16, 96, 108, 18},
      // Beyond the largest icon of a file, and below one pixel.
      {256, 96, 192, 256}, {32, 96, 4000, 256}, {1, 192, 96, 1},
      // Unusable DPIs leave the system's size.
      {32, 0, 144, 32},   {32, 96, 0, 32},    {32, -96, 144, 32},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(AppLayer::IconSizeForDpi(row.systemSize, row.systemDpi, row.dpi), row.expected)
        << row.systemSize << " at " << row.systemDpi << " to " << row.dpi;
  }
}

TEST(ScalePixelsTest, RoundsHalfAwayFromZeroAndStaysInRange) {
  const struct {
    int32_t pixels, dpi, expected;
  } rows[] = {
      {1, 144, 2},   {-1, 144, -2},  {-15, 144, -23}, {5, 120, 6},   {7, 96, 7},
      {7, -5, 7},    {0, 192, 0},    {2147483647, 192, 2147483647}, {-2147483647 - 1, 144, -2147483647 - 1},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(AppLayer::ScalePixels(row.pixels, row.dpi), row.expected) << row.pixels << " at " << row.dpi;
  }
}

TEST(FontRecordTest, FaceNameKeepsAtMost31UnitsOfWholeCharacters) {
  struct Row {
    std::string face;
    std::string kept;
  };
  const std::string a31(31, 'a');
  const std::string clef = "\xF0\x9D\x84\x9E";  // one character of two UTF-16 units
  const std::vector<Row> rows = {
      {a31, a31},
      {a31 + "bc", a31},
      {std::string(30, 'a') + clef, std::string(30, 'a')},
      {std::string(29, 'a') + clef + "z", std::string(29, 'a') + clef},
      {"\xE6\x98\x8E\xE6\x9C\x9D", "\xE6\x98\x8E\xE6\x9C\x9D"},
  };
  for (const Row& row : rows) {
    RawParameterList section;
    section.SetValue("FaceName", RawString::FromUtf8(row.face));
    GuiFontRecord font;
    AppLayer::ReadFontRecord(section, font);
    EXPECT_EQ(AppLayer::FaceNameOf(font).ToUtf8(), row.kept) << row.face;
    EXPECT_EQ(font.faceName[GuiFontRecord::kFaceUnits - 1], u'\0');
  }
}

TEST(FontRecordTest, WrittenRecordReadsBackTheSameFont) {
  GuiFontRecord font;
  font.height = -2147483647 - 1;
  font.width = 7;
  font.escapement = 900;
  font.orientation = -900;
  font.weight = 400;
  font.italic = 255;
  font.underline = 1;
  font.strikeOut = 1;
  font.charSet = 0;
  font.outPrecision = 3;
  font.clipPrecision = 2;
  font.quality = 5;
  font.pitchAndFamily = 34;
  const std::u16string face = u"Gothic \u660E\u671D";
  std::copy(face.begin(), face.end(), font.faceName);
  const RawParameterList section = AppLayer::FontRecordSection(font);
  EXPECT_EQ(section.Count(), 14);
  GuiFontRecord back;
  AppLayer::ReadFontRecord(section, back);
  EXPECT_TRUE(back == font);
}

}  // namespace
