#include "raw/bit_array.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace RawLayer {
namespace {

std::vector<int32_t> TakeMany(RawBitArray& bits, int count) {
  std::vector<int32_t> taken;
  for (int i = 0; i < count; ++i) taken.push_back(bits.TakeFirstClear());
  return taken;
}

TEST(BitArrayTest, TakesTheLowestRunEndOfTheFirstWordThatIsNotFull) {
  struct Row {
    std::vector<uint32_t> words;
    int32_t expected;
  };
  const Row rows[] = {
      {{0x0u}, 0},
      {{0xBu}, 2},                     // bits 0, 1 and 3: the run from bit 0 ends at 2
      {{0xFFFFFFFFu, 0x7u}, 35},       // a full word is skipped
      {{0xFFFFFFFEu}, 0},              // bit 0 clear
      {{0xFFFFFFFFu, 0xFFFFFFFFu}, 64},  // every word full: the array grows
  };
  for (const Row& row : rows) {
    RawBitArray bits;
    bits.AssignWords(row.words.data(), static_cast<int32_t>(row.words.size()));
    EXPECT_EQ(bits.TakeFirstClear(), row.expected);
    EXPECT_TRUE(bits.Get(row.expected));
    EXPECT_GE(bits.BitCapacity(), row.expected + 1);
  }
}

TEST(BitArrayTest, GrowsByWholeStepsWhenTheBitIsBeyondTheCapacity) {
  RawBitArray bits;
  bits.SetGrowStep(50);
  EXPECT_EQ(bits.TakeFirstClear(), 0);
  EXPECT_EQ(bits.BitCapacity(), 50);
  EXPECT_EQ(bits.WordCount(), 2);
  TakeMany(bits, 49);
  // Bit 50 lies in a word that is not full, but beyond the capacity.
  EXPECT_EQ(bits.TakeFirstClear(), 50);
  EXPECT_EQ(bits.BitCapacity(), 100);
  EXPECT_EQ(bits.WordCount(), 4);
  EXPECT_EQ(bits.HighestUsedPlusOne(), 51);
  bits.Set(420);
  EXPECT_EQ(bits.BitCapacity(), 450);
  EXPECT_EQ(bits.HighestUsedPlusOne(), 421);
}

TEST(BitArrayTest, FreedBitIsTakenAgainFirst) {
  RawBitArray bits;
  bits.SetGrowStep(50);
  bits.ReserveWords(4);
  EXPECT_EQ(TakeMany(bits, 10), (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  bits.Clear(3);
  bits.Clear(7);
  EXPECT_EQ(TakeMany(bits, 3), (std::vector<int32_t>{3, 7, 10}));
  EXPECT_EQ(bits.WordCount(), 4);
  bits.ClearAll();
  EXPECT_EQ(bits.HighestUsedPlusOne(), 0);
  EXPECT_EQ(bits.TakeFirstClear(), 0);
}

TEST(BitArrayTest, OutOfRangeBitsAreClearAndIgnored) {
  RawBitArray bits;
  bits.Set(-1);
  bits.Clear(-5);
  bits.Clear(1000);
  EXPECT_FALSE(bits.Get(-1));
  EXPECT_FALSE(bits.Get(1000));
  EXPECT_EQ(bits.WordCount(), 0);
  EXPECT_EQ(bits.Word(3), 0u);
}

TEST(BitArrayTest, CopiesShareUntilOneChanges) {
  const int64_t before = RawBitArray::LiveBodies();
  {
    RawBitArray first;
    first.Set(5);
    RawBitArray second(first);
    EXPECT_TRUE(second.SharesBodyWith(first));
    EXPECT_EQ(RawBitArray::LiveBodies(), before + 1);
    second.Set(6);
    EXPECT_FALSE(second.SharesBodyWith(first));
    EXPECT_FALSE(first.Get(6));
    EXPECT_TRUE(second.Get(5));
    RawBitArray third;
    third = second;
    third.Release();
    EXPECT_TRUE(second.Get(6));
    EXPECT_EQ(third.WordCount(), 0);
  }
  EXPECT_EQ(RawBitArray::LiveBodies(), before);
}

TEST(BitArrayTest, AssignedWordsGiveTheHighestBitAndCopyBack) {
  const uint32_t words[] = {0x1u, 0x0u, 0x80000000u, 0x0u};
  RawBitArray bits;
  bits.AssignWords(words, 4);
  EXPECT_EQ(bits.HighestUsedPlusOne(), 96);
  EXPECT_EQ(bits.BitCapacity(), 128);
  uint32_t out[6] = {9, 9, 9, 9, 9, 9};
  bits.CopyWords(out, 6);
  EXPECT_EQ(std::vector<uint32_t>(out, out + 6), (std::vector<uint32_t>{1, 0, 0x80000000u, 0, 0, 0}));
}

}  // namespace
}  // namespace RawLayer
