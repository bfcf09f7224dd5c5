// Inputs the fuzz targets found faults with, kept as cases of their own.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "job/icon_cache.h"
#include "raw/file.h"
#include "raw/profile.h"
#include "tests/unit/test_files.h"

namespace JobLayer {
namespace {

namespace fs = std::filesystem;
using RawLayer::RawFile;
using TestFiles::PathText;

// Images are numbers; the pool file holds their count.
class CountingStore : public JobIconStore {
 public:
  struct Nothing : Picture {};
  bool Prepare(int32_t, int32_t) override {
    used.clear();
    return true;
  }
  int32_t AddFixed(Fixed) override { return Add(Nothing()); }
  std::unique_ptr<Picture> Extract(const RawString&, int32_t, Source) override { return std::make_unique<Nothing>(); }
  int32_t Add(const Picture&) override {
    used.push_back(true);
    return ImageCount() - 1;
  }
  bool Replace(int32_t image, const Picture&) override { return IsImage(image); }
  void Free(int32_t image) override {
    if (IsImage(image)) used[static_cast<size_t>(image)] = false;
  }
  bool IsImage(int32_t image) const override {
    return image >= 0 && image < ImageCount() && used[static_cast<size_t>(image)];
  }
  int32_t ImageCount() const override { return static_cast<int32_t>(used.size()); }
  bool SaveTo(const RawString& path) override {
    RawFile file;
    const int32_t count = ImageCount();
    return file.OpenWrite(path) && file.Write(&count, sizeof count) && file.Flush();
  }
  bool LoadFrom(const RawString& path) override {
    RawFile file;
    int32_t count = 0;
    int32_t got = 0;
    if (!file.OpenRead(path) || !file.Read(&count, sizeof count, got) || got != sizeof count) return false;
    if (count < 0 || count > 1000) return false;
    used.assign(static_cast<size_t>(count), true);
    return true;
  }
  void Clear() override { used.clear(); }

  std::vector<bool> used;
};

// An index whose carried-over [Identify] keys hold text that is not ASCII is saved so that the
// next start reads it: the saved UTF-8 text of a Shift_JIS katakana claim was taken for
// Shift_JIS again and failed to convert, so the cache never loaded and was never replaced.
TEST(IconCacheFuzzRegression, SavedIndexWithForeignClaimLoadsAgain) {
  struct Row {
    const char* what;
    std::string index;  // the bytes of the index before the first save
  };
  const Row rows[] = {
      {"Shift_JIS katakana in a key (found by fuzzing)", "[Identify]\nDataFile=20240nIndex=5\nUn\xdcused=7\n"},
      {"Shift_JIS katakana in the claim", "[Identify]\r\nProfile=C:\\\xb6\xc5\\kestrel.ini\r\n"},
      {"UTF-8 katakana in the claim", "[Identify]\r\nProfile=C:\\\xef\xbd\xb6\xef\xbe\x85\\kestrel.ini\r\n"},
      {"UTF-8 accents in the claim", "[Identify]\r\nProfile=C:\\J\xc3\xbcrgen\\kestrel.ini\r\n"},
  };
  const fs::path dir = fs::path(KESTREL_TEST_TMP_DIR) / "fuzz_regressions_icon_cache";
  for (const Row& row : rows) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::ofstream(dir / "IconCache.ini", std::ios::binary) << row.index;
    JobIconSettings settings;
    settings.cacheFolder = PathText(dir);
    const RawString indexPath = PathText(dir / "IconCache.ini");
    RawLayer::RawProfile before(indexPath);
    const RawString claim = before.GetValue("Identify", "Profile", "none");

    CountingStore store;
    JobIconControl first;
    ASSERT_TRUE(first.Open(settings, store)) << row.what;
    (void)first.GetEntry("C:\\bin\\editor.exe", 0);
    ASSERT_TRUE(first.SaveCache()) << row.what;

    CountingStore again;
    JobIconControl second;
    ASSERT_TRUE(second.Open(settings, again)) << row.what;
    EXPECT_TRUE(second.LoadCache()) << row.what;
    EXPECT_EQ(second.EntryCount(), 1) << row.what;
    EXPECT_TRUE(second.SaveCache()) << row.what;
    RawLayer::RawProfile after(indexPath);
    EXPECT_EQ(after.GetValue("Identify", "Profile", "none").ToUtf8(), claim.ToUtf8()) << row.what;
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace JobLayer
