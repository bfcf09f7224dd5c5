#include <windows.h>

#include "app/settings.h"

namespace AppLayer {

int32_t SystemIconWidth() { return GetSystemMetrics(SM_CXICON); }

}  // namespace AppLayer
