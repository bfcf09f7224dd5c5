// The icon store's Windows half (Windows only): drawing images on a device context, and the
// notice that tells a window about finished icons.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/icon_store.h"

namespace AppLayer {

// Draws an image of the store stretched to `target`; the caller holds the control's pool lock.
void DrawStoreImage(GuiIconStore& store, int32_t image, HDC dc, const RECT& target);
// Draws the icon of a cache entry (a button's, a selector's, a menu item's) stretched to
// `target`: the loading picture while the worker has not reached it, the failed one for an
// unknown entry. Takes the pool lock itself.
void DrawIconEntry(int32_t entry, HDC dc, const RECT& target);

// Tells the main window about finished icons: a posted WM_COMMAND with the
// notification code and the window's control identifier.
class GuiIconNotice : public JobLayer::JobIconOwner {
 public:
  GuiIconNotice(HWND window, int32_t controlId) : window_(window), controlId_(controlId) {}
  void NotifyIcons(uint32_t code) override;

 private:
  HWND window_;
  int32_t controlId_;
};

}  // namespace AppLayer
