#include <windows.h>

#include "app/settings.h"
#include "win/dpi_win32.h"

namespace AppLayer {

int32_t SystemIconWidth() { return GetSystemMetrics(SM_CXICON); }

int32_t MonitorDpiAt(int32_t x, int32_t y) { return WinLayer::WinDpiAt(POINT{x, y}); }

int32_t ScreenDpi() { return WinLayer::WinSystemDpi(); }

}  // namespace AppLayer
