// The Windows half of the bitmap pool: reading an icon handle's bitmaps into the
// import buffers and drawing a slot through the scratch DIB section.
#include <windows.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "win/bitmap_pool.h"

namespace WinLayer {

namespace {

struct BitmapFree {
  void operator()(HBITMAP bitmap) const { DeleteObject(bitmap); }
};
using UniqueBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, BitmapFree>;

// The screen's device context for GetDIBits, given back when it goes.
class ScreenDc {
 public:
  ScreenDc() : dc_(GetDC(nullptr)) {}
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;
  ~ScreenDc() {
    if (dc_ != nullptr) ReleaseDC(nullptr, dc_);
  }
  HDC Get() const { return dc_; }

 private:
  HDC dc_;
};

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
  ~Surface() {
    if (dc != nullptr) {
      if (original != nullptr) SelectObject(dc, original);
      DeleteDC(dc);
    }
    if (dib != nullptr) DeleteObject(dib);
  }

  HDC dc = nullptr;
  HBITMAP dib = nullptr;
  HGDIOBJ original = nullptr;  // the bitmap selected before ours, put back at the end
  uint32_t* bits = nullptr;
  int32_t width = 0;
  int32_t height = 0;
};

bool WinBitmapPool::ReadIcon(HICON icon, int32_t& width, int32_t& height) {
  ICONINFO info{};
  if (icon == nullptr || !GetIconInfo(icon, &info)) return false;
  const UniqueBitmap color(info.hbmColor);
  const UniqueBitmap mask(info.hbmMask);
  BITMAP shape{};
  if (!mask || GetObjectW(mask.get(), sizeof shape, &shape) == 0) return false;
  width = shape.bmWidth;
  // A monochrome icon has no colour bitmap: its mask holds the AND rows above the XOR rows.
  height = color ? shape.bmHeight : shape.bmHeight / 2;
  if (!SetImportSize(width, height)) return false;
  const ScreenDc screen;
  if (color) {
    return ReadRows(screen.Get(), color.get(), width, height, importColor_.data()) &&
           ReadRows(screen.Get(), mask.get(), width, height, importMask_.data());
  }
  std::vector<uint32_t> both(static_cast<size_t>(width) * static_cast<size_t>(height) * 2);
  if (!ReadRows(screen.Get(), mask.get(), width, height * 2, both.data())) return false;
  const auto half = both.begin() + static_cast<std::ptrdiff_t>(both.size() / 2);
  std::copy(both.begin(), half, importMask_.begin());
  std::copy(half, both.end(), importColor_.begin());
  return true;
}

int32_t WinBitmapPool::AddIcon(HICON icon) {
  int32_t width = 0;
  int32_t height = 0;
  if (!ReadIcon(icon, width, height)) return -1;
  const int32_t slot = TakeImportSlot();
  if (slot < 0) return -1;
  StoreImport(slot, width, height);
  return slot;
}

bool WinBitmapPool::ReplaceIcon(int32_t slot, HICON icon) {
  if (slot < 0 || slot >= count_ || slot >= capacity_) return false;
  int32_t width = 0;
  int32_t height = 0;
  if (!ReadIcon(icon, width, height)) return false;
  StoreImport(slot, width, height);
  return true;
}

bool WinBitmapPool::EnsureSurface(HDC target) {
  if (surface_ && surface_->width >= slotWidth_ && surface_->height >= slotHeight_) return true;
  if (!surface_) {
    surface_ = std::unique_ptr<Surface, SurfaceFree>(new Surface, [](Surface* surface) { delete surface; });
    surface_->dc = CreateCompatibleDC(target);
    if (surface_->dc == nullptr) {
      surface_.reset();
      return false;
    }
  }
  const int32_t height = std::max(surface_->height, slotHeight_);
  BITMAPINFO info = TopDown32(slotWidth_, height);
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(surface_->dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (dib == nullptr) return false;
  HGDIOBJ previous = SelectObject(surface_->dc, dib);
  if (surface_->dib != nullptr) {
    DeleteObject(surface_->dib);
  } else {
    surface_->original = previous;
  }
  surface_->dib = dib;
  surface_->bits = static_cast<uint32_t*>(bits);
  surface_->width = slotWidth_;
  surface_->height = height;
  return true;
}

void WinBitmapPool::DrawSlot(int32_t slot, HDC dc, const RECT& target) {
  if (slot < 0 || slot >= count_ || dc == nullptr || !EnsureSurface(dc)) return;
  const int width = target.right - target.left;
  const int height = target.bottom - target.top;
  HDC scratch = surface_->dc;
  SetStretchBltMode(scratch, HALFTONE);
  SetBrushOrgEx(scratch, 0, 0, nullptr);
  StretchBlt(scratch, 0, 0, slotWidth_, slotHeight_, dc, target.left, target.top, width, height, SRCCOPY);
  GdiFlush();
  BlendSlot(slot, surface_->bits, surface_->width);
  GdiFlush();
  const int oldMode = SetStretchBltMode(dc, HALFTONE);
  POINT oldOrigin{};
  SetBrushOrgEx(dc, 0, 0, &oldOrigin);
  StretchBlt(dc, target.left, target.top, width, height, scratch, 0, 0, slotWidth_, slotHeight_, SRCCOPY);
  GdiFlush();
  SetBrushOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
  if (oldMode != 0) SetStretchBltMode(dc, oldMode);
}

}  // namespace WinLayer
