// The clipboard's text. On Windows this is the system clipboard, shared with
// every program. POSIX has no clipboard of its own: there the text lives in a
// clipboard local to this process, which no other program sees.
#pragma once

#include <cstdint>

#include "raw/string.h"

namespace RawLayer {

// Puts a range of `text` on the clipboard, replacing what was there. False when
// the clipboard stays held by another program after a few short retries.
[[nodiscard]] bool SetClipboardText(const RawString& text, RawRange range = kWhole);
// At most `maxLength` units of the clipboard's text, as CodeWide; empty when the
// clipboard holds no text or cannot be opened.
RawString ClipboardText(int32_t maxLength);

}  // namespace RawLayer
