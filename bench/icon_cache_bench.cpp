// The icon cache at start and at exit with a full pool of 32x32 images: 998 icons
// and the two fixed images make the 1,000 slots a pool file may hold. LoadCache
// (the index profile with 998 Item sections and a 4 MB pool file) and SaveCache,
// beside a plain read of the same data file in 1 MiB blocks as the floor.
// Icons come from a store that makes pixels instead of asking the shell.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/icon_store.h"
#include "raw/file.h"

namespace {

using JobLayer::JobIconControl;
using RawLayer::RawString;
namespace fs = std::filesystem;

constexpr int32_t kIcons = 998;

RawString PathText(const fs::path& path) {
  std::u8string text = path.u8string();
  return RawString::FromUtf8({reinterpret_cast<const char*>(text.data()), text.size()});
}

struct PixelPicture : JobLayer::JobIconStore::Picture {
  std::vector<uint32_t> pixels;
};

// The launcher's store with icons drawn from the file name instead of extracted.
class MadeIconStore : public AppLayer::GuiIconStore {
 public:
  std::unique_ptr<Picture> Extract(const RawString& file, int32_t index, Source) override {
    auto picture = std::make_unique<PixelPicture>();
    picture->pixels.assign(32 * 32, 0x80000000u | static_cast<uint32_t>(file.Length() * 977 + index));
    return picture;
  }
  int32_t Add(const Picture& picture) override {
    return Pool().AddPixels(static_cast<const PixelPicture&>(picture).pixels.data(), nullptr, 32, 32);
  }
  bool Replace(int32_t image, const Picture& picture) override {
    return Pool().ReplacePixels(image, static_cast<const PixelPicture&>(picture).pixels.data(), nullptr, 32, 32);
  }
};

JobLayer::JobIconSettings Settings(const fs::path& folder) {
  JobLayer::JobIconSettings settings;
  settings.cacheFolder = PathText(folder);
  settings.iconWidth = settings.iconHeight = 32;
  settings.delay = false;
  return settings;
}

// A full cache saved once, removed at exit.
class SavedCache {
 public:
  SavedCache() {
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    MadeIconStore store;
    JobIconControl control;
    (void)control.Open(Settings(folder_), store);
    for (int32_t n = 0; n < kIcons; ++n) {
      control.GetEntry(RawString::FromUtf8("C:\\Programs\\Tool " + std::to_string(n) + "\\tool.exe"), 0);
    }
    (void)control.SaveCache();
    for (const auto& item : fs::directory_iterator(folder_)) {
      if (item.path().extension() == ".dat") data_ = item.path();
    }
  }
  ~SavedCache() {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  const fs::path& Folder() const { return folder_; }
  const fs::path& Data() const { return data_; }

 private:
  fs::path folder_ = fs::temp_directory_path() / "kestrel-icon-cache-bench";
  fs::path data_;
};

SavedCache& Saved() {
  static SavedCache saved;
  return saved;
}

void BM_LoadCacheFull(benchmark::State& state) {
  const JobLayer::JobIconSettings settings = Settings(Saved().Folder());
  for (auto _ : state) {
    MadeIconStore store;
    JobIconControl control;
    if (!control.Open(settings, store) || !control.LoadCache() || control.EntryCount() != kIcons) {
      state.SkipWithError("load failed");
    }
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fs::file_size(Saved().Data())));
}

void BM_SaveCacheFull(benchmark::State& state) {
  const fs::path folder = fs::temp_directory_path() / "kestrel-icon-cache-bench-save";
  fs::remove_all(folder);
  fs::create_directories(folder);
  MadeIconStore store;
  JobIconControl control;
  (void)control.Open(Settings(folder), store);
  for (int32_t n = 0; n < kIcons; ++n) {
    control.GetEntry(RawString::FromUtf8("C:\\Programs\\Tool " + std::to_string(n) + "\\tool.exe"), 0);
  }
  for (auto _ : state) {
    if (!control.SaveCache()) state.SkipWithError("save failed");
  }
  fs::remove_all(folder);
}

void BM_RawReadDataFile(benchmark::State& state) {
  const RawString path = PathText(Saved().Data());
  std::vector<char> buffer(1 << 20);
  for (auto _ : state) {
    RawLayer::RawFile file;
    if (!file.OpenRead(path)) state.SkipWithError("open failed");
    int32_t got = 0;
    do {
      if (!file.Read(buffer.data(), static_cast<int32_t>(buffer.size()), got)) break;
      benchmark::DoNotOptimize(buffer.data());
    } while (got > 0);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(fs::file_size(Saved().Data())));
}

BENCHMARK(BM_LoadCacheFull)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveCacheFull)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawReadDataFile)->Unit(benchmark::kMillisecond);

}  // namespace
