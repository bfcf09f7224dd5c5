# 64-bit Windows build with mingw-w64, run under Wine's 64-bit loader.
#   cmake -S . -B build/x86_64 -G Ninja --toolchain cmake/mingw-x86_64.cmake
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KESTREL_MINGW_TRIPLE x86_64-w64-mingw32)
set(KESTREL_WINE_LOADER /usr/lib/wine/wine64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
