#include "tool/selection.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using RawLayer::RawParameterList;
using RawLayer::RawString;
using ToolLayer::GuiDrawnPlacement;
using ToolLayer::GuiFrameWiden;
using ToolLayer::GuiMenuLayout;
using ToolLayer::GuiPoint;
using RawLayer::RawRect;
using ToolLayer::GuiSelectorSettings;

RawParameterList Section(std::initializer_list<std::pair<const char*, const char*>> entries) {
  RawParameterList list;
  for (const auto& [key, value] : entries) {
    list.SetValue(RawString::FromUtf8(key), RawString::FromUtf8(value));
  }
  return list;
}

TEST(SelectorSettingsTest, DefaultsAreWrittenRedGreenBlueAndHeldBlueGreenRed) {
  const GuiSelectorSettings s = ToolLayer::ReadSelectorSettings(RawParameterList());
  EXPECT_EQ(s.windowSelectionColor, 0x00C000u);
  EXPECT_EQ(s.rectSelectionColor, 0x000080u);  // 800000 written
  EXPECT_EQ(s.rectCroppingColor, 0xFFFFFFu);
  EXPECT_EQ(s.menuScreenAreaColor, 0x404040u);
  EXPECT_EQ(s.menuScreenFrameColor, 0xFFFFFFu);
  EXPECT_EQ(s.menuTargetColor, 0x40FF40u);
  EXPECT_EQ(s.windowSelectionAlpha, 50);
  EXPECT_EQ(s.rectSelectionAlpha, 50);
  EXPECT_EQ(s.menuRows, 12);
  EXPECT_EQ(s.menuSpacer, 3);
  EXPECT_EQ(s.menuBorder, 3);
  EXPECT_EQ(s.frameWiden.left, 8);
  EXPECT_EQ(s.frameWiden.top, 0);
  EXPECT_EQ(s.frameWiden.right, 8);
  EXPECT_EQ(s.frameWiden.bottom, 8);
}

struct ColorRow {
  const char* value;
  uint32_t expected;  // blue-green-red
};
class SelectorColorTest : public ::testing::TestWithParam<ColorRow> {};

TEST_P(SelectorColorTest, RectSelectionColor) {
  const ColorRow& row = GetParam();
  const GuiSelectorSettings s = ToolLayer::ReadSelectorSettings(Section({{"RectSelectionColor", row.value}}));
  EXPECT_EQ(s.rectSelectionColor, row.expected) << row.value;
}

INSTANTIATE_TEST_SUITE_P(Rows, SelectorColorTest, ::testing::Values(
    ColorRow{"0x123456", 0x563412},
    ColorRow{"0xC000", 0x00C000},
    ColorRow{"255", 0xFF0000},            // decimal 0x0000FF: blue
    ColorRow{"0b1", 0x010000},
    ColorRow{"-1", 0xFFFFFF},             // all bits: white
    ColorRow{"0xFFFFFFFF", 0xFFFFFF},
    ColorRow{"0x1ABCDEF", 0xEFCDAB},      // bits above the colour are dropped
    ColorRow{"0x100000000", 0x000080},    // beyond 32 bits: default
    ColorRow{"green", 0x000080},
    ColorRow{"", 0x000080},
    ColorRow{"12px", 0x000080}));

TEST(SelectorSettingsTest, CroppingColorAlsoSetsTheMenuTargetColor) {
  const GuiSelectorSettings s = ToolLayer::ReadSelectorSettings(Section({{"RectCroppingColor", "0x0000FF"}}));
  EXPECT_EQ(s.rectCroppingColor, 0xFF0000u);
  EXPECT_EQ(s.menuTargetColor, 0xFF0000u);
  const GuiSelectorSettings bad = ToolLayer::ReadSelectorSettings(Section({{"RectCroppingColor", "none"}}));
  EXPECT_EQ(bad.rectCroppingColor, 0xFFFFFFu);
  EXPECT_EQ(bad.menuTargetColor, 0x40FF40u);
}

struct LimitRow {
  const char* key;
  const char* value;
  int32_t expected;
};
class SelectorLimitTest : public ::testing::TestWithParam<LimitRow> {};

int32_t FieldOf(const GuiSelectorSettings& s, const std::string& key) {
  if (key == "WindowSelectionTransparency") return s.windowSelectionAlpha;
  if (key == "RectSelectionTransparency") return s.rectSelectionAlpha;
  if (key == "MenuSelectionRows") return s.menuRows;
  if (key == "MenuSelectionSpacer") return s.menuSpacer;
  if (key == "MenuSelectionBorder") return s.menuBorder;
  if (key == "FrameWidenL") return s.frameWiden.left;
  if (key == "FrameWidenT") return s.frameWiden.top;
  if (key == "FrameWidenR") return s.frameWiden.right;
  if (key == "FrameWidenB") return s.frameWiden.bottom;
  ADD_FAILURE() << "unknown key " << key;
  return 0;
}

TEST_P(SelectorLimitTest, ValueAfterLimits) {
  const LimitRow& row = GetParam();
  const GuiSelectorSettings s = ToolLayer::ReadSelectorSettings(Section({{row.key, row.value}}));
  EXPECT_EQ(FieldOf(s, row.key), row.expected) << row.key << "=" << row.value;
}

INSTANTIATE_TEST_SUITE_P(Rows, SelectorLimitTest, ::testing::Values(
    LimitRow{"WindowSelectionTransparency", "0", 1},
    LimitRow{"WindowSelectionTransparency", "-40", 1},
    LimitRow{"WindowSelectionTransparency", "1", 1},
    LimitRow{"WindowSelectionTransparency", "255", 255},
    LimitRow{"WindowSelectionTransparency", "300", 255},
    LimitRow{"WindowSelectionTransparency", "0x100000001", 255},
    LimitRow{"WindowSelectionTransparency", "half", 50},
    LimitRow{"RectSelectionTransparency", "0", 1},
    LimitRow{"RectSelectionTransparency", "128", 128},
    LimitRow{"RectSelectionTransparency", "300", 255},
    LimitRow{"MenuSelectionRows", "0", 12},
    LimitRow{"MenuSelectionRows", "1", 1},
    LimitRow{"MenuSelectionRows", "50", 50},
    LimitRow{"MenuSelectionRows", "51", 12},
    LimitRow{"MenuSelectionRows", "-4", 12},
    LimitRow{"MenuSelectionRows", "many", 12},
    LimitRow{"MenuSelectionSpacer", "7", 7},
    LimitRow{"MenuSelectionSpacer", "-5", 0},
    LimitRow{"MenuSelectionBorder", "-2", -2},
    LimitRow{"MenuSelectionBorder", "0x80000000", 3},
    LimitRow{"FrameWidenL", "0", 0},
    LimitRow{"FrameWidenT", "-4", -4},
    LimitRow{"FrameWidenR", "12", 12},
    LimitRow{"FrameWidenB", "wide", 8}));

TEST(SelectorSettingsTest, LoadsTheJobSectionOfTheSettingsProfile) {
  const fs::path dir = fs::path(KESTREL_TEST_TMP_DIR) / "selection";
  fs::create_directories(dir);
  const fs::path file = dir / "Tessera.ini";
  {
    std::ofstream out(file, std::ios::binary);
    out << "[Common]\r\nProgram=Tessera\r\n[Job]\r\nWindowSelectionTransparency=0\r\n"
           "RectSelectionTransparency=300\r\nFrameWidenL=4\r\n";
  }
  const std::string utf8 = file.string();
  const GuiSelectorSettings s = ToolLayer::LoadSelectorSettings(RawString::FromUtf8(utf8));
  EXPECT_EQ(s.windowSelectionAlpha, 1);
  EXPECT_EQ(s.rectSelectionAlpha, 255);
  EXPECT_EQ(s.frameWiden.left, 4);
  EXPECT_EQ(s.frameWiden.top, 0);

  const GuiSelectorSettings missing = ToolLayer::LoadSelectorSettings(RawString::FromUtf8((dir / "none.ini").string()));
  EXPECT_EQ(missing.windowSelectionAlpha, 50);
}

TEST(SelectorModeTest, CoverAlphaAndColorFollowTheMode) {
  GuiSelectorSettings s;
  s.windowSelectionAlpha = 10;
  s.rectSelectionAlpha = 20;
  EXPECT_EQ(ToolLayer::CoverAlpha(s, ToolLayer::ModeWindow), 10);
  EXPECT_EQ(ToolLayer::CoverAlpha(s, ToolLayer::ModeRect), 20);
  EXPECT_EQ(ToolLayer::CoverAlpha(s, ToolLayer::ModeMenu), 1);
  EXPECT_EQ(ToolLayer::CoverColor(s, ToolLayer::ModeWindow), s.windowSelectionColor);
  EXPECT_EQ(ToolLayer::CoverColor(s, ToolLayer::ModeRect), s.rectSelectionColor);
  EXPECT_EQ(ToolLayer::CoverColor(s, ToolLayer::ModeMenu), 0u);
}

struct PlacementRow {
  GuiPoint start;
  GuiPoint end;
  GuiDrawnPlacement expected;
};
class DrawnPlacementTest : public ::testing::TestWithParam<PlacementRow> {};

TEST_P(DrawnPlacementTest, FrameWidening) {
  const PlacementRow& row = GetParam();
  const GuiDrawnPlacement got = ToolLayer::PlaceDrawnRect(row.start, row.end, GuiFrameWiden{8, 2, 8, 8});
  EXPECT_EQ(got.moves, row.expected.moves);
  EXPECT_EQ(got.sizes, row.expected.sizes);
  if (got.moves) {
    EXPECT_EQ(got.x, row.expected.x);
    EXPECT_EQ(got.y, row.expected.y);
  }
  if (got.sizes) {
    EXPECT_EQ(got.w, row.expected.w);
    EXPECT_EQ(got.h, row.expected.h);
  }
}

constexpr GuiPoint kNone{};
INSTANTIATE_TEST_SUITE_P(Rows, DrawnPlacementTest, ::testing::Values(
    // A real drag: the corner less L and T, the size plus L+R and T+B.
    PlacementRow{{100, 200}, {500, 400}, {true, true, 92, 198, 416, 210}},
    // 21 pixels both ways is the smallest drag that sizes; 20 only places the corner.
    PlacementRow{{0, 0}, {21, 21}, {true, true, -8, -2, 37, 31}},
    PlacementRow{{0, 0}, {20, 300}, {true, false, -8, -2, 0, 0}},
    PlacementRow{{0, 0}, {300, 20}, {true, false, -8, -2, 0, 0}},
    PlacementRow{{50, 60}, {50, 60}, {true, false, 42, 58, 0, 0}},
    // Backwards: up to 19 pixels is a click, 20 is ignored.
    PlacementRow{{50, 60}, {31, 41}, {true, false, 42, 58, 0, 0}},
    PlacementRow{{50, 60}, {30, 100}, {false, false, 0, 0, 0, 0}},
    PlacementRow{{50, 60}, {100, 40}, {false, false, 0, 0, 0, 0}},
    // Cancelled: a corner was never stored.
    PlacementRow{kNone, {100, 100}, {false, false, 0, 0, 0, 0}},
    PlacementRow{{100, 100}, kNone, {false, false, 0, 0, 0, 0}},
    // Far corners do not wrap.
    PlacementRow{{INT32_MAX - 1, 0}, {INT32_MAX, 1}, {true, false, INT32_MAX - 9, -2, 0, 0}}));

TEST(SpanRectTest, EitherDirectionRelativeToTheCoversCorner) {
  EXPECT_EQ(ToolLayer::SpanRect({10, 20}, {30, 40}, {0, 0}), (RawRect{10, 20, 31, 41}));
  EXPECT_EQ(ToolLayer::SpanRect({30, 40}, {10, 20}, {0, 0}), (RawRect{10, 20, 31, 41}));
  // A drag on the monitor left of the primary one, drawn on that monitor's cover.
  EXPECT_EQ(ToolLayer::SpanRect({-1900, 100}, {-1800, 150}, {-1920, 0}), (RawRect{20, 100, 121, 151}));
}

TEST(ScreenAreaTest, HoldsEveryMonitorAndTheOrigin) {
  RawRect area;
  ToolLayer::AddToScreenArea(area, {0, 0, 1280, 1024});
  EXPECT_EQ(area, (RawRect{0, 0, 1280, 1024}));
  ToolLayer::AddToScreenArea(area, {-1920, 200, 0, 1280});
  EXPECT_EQ(area, (RawRect{-1920, 0, 1280, 1280}));
  RawRect away;
  ToolLayer::AddToScreenArea(away, {100, 100, 200, 200});
  EXPECT_EQ(away, (RawRect{0, 0, 200, 200}));
}

TEST(MenuLayoutTest, MiniaturesStackedWithSpacers) {
  GuiSelectorSettings s;  // 12 rows, spacer 3
  const GuiMenuLayout layout = ToolLayer::LayoutMenu({0, 0, 1280, 1024}, s, 3);
  EXPECT_EQ(layout.Width(), 106);  // 1280 / 12
  EXPECT_EQ(layout.entryHeight, 85);  // 1024 / 12
  EXPECT_EQ(layout.Height(), (85 + 3) * 3 - 3);
  EXPECT_EQ(layout.Entry(0), (RawRect{0, 0, 106, 85}));
  EXPECT_EQ(layout.Entry(2), (RawRect{0, 176, 106, 261}));

  struct Row {
    GuiPoint point;
    int32_t entry;
  };
  for (const Row& row : {Row{{0, 0}, 0}, Row{{105, 84}, 0}, Row{{50, 85}, -1}, Row{{50, 87}, -1},
                         Row{{50, 88}, 1}, Row{{50, 260}, 2}, Row{{50, 261}, -1}, Row{{106, 10}, -1},
                         Row{{-1, 10}, -1}, Row{{10, -1}, -1}}) {
    EXPECT_EQ(layout.EntryAt(row.point), row.entry) << row.point.x << "," << row.point.y;
  }
}

TEST(MenuLayoutTest, RowsOutOfRangeBehaveLikeTwelve) {
  GuiSelectorSettings s = ToolLayer::ReadSelectorSettings(Section({{"MenuSelectionRows", "0"}}));
  EXPECT_EQ(ToolLayer::LayoutMenu({0, 0, 1200, 600}, s, 1).Width(), 100);
  s.menuRows = 0;  // set by hand past the reader
  EXPECT_EQ(ToolLayer::LayoutMenu({0, 0, 1200, 600}, s, 1).Width(), 100);
  s.menuRows = 1;
  EXPECT_EQ(ToolLayer::LayoutMenu({0, 0, 1200, 600}, s, 2).Height(), 600 * 2 + 3);
}

struct MenuPlaceRow {
  GuiPoint cursor;
  RawRect expected;
};
class MenuPlaceTest : public ::testing::TestWithParam<MenuPlaceRow> {};

TEST_P(MenuPlaceTest, CentredThenPushedInside) {
  const MenuPlaceRow& row = GetParam();
  EXPECT_EQ(ToolLayer::PlaceMenu(100, 60, row.cursor, {0, 0, 1280, 1024}), row.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, MenuPlaceTest, ::testing::Values(
    MenuPlaceRow{{640, 512}, {590, 482, 690, 542}},
    MenuPlaceRow{{10, 10}, {0, 0, 100, 60}},
    MenuPlaceRow{{1275, 1020}, {1180, 964, 1280, 1024}},
    MenuPlaceRow{{1275, 5}, {1180, 0, 1280, 60}},
    MenuPlaceRow{{-50, 2000}, {0, 964, 100, 1024}}));

TEST(MenuPlaceTest, LargerThanTheMonitorKeepsTheTopLeftCorner) {
  EXPECT_EQ(ToolLayer::PlaceMenu(300, 2000, {100, 100}, {0, 0, 1280, 1024}), (RawRect{0, 0, 300, 2000}));
  // On a monitor left of the primary one.
  EXPECT_EQ(ToolLayer::PlaceMenu(100, 60, {-1910, 500}, {-1920, 0, 0, 1080}), (RawRect{-1920, 470, -1820, 530}));
}

TEST(MiniatureTest, TargetScaledIntoItsEntry) {
  const RawRect area{0, 0, 1200, 960};
  const RawRect entry{0, 83, 100, 163};
  EXPECT_EQ(ToolLayer::MiniatureRect(area, 12, {0, 0, 600, 480}, entry, 0), (RawRect{0, 83, 50, 123}));
  EXPECT_EQ(ToolLayer::MiniatureRect(area, 12, {0, 0, 600, 480}, entry, 3), (RawRect{3, 86, 47, 120}));
  EXPECT_EQ(ToolLayer::MiniatureRect(area, 12, {0, 0, 600, 480}, entry, -2), (RawRect{-2, 81, 52, 125}));
  // A border wider than the target leaves a one-pixel mark at its centre.
  EXPECT_EQ(ToolLayer::MiniatureRect(area, 12, {120, 120, 168, 168}, entry, 5), (RawRect{12, 95, 13, 96}));
  // The area may begin left of the primary monitor.
  EXPECT_EQ(ToolLayer::MiniatureRect({-1200, 0, 1200, 960}, 12, {0, 0, 1200, 960}, {0, 0, 200, 80}, 0),
            (RawRect{100, 0, 200, 80}));
}

TEST(DesktopClassTest, BothDesktopClassesCountAsNoWindow) {
  EXPECT_TRUE(ToolLayer::IsDesktopClass("Progman"));
  EXPECT_TRUE(ToolLayer::IsDesktopClass("#32769"));
  EXPECT_FALSE(ToolLayer::IsDesktopClass("progman"));
  EXPECT_FALSE(ToolLayer::IsDesktopClass("Notepad"));
  EXPECT_FALSE(ToolLayer::IsDesktopClass(""));
}

}  // namespace
