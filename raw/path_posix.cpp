#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "raw/path.h"

namespace RawLayer {

RawString ModulePath(TextCode code) {
  // readlink does not say whether it truncated: grow until the answer fits.
  std::vector<char> buffer(256);
  for (;;) {
    ssize_t got = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (got < 0) return RawString(code, RawString());
    if (static_cast<size_t>(got) < buffer.size()) {
      return RawString::FromUtf8({buffer.data(), static_cast<size_t>(got)}).Convert(code);
    }
    buffer.resize(buffer.size() * 2);
  }
}

RawString ApplicationDataFolder(TextCode code) {
  // Relative values are ignored, as the base-directory convention asks.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return RawString::FromUtf8(config).Convert(code);
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] != '/') {
    const passwd* entry = getpwuid(getuid());
    home = entry != nullptr ? entry->pw_dir : nullptr;
  }
  if (home == nullptr || home[0] != '/') return RawString(code, RawString());
  RawString folder = RawString::FromUtf8(home);
  if (folder.UnitAt(folder.Length() - 1) != '/') folder.AppendChar('/');
  folder.Append(".config");
  return folder.Convert(code);
}

bool IsReadOnlyFile(const RawString& path) {
  std::string name = path.ToUtf8();
  for (char& c : name) {
    if (c == '\\') c = '/';
  }
  struct stat info;
  if (::stat(name.c_str(), &info) != 0 || S_ISDIR(info.st_mode)) return false;
  // No write bit at all is read-only even for root, as the attribute is on Windows.
  return (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(name.c_str(), W_OK) != 0;
}

char PathSeparator() { return '/'; }

}  // namespace RawLayer
