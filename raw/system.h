// System names and folders, each returned in a wanted code. ModulePath and
// ApplicationDataFolder live with the path rules (path.h).
#pragma once

#include "raw/string.h"

namespace RawLayer {

RawString ComputerName(TextCode code = CodeUtf8);
RawString UserName(TextCode code = CodeUtf8);
// The user's temporary folder, with its trailing separator as the system gives it
// (POSIX: $TMPDIR, else /tmp, with a trailing "/").
RawString TempFolder(TextCode code = CodeUtf8);
// A shell special folder by its CSIDL number (POSIX: the matching XDG folder);
// empty when the system has none.
RawString SpecialFolder(int csidl, TextCode code = CodeUtf8);

}  // namespace RawLayer
