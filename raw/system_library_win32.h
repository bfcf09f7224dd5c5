// Functions of system DLLs found when they are first needed (Windows only): a DLL that few
// runs use is not loaded at every start, and a function older systems lack is looked for
// instead of imported. The DLL is taken from the system folder only, never from the
// program's folder, where a planted one of the same name would run inside the program.
#pragma once

#include <windows.h>

namespace RawLayer {

// The function, or null when the DLL or the function is not there.
template <typename Function>
Function SystemFunction(const wchar_t* module, const char* name) {
  HMODULE handle = GetModuleHandleW(module);
  if (handle == nullptr) handle = LoadLibraryExW(module, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (handle == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(handle, name)));
}

}  // namespace RawLayer
