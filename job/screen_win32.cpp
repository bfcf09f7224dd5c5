#include <windows.h>

#include <io.h>

#include "job/screen.h"

namespace JobLayer {

// A console: a character device that answers GetConsoleMode (the NUL device is a character
// device too, but no console).
bool IsTerminalStream(std::FILE* stream) {
  const intptr_t handle = _get_osfhandle(_fileno(stream));
  if (handle == -1) return false;
  DWORD mode = 0;
  return GetConsoleMode(reinterpret_cast<HANDLE>(handle), &mode) != 0;
}

}  // namespace JobLayer
