// The launcher's fonts as the system takes them (Windows only): a font record of the
// GUI profile as a LOGFONTW and back, and a font made from a record.
#pragma once

#include <windows.h>

#include <string>

#include "app/settings.h"
#include "raw/string.h"
#include "raw/handle_win32.h"

namespace AppLayer {

LOGFONTW LogFontOf(const GuiFontRecord& record);
// The face name is cut to what a record holds.
GuiFontRecord FontRecordOf(const LOGFONTW& font);
RawLayer::RawUniqueFont CreateFontOf(const GuiFontRecord& record);

}  // namespace AppLayer
