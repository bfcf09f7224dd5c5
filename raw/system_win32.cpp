#include <windows.h>
#include <shlobj.h>

#include <io.h>

#include "raw/system.h"

namespace RawLayer {

namespace {

RawString FromBuffer(const wchar_t* buffer, TextCode code) {
  return RawString::FromWide(reinterpret_cast<const char16_t*>(buffer), static_cast<int32_t>(lstrlenW(buffer)))
      .Convert(code);
}

}  // namespace

RawString ComputerName(TextCode code) {
  wchar_t buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(buffer, &size)) return RawString(code, RawString("host"));
  return FromBuffer(buffer, code);
}

RawString UserName(TextCode code) {
  wchar_t buffer[MAX_PATH + 1] = {};
  DWORD size = MAX_PATH + 1;
  if (!GetUserNameW(buffer, &size)) return RawString(code, RawString("host"));
  return FromBuffer(buffer, code);
}

RawString TempFolder(TextCode code) {
  wchar_t buffer[MAX_PATH + 1] = {};
  DWORD got = GetTempPathW(MAX_PATH + 1, buffer);
  // A longer answer does not fit the buffer and is not a usable temporary folder.
  if (got == 0 || got > MAX_PATH) return RawString(code, RawString());
  return FromBuffer(buffer, code);
}

RawString SpecialFolder(int csidl, TextCode code) {
  wchar_t buffer[MAX_PATH + 1] = {};
  if (!SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE)) return RawString(code, RawString());
  return FromBuffer(buffer, code);
}

bool IsTerminal(std::FILE* stream) {
  const intptr_t handle = _get_osfhandle(_fileno(stream));
  if (handle == -1 || handle == -2) return false;
  DWORD mode = 0;
  return GetConsoleMode(reinterpret_cast<HANDLE>(handle), &mode) != 0;
}

bool SetTerminalEcho(std::FILE* stream, bool echo) {
  const intptr_t handle = _get_osfhandle(_fileno(stream));
  if (handle == -1 || handle == -2) return false;
  HANDLE console = reinterpret_cast<HANDLE>(handle);
  DWORD mode = 0;
  if (GetConsoleMode(console, &mode) == 0) return false;
  mode = echo ? (mode | ENABLE_ECHO_INPUT) : (mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  return SetConsoleMode(console, mode) != 0;
}

}  // namespace RawLayer
