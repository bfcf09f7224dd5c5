#include <windows.h>

#include "app/settings.h"
#include "raw/handle_win32.h"

namespace AppLayer {

int32_t SystemIconWidth() { return GetSystemMetrics(SM_CXICON); }

// The screen's DPI as a system-aware program sees it (the whole run's).
int32_t ScreenDpi() {
  const RawLayer::RawWindowDc screen(nullptr);
  const int dpi = screen.get() != nullptr ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
  return dpi > 0 ? dpi : 96;
}

}  // namespace AppLayer
