// Tessera's start-up: the settings profile check, the command line, the settings and the
// work, in that order.
#pragma once

#include "raw/string.h"
#include "tool/desktop.h"
#include "tool/options.h"
#include "tool/settings.h"

namespace ToolLayer {

struct ToolProgramPlace {
  RawString programPath;    // full path of the program file
  RawString programFolder;  // its folder, without a trailing separator
  RawString tempFolder;     // the user's temporary folder, with its trailing separator
};

// Runs one start of Tessera and returns the process exit code (always 0: failures are
// reported in message boxes, which -z silences). A settings profile without its
// "Program" value stops the start with "BadFormatProfile"; "-?" shows the usage text and
// does nothing else.
[[nodiscard]] int RunTool(const RawString& commandLine, const ToolProgramPlace& place, ToolDesktop& desktop);

// The option record of a command line (program name first).
ToolOptions ReadToolOptions(const RawString& commandLine);

}  // namespace ToolLayer
