// System names and folders, each returned in a wanted code. ModulePath and
// ApplicationDataFolder live with the path rules (path.h).
#pragma once

#include <cstdio>

#include "raw/string.h"

namespace RawLayer {

// The computer's and the user's names; "host" when the system cannot give one.
RawString ComputerName(TextCode code = CodeUtf8);
RawString UserName(TextCode code = CodeUtf8);
// The user's temporary folder, with its trailing separator as the system gives it
// (POSIX: $TMPDIR, else /tmp, with a trailing "/").
RawString TempFolder(TextCode code = CodeUtf8);

// The shell special folders that have a POSIX counterpart, by their CSIDL numbers.
enum SpecialFolderId : int {
  FolderDesktop = 0x0000,           // XDG_DESKTOP_DIR
  FolderDocuments = 0x0005,         // XDG_DOCUMENTS_DIR
  FolderMusic = 0x000d,             // XDG_MUSIC_DIR
  FolderVideos = 0x000e,            // XDG_VIDEOS_DIR
  FolderDesktopDirectory = 0x0010,  // XDG_DESKTOP_DIR
  FolderTemplates = 0x0015,         // XDG_TEMPLATES_DIR
  FolderAppData = 0x001a,           // $XDG_CONFIG_HOME or ~/.config
  FolderLocalAppData = 0x001c,      // $XDG_DATA_HOME or ~/.local/share
  FolderPictures = 0x0027,          // XDG_PICTURES_DIR
  FolderProfile = 0x0028,           // $HOME
};
// A shell special folder by its CSIDL number, without creating it (POSIX: the
// matching XDG folder from user-dirs.dirs, else its usual default under $HOME);
// empty when the system has none.
RawString SpecialFolder(int csidl, TextCode code = CodeUtf8);

// Whether the stream is a terminal a person types at and reads: a console on Windows (the NUL
// device is a character device too, but no console), a tty elsewhere. Questions and menus of a
// run without windows ask the terminal only when both of their streams are one.
bool IsTerminal(std::FILE* stream);
// Turns the echo of what is typed at the terminal off or on; false when the stream is no
// terminal or its mode cannot be changed.
[[nodiscard]] bool SetTerminalEcho(std::FILE* stream, bool echo);

}  // namespace RawLayer
