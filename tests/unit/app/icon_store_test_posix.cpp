#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/icon_store.h"
#include "tests/unit/test_files.h"

namespace AppLayer {
namespace {

namespace fs = std::filesystem;
using JobLayer::JobIconControl;
using JobLayer::JobIconSettings;
using TestFiles::PathText;

// The headless build has no icons to extract: whatever the source, the failed image.
TEST(HeadlessIconStoreTest, EveryIconIsTheFailedImageAndTheCacheStillRoundTrips) {
  const fs::path folder = fs::path(KESTREL_TEST_TMP_DIR) / "icon_store_headless";
  fs::remove_all(folder);
  fs::create_directories(folder / "a folder");
  JobIconSettings settings;
  settings.cacheFolder = PathText(folder);
  settings.delay = false;
  const std::string sources[] = {"/bin/sh", (folder / "missing.exe").string(), (folder / "a folder").string(),
                                 "/etc/hostname", ""};
  {
    GuiIconStore store;
    JobIconControl control;
    ASSERT_TRUE(control.Open(settings, store));
    for (const std::string& source : sources) {
      const int32_t entry = control.GetEntry(RawString::FromUtf8(source), 0);
      EXPECT_EQ(control.GetImage(entry), control.FailedId()) << source;
    }
    EXPECT_EQ(store.ImageCount(), 2);
    ASSERT_TRUE(control.SaveCache());
  }
  GuiIconStore store;
  JobIconControl control;
  ASSERT_TRUE(control.Open(settings, store));
  ASSERT_TRUE(control.LoadCache());
  EXPECT_EQ(control.EntryCount(), 5);
  while (control.WorkOnce()) {
  }
  EXPECT_EQ(control.GetImage(0), control.FailedId());
  EXPECT_EQ(store.ImageCount(), 2);
}

}  // namespace
}  // namespace AppLayer
