#include <windows.h>

#include "app/settings.h"
#include "win/handle.h"

namespace AppLayer {

int32_t SystemIconWidth() { return GetSystemMetrics(SM_CXICON); }

// The screen's DPI as a system-aware program sees it (the whole run's).
int32_t ScreenDpi() {
  const WinLayer::WinWindowDc screen(nullptr);
  const int dpi = screen.get() != nullptr ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
  return dpi > 0 ? dpi : 96;
}

}  // namespace AppLayer
