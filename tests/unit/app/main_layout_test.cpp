#include "app/main_layout.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "raw/string.h"

namespace {

using AppLayer::ComputeMainLayout;
using AppLayer::GuiMainLayoutInput;
using RawLayer::RawRect;
using AppLayer::GuiSize;
using AppLayer::GuiStoredRect;

struct LayoutRow {
  const char* name;
  int32_t margin, caption;
  bool horizontal, viewSelector;
  GuiSize buttons, selectors;
  GuiSize client;
  RawRect buttonRect;
  RawRect selectorRect;
};

TEST(MainLayoutTest, ClientSizesAndPanePlacesFollowTheFormulas) {
  const LayoutRow rows[] = {
      // Defaults: a column is w + 6 by h + 18.
      {"column", 2, 12, false, false, {40, 120}, {}, {46, 138}, {3, 15, 43, 135}, {}},
      {"column, wide margins", 5, 20, false, false, {40, 120}, {}, {52, 152}, {6, 26, 46, 146}, {}},
      {"row", 2, 12, true, false, {200, 24}, {}, {219, 30}, {3, 3, 203, 27}, {}},
      {"row ignores the selector", 2, 12, true, true, {200, 24}, {50, 90}, {219, 30}, {3, 3, 203, 27}, {}},
      {"row, changed margins", 4, 8, true, false, {200, 24}, {}, {219, 34}, {5, 5, 205, 29}, {}},
      // Two panes take the taller height; the buttons sit m pixels right of the selectors.
      {"two panes, taller selectors", 2, 12, false, true, {40, 60}, {80, 100}, {128, 118}, {85, 15, 125, 115},
       {3, 15, 83, 115}},
      {"two panes, taller buttons", 2, 12, false, true, {40, 160}, {80, 100}, {128, 178}, {85, 15, 125, 175},
       {3, 15, 83, 175}},
  };
  for (const LayoutRow& row : rows) {
    SCOPED_TRACE(row.name);
    GuiMainLayoutInput input;
    input.frameMargin = row.margin;
    input.captionHeight = row.caption;
    input.horizontal = row.horizontal;
    input.viewSelector = row.viewSelector;
    input.buttons = row.buttons;
    input.selectors = row.selectors;
    const AppLayer::GuiMainLayout layout = ComputeMainLayout(input);
    EXPECT_EQ(layout.client, row.client);
    EXPECT_EQ(layout.buttons, row.buttonRect);
    EXPECT_EQ(layout.showSelectors, row.viewSelector && !row.horizontal);
    EXPECT_EQ(layout.selectors, row.selectorRect);
    // The caption strip is k + 1 thick and lies inside the client area, clear of the panes.
    const RawRect& strip = layout.caption;
    EXPECT_EQ(row.horizontal ? strip.Width() : strip.Height(), row.caption + 1);
    EXPECT_GE(strip.left, 0);
    EXPECT_LE(strip.right, layout.client.width);
    EXPECT_LE(strip.bottom, layout.client.height);
    if (row.horizontal) {
      EXPECT_GE(strip.left, layout.buttons.right);
    } else {
      EXPECT_LE(strip.bottom, layout.buttons.top);
    }
  }
}

TEST(MainLayoutTest, CentringTruncatesAndAStoredPlaceKeepsTheContentSize) {
  const RawRect work{0, 0, 1280, 994};
  EXPECT_EQ(AppLayer::CentreOn(work, {45, 137}), (RawRect{617, 428, 662, 565}));
  EXPECT_EQ(AppLayer::CentreOn({100, 50, 300, 150}, {301, 11}), (RawRect{50, 94, 351, 105}));

  const RawRect centred{617, 428, 662, 565};
  GuiStoredRect none;
  EXPECT_EQ(AppLayer::PlaceMainWindow(centred, none), centred);
  GuiStoredRect full;
  full.hasLeft = full.hasTop = full.hasRight = full.hasBottom = true;
  full.rect = {10, 20, 400, 400};
  EXPECT_EQ(AppLayer::PlaceMainWindow(centred, full), (RawRect{10, 20, 55, 157}));
  // A missing edge keeps the computed one; the right edge alone still places the window.
  GuiStoredRect partial;
  partial.hasRight = true;
  partial.rect.right = 700;
  EXPECT_EQ(AppLayer::PlaceMainWindow(centred, partial), (RawRect{655, 428, 700, 565}));
}

class StoredRectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = std::filesystem::temp_directory_path() /
              ("kestrel_stored_rect_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(folder_);
    std::filesystem::create_directories(folder_);
    path_ = (folder_ / "gui.ini").string();
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  void Write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
  RawLayer::RawString Path() const { return RawLayer::RawString::FromUtf8(path_); }
  std::filesystem::path folder_;
  std::string path_;
};

TEST_F(StoredRectTest, RoundTripsAndLeavesOtherSectionsAlone) {
  Write("[WindowParameter]\nMargin=3\n[MainDialog]\nWindowRect_L=1\nOld=x\n");
  ASSERT_TRUE(AppLayer::WriteStoredWindowRect(Path(), {-1200, 40, -1150, 300}));
  GuiStoredRect stored;
  ASSERT_TRUE(AppLayer::ReadStoredWindowRect(Path(), stored));
  EXPECT_TRUE(stored.hasLeft && stored.hasTop && stored.hasRight && stored.hasBottom);
  EXPECT_EQ(stored.rect, (RawRect{-1200, 40, -1150, 300}));
  std::ifstream in(path_, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("Margin=3"), std::string::npos);
  EXPECT_EQ(text.find("Old=x"), std::string::npos);  // the section is replaced whole
}

TEST_F(StoredRectTest, MissingOrBadKeysLeaveTheirEdgesUnset) {
  Write("[MainDialog]\nWindowRect_L=12\nWindowRect_T=abc\nWindowRect_R=99999999999\n");
  GuiStoredRect stored;
  ASSERT_TRUE(AppLayer::ReadStoredWindowRect(Path(), stored));
  EXPECT_TRUE(stored.hasLeft);
  EXPECT_EQ(stored.rect.left, 12);
  EXPECT_FALSE(stored.hasTop);
  EXPECT_FALSE(stored.hasRight);
  EXPECT_FALSE(stored.hasBottom);

  Write("[Other]\nx=1\n");
  GuiStoredRect none;
  EXPECT_FALSE(AppLayer::ReadStoredWindowRect(Path(), none));
}

}  // namespace
