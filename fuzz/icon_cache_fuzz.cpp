// The icon cache as read at start-up: the input split at its first NUL into the index profile
// and the pool file it names, loaded into a control whose store is the real icon pool; the
// entries are drawn, extracted again and dropped, the cache saved, and the saved cache must load.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "job/icon_cache.h"
#include "raw/profile.h"
#include "win/bitmap_pool.h"

namespace {

using JobLayer::JobIconControl;
using JobLayer::JobIconStore;
using RawLayer::RawString;
using WinLayer::WinBitmapPoolEx;

constexpr int32_t kSize = 4;

// The launcher's store without the shell: every extracted icon is one colour.
class PoolStore : public JobIconStore {
 public:
  struct Colour : Picture {
    explicit Colour(uint32_t c) : pixels(kSize * kSize, c) {}
    std::vector<uint32_t> pixels;
  };

  bool Prepare(int32_t width, int32_t height) override { return pool_.Prepare(width, height); }
  int32_t AddFixed(Fixed which) override { return Add(Colour(which == FixedFailed ? 0xFF0000F0u : 0xFF0000F1u)); }
  std::unique_ptr<Picture> Extract(const RawString& file, int32_t index, Source) override {
    if (file.Length() % 3 == 0) return nullptr;
    return std::make_unique<Colour>(0xFF000000u | static_cast<uint32_t>(file.Length() * 31 + index));
  }
  int32_t Add(const Picture& picture) override {
    return pool_.AddPixels(static_cast<const Colour&>(picture).pixels.data(), nullptr, kSize, kSize);
  }
  bool Replace(int32_t image, const Picture& picture) override {
    return pool_.IsSlotUsed(image) &&
           pool_.ReplacePixels(image, static_cast<const Colour&>(picture).pixels.data(), nullptr, kSize, kSize);
  }
  void Free(int32_t image) override {
    if (pool_.IsSlotUsed(image)) pool_.FreeSlot(image);
  }
  bool IsImage(int32_t image) const override { return pool_.IsSlotUsed(image); }
  int32_t ImageCount() const override { return pool_.Count(); }
  bool SaveTo(const RawString& path) override { return pool_.SaveTo(path); }
  bool LoadFrom(const RawString& path) override { return pool_.LoadFrom(path); }
  void Clear() override { pool_.Reset(); }

 private:
  WinBitmapPoolEx pool_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string folder = KestrelFuzz::ScratchFolder() + "/icons";
  static const RawString folderText = RawString::FromUtf8(folder);
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);

  const auto parts = KestrelFuzz::SplitAtNul(data, size, 2);
  const RawString indexPath = RawString::FromUtf8(folder + "/IconCache.ini");
  if (!KestrelFuzz::WriteScratch(indexPath, reinterpret_cast<const uint8_t*>(parts[0].data()), parts[0].size())) {
    return 0;
  }
  RawLayer::RawProfile index(indexPath);
  const RawString dataName = index.GetValue("Identify", "DataFile", RawString());
  if (JobIconControl::IsDataFileName(dataName) && parts.size() > 1) {
    const RawString dataPath = RawString::FromUtf8(folder + "/" + dataName.ToUtf8());
    (void)KestrelFuzz::WriteScratch(dataPath, reinterpret_cast<const uint8_t*>(parts[1].data()), parts[1].size());
  }

  PoolStore store;
  JobIconControl control;
  JobLayer::JobIconSettings settings;
  settings.cacheFolder = folderText;
  settings.delay = true;
  settings.unusedCount = 3;
  settings.iconWidth = kSize;
  settings.iconHeight = kSize;
  if (!control.Open(settings, store)) __builtin_trap();
  (void)control.LoadCache();
  for (int32_t entry = 0; entry < control.EntryCount(); entry += 2) (void)control.GetImage(entry);
  (void)control.GetEntry("fuzz.exe", 1);
  while (control.WorkOnce()) {
  }
  control.DropUnused();
  for (int32_t entry = -1; entry <= control.EntryCount(); ++entry) {
    const int32_t image = control.GetImage(entry);
    if (entry >= 0 && entry < control.EntryCount() && image >= 0 && !store.IsImage(image)) __builtin_trap();
  }
  if (control.SaveCache()) {
    PoolStore again;
    JobIconControl reloaded;
    if (!reloaded.Open(settings, again) || !reloaded.LoadCache()) __builtin_trap();
  }
  return 0;
}
