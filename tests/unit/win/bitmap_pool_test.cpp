#include "win/bitmap_pool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <tuple>
#include <vector>

#include "raw/file.h"

namespace WinLayer {
namespace {

std::vector<uint32_t> Filled(int32_t width, int32_t height, uint32_t pixel) {
  return std::vector<uint32_t>(static_cast<size_t>(width * height), pixel);
}

std::vector<uint32_t> Noise(int32_t width, int32_t height, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint32_t> pixels(static_cast<size_t>(width * height));
  for (uint32_t& pixel : pixels) pixel = static_cast<uint32_t>(random());
  return pixels;
}

uint32_t Channel(uint32_t pixel, int shift) { return (pixel >> shift) & 0xFF; }

class MemoryWriter : public WinBitmapPoolEx::Writer {
 public:
  bool Write(const void* data, int32_t size) override {
    const char* bytes = static_cast<const char*>(data);
    out.insert(out.end(), bytes, bytes + size);
    return true;
  }
  std::vector<char> out;
};

// A reader of bytes in memory; with `tells` it says how many are still to come, as a file
// reader does, and `claimsMore` makes it claim more than it holds.
class MemoryReader : public WinBitmapPoolEx::Reader {
 public:
  explicit MemoryReader(const std::vector<char>& in, bool tells = false, int64_t claimsMore = 0)
      : in_(in), tells_(tells), claimsMore_(claimsMore) {}
  bool Read(void* data, int32_t size, int32_t& got) override {
    got = static_cast<int32_t>(std::min<size_t>(static_cast<size_t>(size), in_.size() - position_));
    if (got > 0) std::memcpy(data, in_.data() + position_, static_cast<size_t>(got));
    position_ += static_cast<size_t>(got);
    return true;
  }
  int64_t Remaining() const override {
    return tells_ ? static_cast<int64_t>(in_.size() - position_) + claimsMore_ : -1;
  }

 private:
  const std::vector<char>& in_;
  bool tells_;
  int64_t claimsMore_;
  size_t position_ = 0;
};

TEST(BitmapPixelTest, PackClampsAndTruncatesEachChannel) {
  EXPECT_EQ(PackPixel(255, 0, 0, 0), 0xFF000000u);
  EXPECT_EQ(PackPixel(-3, 300, 254.99, 0.5), 0x00FFFE00u);
  EXPECT_EQ(PackPixel(0, 0, 0, 255.0), 0x000000FFu);
  EXPECT_EQ(PackPixel(128.7, 1.2, 2.9, 3.0), 0x80010203u);
}

TEST(BitmapPixelTest, BlendKeepsTheBackgroundAtAlphaZeroAndReplacesItAt255) {
  struct Row {
    uint32_t background;
    uint32_t pixel;
    uint32_t expected;
  };
  const Row rows[] = {
      {0xFF336699u, 0x00FFFFFFu, 0x00336699u},  // transparent: background, alpha byte 0
      {0xFF336699u, 0xFF102030u, 0x00102030u},  // opaque: the pixel
      // a = 128: floor((d * 127 + s * 128) / 255) per channel
      {0x00000000u, 0x80FF8001u, 0x00804000u},
      {0x00FFFFFFu, 0x80000000u, 0x007F7F7Fu},
  };
  for (const Row& row : rows) EXPECT_EQ(BlendPixel(row.background, row.pixel), row.expected);
}

TEST(BitmapPixelTest, MaskAppliesOnlyToIconsWithoutAlpha) {
  const uint32_t mask[] = {0, 0xFFFFFF, 0, 0xFFFFFF};
  {
    uint32_t color[] = {0x00112233u, 0x00445566u, 0x00000000u, 0x00FFFFFFu};
    ApplyIconMask(color, mask, 4);
    EXPECT_EQ(std::vector<uint32_t>(color, color + 4),
              (std::vector<uint32_t>{0xFF112233u, 0x00FFFFFFu, 0xFF000000u, 0x00FFFFFFu}));
  }
  {
    // One alpha byte anywhere: the icon keeps its own alpha, masked pixels included.
    uint32_t color[] = {0x00112233u, 0x01445566u, 0x00000000u, 0x00FFFFFFu};
    ApplyIconMask(color, mask, 4);
    EXPECT_EQ(std::vector<uint32_t>(color, color + 4),
              (std::vector<uint32_t>{0x00112233u, 0x01445566u, 0x00000000u, 0x00FFFFFFu}));
  }
  {
    uint32_t color[] = {0x00112233u, 0x00445566u};
    ApplyIconMask(color, nullptr, 2);
    EXPECT_EQ(color[1], 0xFF445566u);
  }
}

TEST(BitmapScaleTest, FunctionIsChosenBySizes) {
  struct Row {
    int32_t iconWidth, iconHeight, slotWidth, slotHeight;
    WinBitmapAlpha::Kind kind;
  };
  const Row rows[] = {
      {16, 16, 16, 16, WinBitmapAlpha::KindSameSize},
      {16, 16, 32, 32, WinBitmapAlpha::KindBilinear},
      {32, 16, 32, 32, WinBitmapAlpha::KindBilinear},
      {48, 48, 32, 32, WinBitmapAlpha::KindAreaAverage},
      {32, 48, 32, 32, WinBitmapAlpha::KindAreaAverage},
      {16, 48, 32, 32, WinBitmapAlpha::KindAreaAverage},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(WinBitmapAlpha::Choose(row.iconWidth, row.iconHeight, row.slotWidth, row.slotHeight), row.kind);
  }
}

TEST(BitmapScaleTest, CubicWeight) {
  EXPECT_EQ(WinBitmapAlpha::CubicWeight(0.0), 1.0);
  EXPECT_EQ(WinBitmapAlpha::CubicWeight(0.25), 0.84375);
  EXPECT_EQ(WinBitmapAlpha::CubicWeight(0.5), 0.5);
  EXPECT_EQ(WinBitmapAlpha::CubicWeight(0.75), 0.15625);
  EXPECT_EQ(WinBitmapAlpha::CubicWeight(1.0), 0.0);
  EXPECT_EQ(WinBitmapAlpha::CubicWeight(1.25), 0.0);
}

TEST(BitmapScaleTest, EnlargedCornerTakesOnlyTheCornerPixelWithTheSquaredWeight) {
  std::vector<uint32_t> source = Filled(16, 16, 0xFFFFFFFFu);
  source[0] = 0xC8643210u;
  std::vector<uint32_t> target(32 * 32);
  WinBitmapAlpha::Scale(source.data(), 16, 16, target.data(), 32, 32);
  const double w = 0.84375 * 0.84375;
  EXPECT_EQ(target[0], PackPixel(0xC8 * w, 0x64 * w, 0x32 * w, 0x10 * w));
  EXPECT_EQ(target[0], 0x8E47230Bu);
  // Away from the edges the weights of each direction add up to 1.
  EXPECT_EQ(target[20 * 32 + 20], 0xFFFFFFFFu);
  // The first row is weaker than the source edge, alpha included.
  EXPECT_EQ(target[10], PackPixel(255 * 0.84375, 255 * 0.84375, 255 * 0.84375, 255 * 0.84375));
}

TEST(BitmapScaleTest, HalvingAveragesEachTwoByTwoBlock) {
  const std::vector<uint32_t> source = Noise(32, 32, 7);
  std::vector<uint32_t> target(16 * 16);
  WinBitmapAlpha::Scale(source.data(), 32, 32, target.data(), 16, 16);
  for (int32_t y = 0; y < 16; ++y) {
    for (int32_t x = 0; x < 16; ++x) {
      uint32_t expected = 0;
      for (int shift = 0; shift < 32; shift += 8) {
        uint32_t sum = 0;
        for (int32_t dy = 0; dy < 2; ++dy) {
          for (int32_t dx = 0; dx < 2; ++dx) sum += Channel(source[(2 * y + dy) * 32 + 2 * x + dx], shift);
        }
        expected |= (sum / 4) << shift;
      }
      ASSERT_EQ(target[y * 16 + x], expected) << x << "," << y;
    }
  }
}

TEST(BitmapScaleTest, ReducingByOneAndAHalfKeepsAUniformImage) {
  const std::vector<uint32_t> source = Filled(48, 48, 0xFF80FF01u);
  std::vector<uint32_t> target(32 * 32);
  WinBitmapAlpha::Scale(source.data(), 48, 48, target.data(), 32, 32);
  EXPECT_EQ(target, Filled(32, 32, 0xFF80FF01u));
}

TEST(BitmapScaleTest, EqualSizesCopy) {
  const std::vector<uint32_t> source = Noise(16, 16, 3);
  std::vector<uint32_t> target(16 * 16);
  WinBitmapAlpha::Scale(source.data(), 16, 16, target.data(), 16, 16);
  EXPECT_EQ(target, source);
}

TEST(BitmapScaleTest, ViewClampsReadsToItsRectangle) {
  const std::vector<uint32_t> source = Noise(8, 8, 11);
  const WinPixelView view{source.data(), 2, 3, 6, 5, 8};
  EXPECT_EQ(view.At(0, 0), source[3 * 8 + 2]);
  EXPECT_EQ(view.At(-4, -4), source[3 * 8 + 2]);
  EXPECT_EQ(view.At(100, 100), source[4 * 8 + 5]);
  EXPECT_EQ(view.At(1, 1), source[4 * 8 + 3]);
}

class BitmapPoolTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(pool.Prepare(4, 4)); }
  int32_t AddSolid(uint32_t pixel) {
    const std::vector<uint32_t> color = Filled(4, 4, pixel);
    return pool.AddPixels(color.data(), nullptr, 4, 4);
  }
  std::vector<uint32_t> Slot(const WinBitmapPool& from, int32_t slot) {
    const uint32_t* pixels = from.SlotPixels(slot);
    return std::vector<uint32_t>(pixels, pixels + 16);
  }
  WinBitmapPoolEx pool;
};

TEST_F(BitmapPoolTest, FreedSlotIsUsedAgainAndCountStays) {
  for (int32_t i = 0; i < 10; ++i) ASSERT_EQ(AddSolid(0x00010101u * static_cast<uint32_t>(i)), i);
  pool.FreeSlot(3);
  EXPECT_FALSE(pool.IsSlotUsed(3));
  EXPECT_EQ(AddSolid(0x00ABCDEFu), 3);
  EXPECT_EQ(pool.Count(), 10);
  EXPECT_EQ(Slot(pool, 3), Filled(4, 4, 0xFFABCDEFu));
  EXPECT_EQ(AddSolid(0), 10);
  EXPECT_EQ(pool.Count(), 11);
}

TEST_F(BitmapPoolTest, StripGrowsByItsStepAndKeepsTheSlots) {
  EXPECT_EQ(pool.Capacity(), 100);
  for (int32_t i = 0; i < 101; ++i) ASSERT_EQ(AddSolid(static_cast<uint32_t>(i)), i);
  EXPECT_EQ(pool.Capacity(), 150);
  EXPECT_EQ(Slot(pool, 0), Filled(4, 4, 0xFF000000u));
  EXPECT_EQ(Slot(pool, 99), Filled(4, 4, 0xFF000063u));
  pool.Reset();
  EXPECT_EQ(pool.Count(), 0);
  EXPECT_EQ(AddSolid(0), 0);
}

TEST_F(BitmapPoolTest, MaskedPixelsOfAnIconWithoutAlphaBlendToTheBackground) {
  std::vector<uint32_t> color = Filled(4, 4, 0x00102030u);
  std::vector<uint32_t> mask = Filled(4, 4, 0);
  mask[5] = 0x00FFFFFFu;
  const int32_t slot = pool.AddPixels(color.data(), mask.data(), 4, 4);
  ASSERT_EQ(slot, 0);
  EXPECT_EQ(pool.SlotPixels(slot)[5], 0x00FFFFFFu);
  EXPECT_EQ(pool.SlotPixels(slot)[4], 0xFF102030u);
  std::vector<uint32_t> screen = Filled(6, 4, 0x00777777u);
  pool.BlendSlot(slot, screen.data(), 6);
  EXPECT_EQ(screen[1 * 6 + 1], 0x00777777u);
  EXPECT_EQ(screen[1 * 6 + 0], 0x00102030u);
  EXPECT_EQ(screen[1 * 6 + 4], 0x00777777u);  // beyond the slot's width
  pool.BlendSlot(7, screen.data(), 6);          // not handed out: nothing drawn
  EXPECT_EQ(screen[0], 0x00102030u);
}

TEST_F(BitmapPoolTest, ReplaceKeepsTheSlotNumberAndEnlargesToTheSlot) {
  ASSERT_EQ(AddSolid(0x00FFFFFFu), 0);
  const std::vector<uint32_t> small = Filled(2, 2, 0xFF000000u);
  ASSERT_TRUE(pool.ReplacePixels(0, small.data(), nullptr, 2, 2));
  EXPECT_EQ(pool.SlotPixels(0)[5], 0xFF000000u);
  EXPECT_FALSE(pool.ReplacePixels(1, small.data(), nullptr, 2, 2));
  EXPECT_EQ(pool.AddPixels(small.data(), nullptr, 0, 2), -1);
  EXPECT_EQ(pool.AddPixels(small.data(), nullptr, 5000, 5000), -1);
  EXPECT_EQ(pool.Count(), 1);
}

TEST_F(BitmapPoolTest, FileRoundTripKeepsSlotsBitsAndCount) {
  for (int32_t i = 0; i < 40; ++i) ASSERT_EQ(AddSolid(0x00010203u * static_cast<uint32_t>(i)), i);
  pool.FreeSlot(3);
  MemoryWriter writer;
  ASSERT_TRUE(pool.SaveTo(writer));
  EXPECT_EQ(writer.out.size(), 16u + 4u * static_cast<size_t>(pool.Bits().WordCount()) + 40u * 16u * 4u);
  int32_t header[4];
  std::memcpy(header, writer.out.data(), sizeof header);
  EXPECT_EQ(std::vector<int32_t>(header, header + 4), (std::vector<int32_t>{4, 4, 40, 4}));

  WinBitmapPoolEx loaded;
  ASSERT_TRUE(loaded.Prepare(4, 4));
  MemoryReader reader(writer.out);
  ASSERT_TRUE(loaded.LoadFrom(reader));
  EXPECT_EQ(loaded.Count(), 40);
  for (int32_t i = 0; i < 40; ++i) EXPECT_EQ(Slot(loaded, i), Slot(pool, i));
  EXPECT_FALSE(loaded.IsSlotUsed(3));
  EXPECT_EQ(loaded.NewSlot(), 3);
  EXPECT_EQ(loaded.NewSlot(), 40);
}

TEST_F(BitmapPoolTest, FileOnDiskRoundTrip) {
  ASSERT_EQ(AddSolid(0x00445566u), 0);
  const RawString path = RawString::FromUtf8(KESTREL_TEST_TMP_DIR "/pool_round_trip.dat");
  ASSERT_TRUE(pool.SaveTo(path));
  WinBitmapPoolEx loaded;
  ASSERT_TRUE(loaded.Prepare(4, 4));
  ASSERT_TRUE(loaded.LoadFrom(path));
  EXPECT_EQ(Slot(loaded, 0), Filled(4, 4, 0xFF445566u));
  EXPECT_TRUE(RawLayer::DeleteFileAt(path));
  EXPECT_FALSE(loaded.LoadFrom(path));
}

// A pool file made by hand: header (claiming `claimedWords` words, or as many as
// given), words, then `pixels` pixels.
std::vector<char> PoolFile(int32_t width, int32_t height, int32_t count, std::vector<uint32_t> words,
                           int64_t pixels, int32_t claimedWords = -1) {
  std::vector<char> out;
  auto put = [&out](const void* data, size_t size) {
    out.insert(out.end(), static_cast<const char*>(data), static_cast<const char*>(data) + size);
  };
  const int32_t header[4] = {width, height, count,
                             claimedWords >= 0 ? claimedWords : static_cast<int32_t>(words.size())};
  put(header, sizeof header);
  put(words.data(), words.size() * 4);
  const std::vector<uint32_t> body(static_cast<size_t>(pixels), 0xFF00FF00u);
  put(body.data(), body.size() * 4);
  return out;
}

TEST_F(BitmapPoolTest, DamagedFilesAreRefusedAndLeaveThePool) {
  ASSERT_EQ(AddSolid(0x00123456u), 0);
  struct Row {
    const char* what;
    std::vector<char> file;
  };
  std::vector<char> truncated = PoolFile(4, 4, 2, {0x3u}, 32);
  truncated.resize(truncated.size() - 1);
  const Row rows[] = {
      {"more slots than a pool holds", PoolFile(4, 4, 1 << 22, {}, 0)},
      {"largest count", PoolFile(4, 4, 0x7FFFFFFF, {}, 0)},
      {"other width", PoolFile(8, 4, 1, {0x1u}, 32)},
      {"other height", PoolFile(4, 8, 1, {0x1u}, 32)},
      {"negative width", PoolFile(-4, 4, 1, {0x1u}, 16)},
      {"negative count", PoolFile(4, 4, -1, {}, 0)},
      {"huge word count", PoolFile(4, 4, 2, {0x3u}, 0, 0x7FFFFFFF)},
      {"word beyond the bit numbers", PoolFile(4, 4, 2, {0x3u}, 0, 0x4000000)},
      {"bit beyond the count in word 64", PoolFile(4, 4, 1, [] {
         std::vector<uint32_t> words(65, 0u);
         words[64] = 1u;
         return words;
       }(), 16)},
      {"more pixels claimed than held", PoolFile(4, 4, 100000, {}, 16)},
      {"bit beyond the count", PoolFile(4, 4, 2, {0x5u}, 32)},
      {"short header", std::vector<char>(10, 0)},
      {"short words", PoolFile(4, 4, 2, {}, 0, 2)},
      {"short pixels", truncated},
      {"empty", {}},
  };
  // Each reader: one that cannot tell what is to come, one that tells the truth, one that
  // claims a megabyte more than it holds.
  const struct {
    bool tells;
    int64_t claimsMore;
  } readers[] = {{false, 0}, {true, 0}, {true, 1 << 20}};
  for (const Row& row : rows) {
    for (const auto& kind : readers) {
      MemoryReader reader(row.file, kind.tells, kind.claimsMore);
      EXPECT_FALSE(pool.LoadFrom(reader)) << row.what << " " << kind.tells << " " << kind.claimsMore;
      EXPECT_EQ(pool.Count(), 1) << row.what;
      EXPECT_EQ(Slot(pool, 0), Filled(4, 4, 0xFF123456u)) << row.what;
      EXPECT_TRUE(pool.IsSlotUsed(0)) << row.what;
    }
  }
}

TEST_F(BitmapPoolTest, ThousandSlotsLoadAndTheNextSlotFollows) {
  std::vector<uint32_t> words(32, 0xFFFFFFFFu);
  words[31] = 0x000000FFu;  // slots 992..999
  const std::vector<char> file = PoolFile(4, 4, 1000, words, 1000 * 16);
  for (const bool tells : {false, true}) {
    WinBitmapPoolEx loaded;
    ASSERT_TRUE(loaded.Prepare(4, 4));
    MemoryReader fileReader(file, tells);
    ASSERT_TRUE(loaded.LoadFrom(fileReader)) << tells;
    EXPECT_EQ(loaded.Count(), 1000);
    EXPECT_GE(loaded.Capacity(), 1001);
    EXPECT_EQ(loaded.SlotPixels(999)[15], 0xFF00FF00u);
    EXPECT_EQ(loaded.SlotPixels(1000)[0], 0u) << "room beyond the count is clear";
    EXPECT_EQ(loaded.NewSlot(), 1000);
  }
}

// A launcher with thousands of icons: its saved pool must come back at the next start.
TEST_F(BitmapPoolTest, PoolOfManyIconsRoundTripsThroughItsFile) {
  constexpr int32_t kIcons = 2500;
  for (int32_t i = 0; i < kIcons; ++i) ASSERT_EQ(AddSolid(static_cast<uint32_t>(i) * 0x00010307u), i);
  for (int32_t slot : {0, 1234, kIcons - 1}) pool.FreeSlot(slot);
  const RawString path = RawString::FromUtf8(KESTREL_TEST_TMP_DIR "/pool_many_icons.dat");
  ASSERT_TRUE(pool.SaveTo(path));
  WinBitmapPoolEx loaded;
  ASSERT_TRUE(loaded.Prepare(4, 4));
  ASSERT_TRUE(loaded.LoadFrom(path));
  EXPECT_TRUE(RawLayer::DeleteFileAt(path));
  ASSERT_EQ(loaded.Count(), kIcons);
  for (int32_t i = 0; i < kIcons; ++i) {
    ASSERT_EQ(loaded.IsSlotUsed(i), pool.IsSlotUsed(i)) << i;
    ASSERT_EQ(Slot(loaded, i), Slot(pool, i)) << i;
  }
  EXPECT_EQ(loaded.NewSlot(), 0);
  EXPECT_EQ(loaded.NewSlot(), 1234);
  EXPECT_EQ(loaded.NewSlot(), kIcons - 1);
  EXPECT_EQ(loaded.NewSlot(), kIcons);
}

// The icon cache keeps a pool per icon size: images of 32 pixels (96 DPI) and of 48 (144 DPI)
// never share slots, and a size met again finds its pool as it was left.
TEST(BitmapPoolSetTest, OnePoolPerSizeKeptAcrossChanges) {
  WinBitmapPoolSet pools;
  EXPECT_EQ(pools.Current(), nullptr);
  struct Row {
    int32_t width, height;
    bool ok, fresh;
    int32_t poolCount;
    int32_t countAfterAdd;  // slots of the current pool once this row added one
  } rows[] = {
      {32, 32, true, true, 1, 1},   {48, 48, true, true, 2, 1},  {32, 32, true, false, 2, 2},
      {48, 48, true, false, 2, 2},  {48, 32, true, true, 3, 1},  {0, 32, false, false, 3, 2},
      {32, -1, false, false, 3, 3}, {64, 64, true, true, 4, 1},  {32, 32, true, false, 4, 3},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.width) + " x " + std::to_string(row.height));
    WinBitmapPoolEx* before = pools.Current();
    bool fresh = !row.fresh;
    EXPECT_EQ(pools.Use(row.width, row.height, fresh), row.ok);
    EXPECT_EQ(fresh, row.fresh);
    EXPECT_EQ(pools.PoolCount(), row.poolCount);
    if (row.ok) {
      ASSERT_EQ(pools.Current(), pools.Find(row.width, row.height));
    } else {
      EXPECT_EQ(pools.Current(), before) << "a refused size changes nothing";
    }
    WinBitmapPoolEx& pool = *pools.Current();
    const int32_t w = pool.SlotWidth();
    const int32_t h = pool.SlotHeight();
    // Each pool's pixels are its own size: an opaque image of the slot's size is kept as is.
    const std::vector<uint32_t> image(static_cast<size_t>(w * h), 0xFF000000u | static_cast<uint32_t>(w * 1000 + h));
    const int32_t slot = pool.AddPixels(image.data(), nullptr, w, h);
    ASSERT_GE(slot, 0);
    EXPECT_EQ(pool.Count(), row.countAfterAdd);
    EXPECT_EQ(std::vector<uint32_t>(pool.SlotPixels(slot), pool.SlotPixels(slot) + w * h), image);
  }
  for (const auto& [w, h, slots] : {std::tuple{32, 32, 3}, {48, 48, 2}, {48, 32, 3}, {64, 64, 1}}) {
    const WinBitmapPoolEx* pool = pools.Find(w, h);
    ASSERT_NE(pool, nullptr);
    EXPECT_EQ(pool->Count(), slots);
    for (int32_t slot = 0; slot < slots; ++slot) {
      EXPECT_EQ(*pool->SlotPixels(slot), 0xFF000000u | static_cast<uint32_t>(w * 1000 + h)) << w << " x " << h;
    }
  }
  EXPECT_EQ(pools.Find(16, 16), nullptr);
  pools.ReleaseAll();
  EXPECT_EQ(pools.Current(), nullptr);
  EXPECT_EQ(pools.PoolCount(), 0);
}

}  // namespace
}  // namespace WinLayer
