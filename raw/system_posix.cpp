#include <pwd.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "raw/path.h"
#include "raw/system.h"

namespace RawLayer {

namespace {

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] != '/') {
    const passwd* entry = getpwuid(getuid());
    home = entry != nullptr ? entry->pw_dir : nullptr;
  }
  return home != nullptr && home[0] == '/' ? std::string(home) : std::string();
}

// An absolute folder from an environment variable, else `fallback` under the home folder.
std::string BaseFolder(const char* variable, const char* fallback) {
  const char* value = std::getenv(variable);
  if (value != nullptr && value[0] == '/') return value;
  std::string home = HomeFolder();
  return home.empty() ? home : home + "/" + fallback;
}

// One folder of user-dirs.dirs ("XDG_DESKTOP_DIR="$HOME/Desktop"" lines); the
// file allows only "$HOME/..." or absolute values in double quotes.
std::string UserDirectory(const char* key, const char* fallback) {
  std::string home = HomeFolder();
  if (home.empty()) return home;
  std::ifstream file(BaseFolder("XDG_CONFIG_HOME", ".config") + "/user-dirs.dirs");
  std::string line;
  std::string prefix = std::string(key) + "=\"";
  while (std::getline(file, line)) {
    if (line.compare(0, prefix.size(), prefix) != 0) continue;
    size_t close = line.find('"', prefix.size());
    if (close == std::string::npos) break;
    std::string value = line.substr(prefix.size(), close - prefix.size());
    if (value.compare(0, 5, "$HOME") == 0) return home + value.substr(5);
    if (!value.empty() && value[0] == '/') return value;
    break;
  }
  return home + "/" + fallback;
}

RawString Named(const char* name, TextCode code) {
  if (name == nullptr || name[0] == '\0') return RawString(code, RawString("host"));
  return RawString::FromUtf8(name).Convert(code);
}

}  // namespace

RawString ComputerName(TextCode code) {
  char buffer[256] = {};
  if (gethostname(buffer, sizeof buffer - 1) != 0) return Named(nullptr, code);
  return Named(buffer, code);
}

RawString UserName(TextCode code) {
  const passwd* entry = getpwuid(geteuid());
  return Named(entry != nullptr ? entry->pw_name : nullptr, code);
}

RawString TempFolder(TextCode code) {
  const char* value = std::getenv("TMPDIR");
  std::string folder = value != nullptr && value[0] == '/' ? value : "/tmp";
  if (folder.back() != '/') folder += '/';
  return RawString::FromUtf8(folder).Convert(code);
}

RawString SpecialFolder(int csidl, TextCode code) {
  std::string folder;
  switch (csidl) {
    case FolderDesktop:
    case FolderDesktopDirectory: folder = UserDirectory("XDG_DESKTOP_DIR", "Desktop"); break;
    case FolderDocuments: folder = UserDirectory("XDG_DOCUMENTS_DIR", "Documents"); break;
    case FolderMusic: folder = UserDirectory("XDG_MUSIC_DIR", "Music"); break;
    case FolderVideos: folder = UserDirectory("XDG_VIDEOS_DIR", "Videos"); break;
    case FolderPictures: folder = UserDirectory("XDG_PICTURES_DIR", "Pictures"); break;
    case FolderTemplates: folder = UserDirectory("XDG_TEMPLATES_DIR", "Templates"); break;
    case FolderAppData: return ApplicationDataFolder(code);
    case FolderLocalAppData: folder = BaseFolder("XDG_DATA_HOME", ".local/share"); break;
    case FolderProfile: folder = HomeFolder(); break;
    default: break;
  }
  return RawString::FromUtf8(folder).Convert(code);
}

bool IsTerminal(std::FILE* stream) { return isatty(fileno(stream)) == 1; }

bool SetTerminalEcho(std::FILE* stream, bool echo) {
  const int descriptor = fileno(stream);
  termios mode{};
  if (descriptor < 0 || tcgetattr(descriptor, &mode) != 0) return false;
  if (echo) {
    mode.c_lflag |= ECHO;
  } else {
    mode.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  }
  // At once, keeping what was typed ahead.
  return tcsetattr(descriptor, TCSANOW, &mode) == 0;
}

}  // namespace RawLayer
