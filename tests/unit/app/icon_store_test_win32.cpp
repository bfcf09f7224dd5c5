#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "app/icon_store_win32.h"
#include "tests/unit/test_files.h"

namespace AppLayer {
namespace {

namespace fs = std::filesystem;
using JobLayer::JobIconControl;
using JobLayer::JobIconSettings;
using TestFiles::PathText;

constexpr char kShell32[] = "C:\\windows\\system32\\shell32.dll";

// Pixels whose alpha is neither 0 nor 255: the icon's own alpha reached the pool.
int32_t PartialAlpha(const GuiIconStore& store, int32_t image) {
  const uint32_t* pixels = store.Pool().SlotPixels(image);
  const int32_t count = store.Pool().SlotWidth() * store.Pool().SlotHeight();
  int32_t partial = 0;
  for (int32_t i = 0; i < count; ++i) {
    const uint32_t alpha = pixels[i] >> 24;
    if (alpha != 0 && alpha != 255) ++partial;
  }
  return partial;
}

class IconStoreWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // A folder per case: CTest runs the cases side by side, and each empties its own.
    folder_ = TestFiles::ScratchFolder("icon_store_win");
    fs::create_directories(folder_ / "folder");
    std::ofstream(folder_ / "note.txt") << "text";
    std::ofstream(folder_ / "data.qqzz") << "no program for this";
    ASSERT_TRUE(store_.Prepare(32, 32));
  }
  int32_t AddFrom(const RawString& file, int32_t index, JobIconStore::Source source) {
    auto picture = store_.Extract(file, index, source);
    return picture ? store_.Add(*picture) : -1;
  }
  fs::path folder_;
  GuiIconStore store_;
};

TEST_F(IconStoreWinTest, SystemIconsLandWithTheirAlpha) {
  const int32_t indexed = AddFrom(kShell32, 3, JobIconStore::SourceIndexed);
  ASSERT_GE(indexed, 0);
  EXPECT_GT(PartialAlpha(store_, indexed), 0);
  const int32_t document = AddFrom(PathText(folder_ / "note.txt"), 0, JobIconStore::SourceShell);
  ASSERT_GE(document, 0);
  EXPECT_GT(PartialAlpha(store_, document), 0);
  EXPECT_GE(AddFrom(PathText(folder_ / "folder"), 0, JobIconStore::SourceShell), 0);
}

TEST_F(IconStoreWinTest, SourcesWithoutIconsGiveNoPicture) {
  struct Row {
    const char* what;
    RawString file;
    int32_t index;
    JobIconStore::Source source;
  };
  const Row rows[] = {
      {"missing file by index", PathText(folder_ / "missing.exe"), 0, JobIconStore::SourceIndexed},
      {"missing file from the shell", PathText(folder_ / "missing.txt"), 0, JobIconStore::SourceShell},
      {"index beyond the icons", kShell32, 5000, JobIconStore::SourceIndexed},
      {"document by index", PathText(folder_ / "note.txt"), 1, JobIconStore::SourceIndexed},
      {"folder by index", PathText(folder_ / "folder"), 0, JobIconStore::SourceIndexed},
      {"empty name", RawString(), 0, JobIconStore::SourceIndexed},
  };
  for (const Row& row : rows) EXPECT_EQ(store_.Extract(row.file, row.index, row.source), nullptr) << row.what;
}

TEST_F(IconStoreWinTest, DocumentWithoutAProgramGetsAnIconOrNone) {
  // The shell gives a generic document icon or nothing; either way the control draws something.
  JobIconSettings settings;
  settings.cacheFolder = PathText(folder_);
  settings.delay = false;
  JobIconControl control;
  ASSERT_TRUE(control.Open(settings, store_));
  const int32_t entry = control.GetEntry(PathText(folder_ / "data.qqzz"), 0);
  EXPECT_TRUE(store_.IsImage(control.GetImage(entry)));
}

TEST_F(IconStoreWinTest, DrawingBlendsTheSlotOverTheTarget) {
  const int32_t image = AddFrom(kShell32, 3, JobIconStore::SourceIndexed);
  ASSERT_GE(image, 0);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = 64;
  info.bmiHeader.biHeight = -64;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP target = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(target, nullptr);
  HGDIOBJ old = SelectObject(dc, target);
  uint32_t* pixels = static_cast<uint32_t*>(bits);
  std::fill(pixels, pixels + 64 * 64, 0x00FFFFFFu);
  const RECT rect{16, 16, 48, 48};
  DrawStoreImage(store_, image, dc, rect);
  GdiFlush();
  int32_t changed = 0;
  int32_t outside = 0;
  for (int32_t y = 0; y < 64; ++y) {
    for (int32_t x = 0; x < 64; ++x) {
      const bool inside = x >= 16 && x < 48 && y >= 16 && y < 48;
      const bool white = (pixels[y * 64 + x] & 0xFFFFFFu) == 0xFFFFFFu;
      if (inside && !white) ++changed;
      if (!inside && !white) ++outside;
    }
  }
  EXPECT_GT(changed, 50);
  EXPECT_EQ(outside, 0);
  DrawStoreImage(store_, 99, dc, rect);  // no such image: nothing drawn
  SelectObject(dc, old);
  DeleteObject(target);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
}

TEST_F(IconStoreWinTest, WorkerExtractsIntoThePoolInTheBackground) {
  JobIconSettings settings;
  settings.cacheFolder = PathText(folder_);
  JobIconControl control;
  ASSERT_TRUE(control.Open(settings, store_));
  const int32_t entry = control.GetEntry(kShell32, 4);
  EXPECT_EQ(control.GetImage(entry), control.LoadingId());
  ASSERT_TRUE(control.StartWorker(0));
  control.RequestLoad();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (control.GetImage(entry) == control.LoadingId()) {
    ASSERT_LT(std::chrono::steady_clock::now(), deadline);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  control.StopWorker();
  const int32_t image = control.GetImage(entry);
  EXPECT_NE(image, control.FailedId());
  std::lock_guard<std::mutex> pool(control.PoolLock());
  EXPECT_GT(PartialAlpha(store_, image), 0);
}

}  // namespace
}  // namespace AppLayer
