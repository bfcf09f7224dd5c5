// The headless build extracts no icons: every icon is the failed picture.
#include "app/icon_store.h"

namespace AppLayer {

int32_t GuiIconStore::AddFixed(Fixed which) {
  const std::vector<uint32_t> pixels = FixedPicturePixels(which, width_, height_);
  return Pool().AddPixels(pixels.data(), nullptr, width_, height_);
}

std::unique_ptr<JobIconStore::Picture> GuiIconStore::Extract(const RawString&, int32_t, Source) { return nullptr; }

// Without extraction there is never a picture to add.
int32_t GuiIconStore::Add(const Picture&) { return -1; }

bool GuiIconStore::Replace(int32_t, const Picture&) { return false; }

}  // namespace AppLayer
