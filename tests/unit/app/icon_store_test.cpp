#include "app/icon_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "raw/file.h"
#include "tests/unit/test_files.h"

namespace AppLayer {
namespace {

namespace fs = std::filesystem;
using TestFiles::PathText;

TEST(IconStoreTest, FixedPicturesAreFramedAndTheLoadingOneIsHalfTransparent) {
  const std::vector<uint32_t> failed = FixedPicturePixels(JobIconStore::FixedFailed, 16, 16);
  EXPECT_EQ(failed[0], 0xFF808080u);
  EXPECT_EQ(failed[15 * 16 + 8], 0xFF808080u);
  EXPECT_EQ(failed[5 * 16 + 5], 0xFF808080u);  // on the cross
  EXPECT_EQ(failed[3 * 16 + 8], 0x00000000u);
  const std::vector<uint32_t> loading = FixedPicturePixels(JobIconStore::FixedLoading, 16, 16);
  EXPECT_EQ(loading[8 * 16 + 8] >> 24, 0x60u);
}

TEST(IconStoreTest, FixedImagesComeFirstAndSurviveASaveAndLoad) {
  GuiIconStore store;
  ASSERT_TRUE(store.Prepare(24, 24));
  EXPECT_EQ(store.AddFixed(JobIconStore::FixedFailed), 0);
  EXPECT_EQ(store.AddFixed(JobIconStore::FixedLoading), 1);
  EXPECT_EQ(store.ImageCount(), 2);
  EXPECT_TRUE(store.IsImage(1));
  EXPECT_FALSE(store.IsImage(2));
  const fs::path folder = fs::path(KESTREL_TEST_TMP_DIR) / "icon_store";
  fs::create_directories(folder);
  const RawString path = PathText(folder / "fixed.dat");
  ASSERT_TRUE(store.SaveTo(path));

  GuiIconStore loaded;
  ASSERT_TRUE(loaded.Prepare(24, 24));
  ASSERT_TRUE(loaded.LoadFrom(path));
  EXPECT_EQ(loaded.ImageCount(), 2);
  const uint32_t* pixels = loaded.Pool().SlotPixels(1);
  EXPECT_EQ(std::vector<uint32_t>(pixels, pixels + 24 * 24), FixedPicturePixels(JobIconStore::FixedLoading, 24, 24));
  loaded.Free(1);
  EXPECT_FALSE(loaded.IsImage(1));

  // Another icon size refuses the file and keeps what it holds.
  GuiIconStore other;
  ASSERT_TRUE(other.Prepare(16, 16));
  EXPECT_EQ(other.AddFixed(JobIconStore::FixedFailed), 0);
  EXPECT_FALSE(other.LoadFrom(path));
  EXPECT_EQ(other.ImageCount(), 1);
  other.Clear();
  EXPECT_EQ(other.ImageCount(), 0);
  EXPECT_TRUE(RawLayer::DeleteFileAt(path));
}

TEST(IconStoreTest, UnusableSizeIsRefused) {
  GuiIconStore store;
  EXPECT_FALSE(store.Prepare(0, 16));
  EXPECT_FALSE(store.Prepare(16, -1));
}

}  // namespace
}  // namespace AppLayer
