// The Windows half of the bitmap pool: reading an icon handle's bitmaps into the
// import buffers and drawing a slot through the scratch DIB section.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "raw/handle_win32.h"
#include "win/bitmap_pool_win32.h"

namespace WinLayer {

namespace {

using RawLayer::RawUniqueBitmap;
using RawLayer::RawUniqueMemoryDc;

BITMAPINFO TopDown32(int32_t width, int32_t height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

// Reads `height` rows of a bitmap as 32-bit top-down pixels.
bool ReadRows(HDC screen, HBITMAP bitmap, int32_t width, int32_t height, uint32_t* out) {
  BITMAPINFO info = TopDown32(width, height);
  return GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), out, &info, DIB_RGB_COLORS) == height;
}

}  // namespace

struct WinBitmapPool::Surface {
  Surface() = default;
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;
  // The first bitmap goes back into the context before the members free both (the context
  // first, then the section that is no longer selected anywhere).
  ~Surface() {
    if (dc && original != nullptr) SelectObject(dc.get(), original);
  }

  RawUniqueBitmap dib;
  RawUniqueMemoryDc dc;
  HGDIOBJ original = nullptr;  // the bitmap selected before ours, put back at the end
  uint32_t* bits = nullptr;
  int32_t width = 0;
  int32_t height = 0;
};

// The Windows half of the pool, with the access of a member: reading icon handles into the
// import buffers and drawing through the scratch surface.
class WinBitmapPoolWin32 {
 public:
  // Reads the icon's bitmaps into the import buffers; `width` and `height` are theirs.
  [[nodiscard]] static bool ReadIcon(WinBitmapPool& pool, HICON icon, int32_t& width, int32_t& height);
  static int32_t AddIcon(WinBitmapPool& pool, HICON icon);
  [[nodiscard]] static bool ReplaceIcon(WinBitmapPool& pool, int32_t slot, HICON icon);
  [[nodiscard]] static bool EnsureSurface(WinBitmapPool& pool, HDC target);
  static void DrawSlot(WinBitmapPool& pool, int32_t slot, HDC dc, const RECT& target);
};

bool WinBitmapPoolWin32::ReadIcon(WinBitmapPool& pool, HICON icon, int32_t& width, int32_t& height) {
  ICONINFO info{};
  if (icon == nullptr || !GetIconInfo(icon, &info)) return false;
  const RawUniqueBitmap color(info.hbmColor);
  const RawUniqueBitmap mask(info.hbmMask);
  BITMAP shape{};
  if (!mask || GetObjectW(mask.get(), sizeof shape, &shape) == 0) return false;
  width = shape.bmWidth;
  // A monochrome icon has no colour bitmap: its mask holds the AND rows above the XOR rows.
  height = color ? shape.bmHeight : shape.bmHeight / 2;
  if (!pool.SetImportSize(width, height)) return false;
  const RawLayer::RawWindowDc screen(nullptr);
  if (color) {
    return ReadRows(screen.get(), color.get(), width, height, pool.importColor_.data()) &&
           ReadRows(screen.get(), mask.get(), width, height, pool.importMask_.data());
  }
  std::vector<uint32_t> both(static_cast<size_t>(width) * static_cast<size_t>(height) * 2);
  if (!ReadRows(screen.get(), mask.get(), width, height * 2, both.data())) return false;
  const auto half = both.begin() + static_cast<std::ptrdiff_t>(both.size() / 2);
  std::copy(both.begin(), half, pool.importMask_.begin());
  std::copy(half, both.end(), pool.importColor_.begin());
  return true;
}

int32_t WinBitmapPoolWin32::AddIcon(WinBitmapPool& pool, HICON icon) {
  int32_t width = 0;
  int32_t height = 0;
  if (!ReadIcon(pool, icon, width, height)) return -1;
  const int32_t slot = pool.TakeImportSlot();
  if (slot < 0) return -1;
  pool.StoreImport(slot, width, height);
  return slot;
}

bool WinBitmapPoolWin32::ReplaceIcon(WinBitmapPool& pool, int32_t slot, HICON icon) {
  if (slot < 0 || slot >= pool.count_ || slot >= pool.capacity_) return false;
  int32_t width = 0;
  int32_t height = 0;
  if (!ReadIcon(pool, icon, width, height)) return false;
  pool.StoreImport(slot, width, height);
  return true;
}

bool WinBitmapPoolWin32::EnsureSurface(WinBitmapPool& pool, HDC target) {
  if (pool.surface_ && pool.surface_->width >= pool.slotWidth_ && pool.surface_->height >= pool.slotHeight_) return true;
  if (!pool.surface_) {
    pool.surface_ = std::unique_ptr<WinBitmapPool::Surface, WinBitmapPool::SurfaceFree>(
        new WinBitmapPool::Surface, [](WinBitmapPool::Surface* surface) { delete surface; });
    pool.surface_->dc.reset(CreateCompatibleDC(target));
    if (!pool.surface_->dc) {
      pool.surface_.reset();
      return false;
    }
  }
  const int32_t height = std::max(pool.surface_->height, pool.slotHeight_);
  BITMAPINFO info = TopDown32(pool.slotWidth_, height);
  void* bits = nullptr;
  RawUniqueBitmap dib(CreateDIBSection(pool.surface_->dc.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!dib) return false;
  HGDIOBJ previous = SelectObject(pool.surface_->dc.get(), dib.get());
  if (!pool.surface_->dib) pool.surface_->original = previous;
  pool.surface_->dib = std::move(dib);  // the smaller section, no longer selected, is freed
  pool.surface_->bits = static_cast<uint32_t*>(bits);
  pool.surface_->width = pool.slotWidth_;
  pool.surface_->height = height;
  return true;
}

void WinBitmapPoolWin32::DrawSlot(WinBitmapPool& pool, int32_t slot, HDC dc, const RECT& target) {
  if (slot < 0 || slot >= pool.count_ || dc == nullptr || !EnsureSurface(pool, dc)) return;
  const int width = target.right - target.left;
  const int height = target.bottom - target.top;
  HDC scratch = pool.surface_->dc.get();
  SetStretchBltMode(scratch, HALFTONE);
  SetBrushOrgEx(scratch, 0, 0, nullptr);
  StretchBlt(scratch, 0, 0, pool.slotWidth_, pool.slotHeight_, dc, target.left, target.top, width, height, SRCCOPY);
  GdiFlush();
  pool.BlendSlot(slot, pool.surface_->bits, pool.surface_->width);
  GdiFlush();
  const int oldMode = SetStretchBltMode(dc, HALFTONE);
  POINT oldOrigin{};
  SetBrushOrgEx(dc, 0, 0, &oldOrigin);
  StretchBlt(dc, target.left, target.top, width, height, scratch, 0, 0, pool.slotWidth_, pool.slotHeight_, SRCCOPY);
  GdiFlush();
  SetBrushOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
  if (oldMode != 0) SetStretchBltMode(dc, oldMode);
}

int32_t WinAddIcon(WinBitmapPool& pool, HICON icon) { return WinBitmapPoolWin32::AddIcon(pool, icon); }

bool WinReplaceIcon(WinBitmapPool& pool, int32_t slot, HICON icon) {
  return WinBitmapPoolWin32::ReplaceIcon(pool, slot, icon);
}

void WinDrawSlot(WinBitmapPool& pool, int32_t slot, HDC dc, const RECT& target) {
  WinBitmapPoolWin32::DrawSlot(pool, slot, dc, target);
}

}  // namespace WinLayer
