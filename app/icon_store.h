// The icon cache's images: one bitmap pool of the icon size, the two fixed
// pictures (failed and loading) and the extraction of icons from files. On
// Windows icons come from the shell (SHGetFileInfoW) or by index from the file
// (PrivateExtractIconsW) and the fixed pictures from the program's icons 143 and
// 142; the headless build has no extraction, so every icon there is the failed
// picture, and both fixed pictures are drawn in code.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "job/icon_cache.h"
#include "win/bitmap_pool.h"

#ifdef _WIN32
struct HDC__;
struct HWND__;
struct tagRECT;
#endif

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

  bool Prepare(int32_t width, int32_t height) override;
  int32_t AddFixed(Fixed which) override;
  std::unique_ptr<Picture> Extract(const RawString& file, int32_t index, Source source) override;
  int32_t Add(const Picture& picture) override;
  bool Replace(int32_t image, const Picture& picture) override;
  void Free(int32_t image) override { pool_.FreeSlot(image); }
  bool IsImage(int32_t image) const override { return pool_.IsSlotUsed(image); }
  int32_t ImageCount() const override { return pool_.Count(); }
  bool SaveTo(const RawString& path) override { return pool_.SaveTo(path); }
  bool LoadFrom(const RawString& path) override { return pool_.LoadFrom(path); }
  void Clear() override { pool_.Reset(); }

  // The pool, read under the icon control's pool lock.
  const WinLayer::WinBitmapPoolEx& Pool() const { return pool_; }

#ifdef _WIN32
  // Draws an image stretched to `target`; the caller holds the control's pool lock.
  void Draw(int32_t image, HDC__* dc, const tagRECT& target);
  // Draws the icon of a cache entry (a button's, a selector's, a menu item's) stretched to
  // `target`: the loading picture while the worker has not reached it, the failed one for an
  // unknown entry. Takes the pool lock itself.
  static void DrawEntry(int32_t entry, HDC__* dc, const tagRECT& target);
#endif

 protected:
  WinLayer::WinBitmapPoolEx pool_;
  int32_t width_ = 0;
  int32_t height_ = 0;
};

#ifdef _WIN32
// Tells the main window about finished icons: a posted WM_COMMAND with the
// notification code and the window's control identifier.
class GuiIconNotice : public JobLayer::JobIconOwner {
 public:
  GuiIconNotice(HWND__* window, int32_t controlId) : window_(window), controlId_(controlId) {}
  void NotifyIcons(uint32_t code) override;

 private:
  HWND__* window_;
  int32_t controlId_;
};
#endif

}  // namespace AppLayer
