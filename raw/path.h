// Path rules for profile locations.
#pragma once

#include "raw/string.h"

namespace RawLayer {

// The running program's full path and its folder (no trailing separator).
RawString ModulePath(TextCode code = CodeUtf8);
RawString ProgramFolder(TextCode code = CodeUtf8);
// The user's application-data folder (CSIDL_APPDATA; POSIX: $XDG_CONFIG_HOME or ~/.config).
RawString ApplicationDataFolder(TextCode code = CodeUtf8);

// True for a path that starts with a drive ("X:"), with two backslashes, or on
// POSIX with "/".
bool IsAbsolutePath(const RawString& path);
// Makes `path` absolute against the folder `base`, folding leading "." and ".."
// components; absolute and empty paths come back unchanged.
RawString ResolvePath(const RawString& path, const RawString& base);
// `name` inside `folder`: a separator between them unless the folder ends in one; as UTF-8.
RawString JoinPath(const RawString& folder, const RawString& name);
// Replaces the first "$(User)" by the application-data folder joined with
// `appName`, creating that folder when missing.
RawString ExpandUser(const RawString& path, const RawString& appName);
// ExpandUser, then ResolvePath against ProgramFolder unless already absolute.
RawString ProfilePath(const RawString& path, const RawString& appName);
// True when the path is (or has been made) a folder, creating parents first.
bool EnsureFolder(const RawString& path);
// True for an existing file that must not be changed: the read-only attribute
// on Windows, no write permission on POSIX. Checked before a file is replaced,
// since a rename over it would succeed (POSIX, and Wine run as root).
bool IsReadOnlyFile(const RawString& path);
// The platform's preferred separator: "\\" on Windows, "/" on POSIX.
char PathSeparator();

}  // namespace RawLayer
