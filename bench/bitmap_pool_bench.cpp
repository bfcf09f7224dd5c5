// The bitmap pool's import scaling and its file. Scaling: one icon imported into
// an existing slot (copy into the import buffer, alpha rule, sampling), 48x48
// reduced into 16x16 and 16x16 enlarged into 32x32. File: a pool of 1,000 icons
// of 32x32 saved and loaded, beside a plain read of the same bytes in 1 MiB
// blocks as the floor.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <vector>

#include "raw/file.h"
#include "win/bitmap_pool.h"

namespace {

using namespace WinLayer;
namespace fs = std::filesystem;

RawString PathText(const fs::path& path) {
  std::u8string text = path.u8string();
  return RawString::FromUtf8({reinterpret_cast<const char*>(text.data()), text.size()});
}

std::vector<uint32_t> Noise(int32_t width, int32_t height) {
  std::mt19937 random(17);
  std::vector<uint32_t> pixels(static_cast<size_t>(width * height));
  for (uint32_t& pixel : pixels) pixel = static_cast<uint32_t>(random());
  return pixels;
}

void Import(benchmark::State& state, int32_t iconSize, int32_t slotSize) {
  WinBitmapPoolEx pool;
  if (!pool.Prepare(slotSize, slotSize)) state.SkipWithError("no pool");
  const std::vector<uint32_t> icon = Noise(iconSize, iconSize);
  const std::vector<uint32_t> mask(icon.size(), 0);
  const int32_t slot = pool.AddPixels(icon.data(), mask.data(), iconSize, iconSize);
  for (auto _ : state) {
    benchmark::DoNotOptimize(pool.ReplacePixels(slot, icon.data(), mask.data(), iconSize, iconSize));
  }
  state.counters["ns_per_slot_pixel"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * slotSize * slotSize,
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_Import48Into16(benchmark::State& state) { Import(state, 48, 16); }
void BM_Import16Into32(benchmark::State& state) { Import(state, 16, 32); }
BENCHMARK(BM_Import48Into16);
BENCHMARK(BM_Import16Into32);

constexpr int32_t kIcons = 1000;

// A saved pool of 1,000 icons, written once and removed at exit.
class SavedPool {
 public:
  SavedPool() {
    fs::create_directories(folder_);
    path_ = PathText(folder_ / "pool.dat");
    (void)pool_.Prepare(32, 32);
    const std::vector<uint32_t> icon = Noise(32, 32);
    for (int32_t i = 0; i < kIcons; ++i) (void)pool_.AddPixels(icon.data(), nullptr, 32, 32);
    (void)pool_.SaveTo(path_);
  }
  ~SavedPool() {
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  const RawString& Path() const { return path_; }
  const WinBitmapPoolEx& Pool() const { return pool_; }
  int64_t Bytes() const { return static_cast<int64_t>(fs::file_size(folder_ / "pool.dat")); }

 private:
  fs::path folder_ = fs::temp_directory_path() / "kestrel-pool-bench";
  RawString path_;
  WinBitmapPoolEx pool_;
};

SavedPool& Saved() {
  static SavedPool saved;
  return saved;
}

void BM_PoolSave1000(benchmark::State& state) {
  const RawString path = PathText(fs::temp_directory_path() / "kestrel-pool-bench" / "saved.dat");
  for (auto _ : state) {
    if (!Saved().Pool().SaveTo(path)) state.SkipWithError("save failed");
  }
  state.SetBytesProcessed(state.iterations() * Saved().Bytes());
}

void BM_PoolLoad1000(benchmark::State& state) {
  WinBitmapPoolEx pool;
  (void)pool.Prepare(32, 32);
  for (auto _ : state) {
    if (!pool.LoadFrom(Saved().Path())) state.SkipWithError("load failed");
  }
  state.SetBytesProcessed(state.iterations() * Saved().Bytes());
}

void BM_RawRead(benchmark::State& state) {
  std::vector<char> buffer(1 << 20);
  for (auto _ : state) {
    RawLayer::RawFile file;
    if (!file.OpenRead(Saved().Path())) state.SkipWithError("open failed");
    int32_t got = 0;
    do {
      if (!file.Read(buffer.data(), static_cast<int32_t>(buffer.size()), got)) break;
      benchmark::DoNotOptimize(buffer.data());
    } while (got > 0);
  }
  state.SetBytesProcessed(state.iterations() * Saved().Bytes());
}

BENCHMARK(BM_PoolSave1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PoolLoad1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RawRead)->Unit(benchmark::kMillisecond);

}  // namespace
