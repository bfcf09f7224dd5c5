#include "app/icon_store.h"

namespace AppLayer {

GuiIconStore& GuiIconStore::Instance() {
  static GuiIconStore* store = new GuiIconStore;  // never destroyed: workers may draw to the end
  return *store;
}

std::vector<uint32_t> FixedPicturePixels(JobIconStore::Fixed which, int32_t width, int32_t height) {
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
  for (int32_t y = 0; y < height; ++y) {
    for (int32_t x = 0; x < width; ++x) {
      const bool edge = x == 0 || y == 0 || x == width - 1 || y == height - 1;
      uint32_t pixel;
      if (which == JobIconStore::FixedLoading) {
        pixel = edge ? 0xC0808080u : 0x60C0C0C0u;
      } else {
        const bool cross = x * height == y * width || (width - 1 - x) * height == y * width;
        pixel = edge || cross ? 0xFF808080u : 0x00000000u;
      }
      pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)] = pixel;
    }
  }
  return pixels;
}

bool GuiIconStore::Prepare(int32_t width, int32_t height) {
  pools_.ReleaseAll();
  width_ = width;
  height_ = height;
  bool fresh = false;
  return pools_.Use(width, height, fresh);
}

bool GuiIconStore::UseSize(int32_t width, int32_t height, bool& fresh) {
  if (!pools_.Use(width, height, fresh)) return false;
  width_ = width;
  height_ = height;
  return true;
}

}  // namespace AppLayer
