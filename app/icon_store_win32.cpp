#include <windows.h>
#include <shellapi.h>

#include <mutex>

#include "app/icon_store_win32.h"
#include "win/bitmap_pool_win32.h"

namespace AppLayer {

namespace {

constexpr int kFailedIconResource = 143;
constexpr int kLoadingIconResource = 142;

// An extracted icon handle, destroyed with the picture.
class IconPicture : public JobIconStore::Picture {
 public:
  explicit IconPicture(HICON icon) : icon_(icon) {}
  IconPicture(const IconPicture&) = delete;
  IconPicture& operator=(const IconPicture&) = delete;
  ~IconPicture() override { DestroyIcon(icon_); }
  HICON Icon() const { return icon_; }

 private:
  HICON icon_;
};

}  // namespace

int32_t GuiIconStore::AddFixed(Fixed which) {
  const int resource = which == FixedFailed ? kFailedIconResource : kLoadingIconResource;
  HANDLE loaded = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resource), IMAGE_ICON, width_, height_, 0);
  if (loaded != nullptr) {
    const IconPicture picture(static_cast<HICON>(loaded));
    const int32_t image = WinLayer::WinAddIcon(Pool(), picture.Icon());
    if (image >= 0) return image;
  }
  // A program without the icons (a test program) draws them.
  const std::vector<uint32_t> pixels = FixedPicturePixels(which, width_, height_);
  return Pool().AddPixels(pixels.data(), nullptr, width_, height_);
}

std::unique_ptr<JobIconStore::Picture> GuiIconStore::Extract(const RawString& file, int32_t index, Source source) {
  const std::u16string path = file.ToWide();
  const wchar_t* wide = reinterpret_cast<const wchar_t*>(path.c_str());
  HICON icon = nullptr;
  if (source == SourceShell) {
    SHFILEINFOW info{};
    const UINT size = width_ <= GetSystemMetrics(SM_CXSMICON) ? SHGFI_SMALLICON : SHGFI_LARGEICON;
    if (SHGetFileInfoW(wide, 0, &info, sizeof info, SHGFI_ICON | size) != 0) icon = info.hIcon;
  } else {
    HICON extracted = nullptr;
    const UINT count = PrivateExtractIconsW(wide, index, width_, height_, &extracted, nullptr, 1, LR_DEFAULTCOLOR);
    // 0xFFFFFFFF: no such file; 0: no icon with that index.
    if (count != 0 && count != 0xFFFFFFFFu) icon = extracted;
  }
  if (icon == nullptr) return nullptr;
  return std::make_unique<IconPicture>(icon);
}

int32_t GuiIconStore::Add(const Picture& picture) {
  return WinLayer::WinAddIcon(Pool(), static_cast<const IconPicture&>(picture).Icon());
}

bool GuiIconStore::Replace(int32_t image, const Picture& picture) {
  return WinLayer::WinReplaceIcon(Pool(), image, static_cast<const IconPicture&>(picture).Icon());
}

void DrawStoreImage(GuiIconStore& store, int32_t image, HDC dc, const RECT& target) {
  WinLayer::WinDrawSlot(store.Pool(), image, dc, target);
}

void DrawIconEntry(int32_t entry, HDC dc, const RECT& target) {
  JobLayer::JobIconControl& control = JobLayer::JobIconControl::Instance();
  int32_t image = entry >= 0 ? control.GetImage(entry) : -1;
  if (image < 0) image = control.FailedId();
  if (image < 0) return;
  std::lock_guard<std::mutex> lock(control.PoolLock());
  DrawStoreImage(GuiIconStore::Instance(), image, dc, target);
}

void GuiIconNotice::NotifyIcons(uint32_t code) {
  PostMessageW(window_, WM_COMMAND, MAKEWPARAM(static_cast<WORD>(controlId_), static_cast<WORD>(code)), 0);
}

}  // namespace AppLayer
