#include "tool/geometry.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "tool/startup.h"

namespace {

using RawLayer::RawString;
using ToolLayer::GuiDrawnPlacement;
using RawLayer::RawRect;
using ToolLayer::ToolGeometry;

ToolGeometry GeometryOf(const std::string& options) {
  return ToolLayer::ReadToolOptions(RawString::FromUtf8("t " + options)).geometry;
}

struct MoveRow {
  const char* options;
  RawRect before;
  RawRect after;
};

class ApplyGeometryTest : public testing::TestWithParam<MoveRow> {};

TEST_P(ApplyGeometryTest, Moves) {
  const MoveRow& row = GetParam();
  EXPECT_EQ(ToolLayer::ApplyGeometry(GeometryOf(row.options), row.before), row.after) << row.options;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ApplyGeometryTest,
    testing::Values(
        MoveRow{"", {10, 20, 110, 220}, {10, 20, 110, 220}},
        MoveRow{"-x 0 -y 0", {10, 20, 110, 220}, {0, 0, 100, 200}},
        MoveRow{"-x #20", {10, 20, 110, 220}, {-20, 20, 80, 220}},
        MoveRow{"-X 5 -Y #5", {10, 20, 110, 220}, {15, 15, 115, 215}},
        MoveRow{"-W 100", {10, 20, 110, 220}, {10, 20, 210, 220}},
        MoveRow{"-H #50", {10, 20, 110, 220}, {10, 20, 110, 170}},
        // Width and height count from the left and top after the move.
        MoveRow{"-x 300 -w 800", {10, 20, 110, 220}, {300, 20, 1100, 220}},
        MoveRow{"-X 50 -W 10 -y 0 -h 30", {10, 20, 110, 220}, {60, 0, 170, 30}},
        MoveRow{"-x 2147483000 -w 2147483000", {0, 0, 10, 10}, {2147483000, 0, INT32_MAX, 10}},
        MoveRow{"-X #2147483647 -X #2147483647", {-100, 0, 0, 10}, {INT32_MIN, 0, INT32_MIN + 1, 10}}));

TEST(RectSpecTextTest, WritesNegativesWithHash) {
  EXPECT_EQ(ToolLayer::RectSpecText({-8, 0, 1928, 1056}), "-x #8 -y 0 -w 1936 -h 1056");
  EXPECT_EQ(ToolLayer::RectSpecText({100, -30, 50, 20}), "-x 100 -y #30 -w #50 -h 50");
}

TEST(RectSpecTextTest, ReadsBackAsTheSameRectangle) {
  const RawRect rect{-1200, -7, 333, 999};
  const RawString spec = ToolLayer::RectSpecText(rect);
  EXPECT_EQ(ToolLayer::ApplyGeometry(GeometryOf(spec.ToUtf8()), {5, 5, 6, 6}), rect);
}

TEST(DrawnPlacementTest, SetsAbsoluteBitsOverRelativeOnes) {
  ToolGeometry geometry = GeometryOf("-X 5 -W 7 -H 9");
  GuiDrawnPlacement placement;
  EXPECT_FALSE(ToolLayer::ApplyDrawnPlacement(placement, geometry));
  EXPECT_EQ(geometry.flags, 0x0010 | 0x0040 | 0x0080);

  placement.moves = true;
  placement.x = -8;
  placement.y = 4;
  ASSERT_TRUE(ToolLayer::ApplyDrawnPlacement(placement, geometry));
  EXPECT_EQ(geometry.flags, 0x0001 | 0x0002 | 0x0040 | 0x0080);
  EXPECT_EQ(geometry.x, -8);

  placement.sizes = true;
  placement.w = 316;
  placement.h = 208;
  ASSERT_TRUE(ToolLayer::ApplyDrawnPlacement(placement, geometry));
  EXPECT_EQ(geometry.flags, 0x000F);
  EXPECT_EQ(ToolLayer::ApplyGeometry(geometry, {0, 0, 1, 1}), (RawRect{-8, 4, 308, 212}));
}

}  // namespace
