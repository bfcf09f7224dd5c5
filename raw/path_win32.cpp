#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "raw/path.h"

namespace RawLayer {

RawString ModulePath(TextCode code) {
  // A full buffer means the name was cut: grow until it fits, so that a
  // program deeper than MAX_PATH still finds its folder.
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    DWORD got = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (got == 0) return RawString(code, RawString());
    if (got < buffer.size()) {
      return RawString::FromWide(reinterpret_cast<const char16_t*>(buffer.data()), static_cast<int32_t>(got))
          .Convert(code);
    }
    if (buffer.size() >= 32768) return RawString(code, RawString());
    buffer.resize(buffer.size() * 2);
  }
}

RawString ApplicationDataFolder(TextCode code) {
  // The entry's contract is a buffer of MAX_PATH characters; the folder it
  // names is never longer.
  wchar_t buffer[MAX_PATH + 1] = {};
  if (!SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_APPDATA, FALSE)) return RawString(code, RawString());
  return RawString::FromWide(reinterpret_cast<const char16_t*>(buffer), static_cast<int32_t>(lstrlenW(buffer)))
      .Convert(code);
}

bool IsReadOnlyFile(const RawString& path) {
  std::u16string wide = path.ToWide();
  DWORD attributes = GetFileAttributesW(reinterpret_cast<const wchar_t*>(wide.c_str()));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0 &&
         (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

char PathSeparator() { return '\\'; }

}  // namespace RawLayer
