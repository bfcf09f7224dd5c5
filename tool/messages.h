// Tessera's messages, looked up in the section "Message" of the message table so that a
// language file can replace them.
#pragma once

#include "raw/string.h"

namespace ToolLayer {

enum class ToolMessage {
  CannotOpenTemp,
  NoDataSectionMatched,
  NoWindowIsFound,
  NoWindowIsSpecified,
  BadFormatProfile,
};

// Registers the defaults in the message table (once per process is enough; again is harmless).
void RegisterToolMessages();
RawLayer::RawString ToolMessageText(ToolMessage message);

}  // namespace ToolLayer
