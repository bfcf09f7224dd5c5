// The icon cache's images: a bitmap pool per icon size in use (the current one that of the
// main window's DPI), the two fixed
// pictures (failed and loading) and the extraction of icons from files. On
// Windows icons come from the shell (SHGetFileInfoW) or by index from the file
// (PrivateExtractIconsW) and the fixed pictures from the program's icons 143 and
// 142; the headless build has no extraction, so every icon there is the failed
// picture, and both fixed pictures are drawn in code. Drawing on a device context and
// the notice to a window are Windows only (icon_store_win32.h).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "job/icon_cache.h"
#include "win/bitmap_pool.h"

namespace AppLayer {

using JobLayer::JobIconStore;
using RawLayer::RawString;

// The pixels of a fixed picture drawn in code: a grey frame with a cross for the
// failed picture, a half-transparent grey square for the loading one.
std::vector<uint32_t> FixedPicturePixels(JobIconStore::Fixed which, int32_t width, int32_t height);

class GuiIconStore : public JobIconStore {
 public:
  // The launcher's store, behind the process-wide icon control; lives until exit.
  static GuiIconStore& Instance();

  // Forgets every pool and makes an empty one of width x height the current one.
  bool Prepare(int32_t width, int32_t height) override;
  // The pool of width x height becomes the current one, made empty when new; the pools of
  // other sizes keep their images.
  bool UseSize(int32_t width, int32_t height, bool& fresh) override;
  int32_t AddFixed(Fixed which) override;
  std::unique_ptr<Picture> Extract(const RawString& file, int32_t index, Source source) override;
  int32_t Add(const Picture& picture) override;
  bool Replace(int32_t image, const Picture& picture) override;
  void Free(int32_t image) override { Pool().FreeSlot(image); }
  bool IsImage(int32_t image) const override { return Pool().IsSlotUsed(image); }
  int32_t ImageCount() const override { return Pool().Count(); }
  bool SaveTo(const RawString& path) override { return Pool().SaveTo(path); }
  bool LoadFrom(const RawString& path) override { return Pool().LoadFrom(path); }
  void Clear() override { Pool().Reset(); }

  // The current pool, read (and drawn, which uses its scratch surface) under the icon
  // control's pool lock. Before Prepare an empty pool without slots.
  const WinLayer::WinBitmapPoolEx& Pool() const { return pools_.Current() ? *pools_.Current() : unprepared_; }
  WinLayer::WinBitmapPoolEx& Pool() { return pools_.Current() ? *pools_.Current() : unprepared_; }
  const WinLayer::WinBitmapPoolSet& Pools() const { return pools_; }

 protected:
  WinLayer::WinBitmapPoolSet pools_;
  WinLayer::WinBitmapPoolEx unprepared_;
  // Read by extractions outside the pool lock while the window thread may change the size.
  std::atomic<int32_t> width_ = 0;
  std::atomic<int32_t> height_ = 0;
};

}  // namespace AppLayer
