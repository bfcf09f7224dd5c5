#include "app/settings.h"

namespace AppLayer {

// The headless build has no screen; 32 is the icon width of a standard display.
int32_t SystemIconWidth() { return 32; }

}  // namespace AppLayer
