#include "app/settings.h"

namespace AppLayer {

// The headless build has no screen; 32 is the icon width of a standard display.
int32_t SystemIconWidth() { return 32; }

// ...and its DPI that of 100 %, on every monitor.
int32_t ScreenDpi() { return 96; }

int32_t MonitorDpiAt(int32_t, int32_t) { return 96; }

}  // namespace AppLayer
