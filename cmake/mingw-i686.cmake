# 32-bit Windows build with mingw-w64, run under Wine's 32-bit loader.
#   cmake -S . -B build/i686 -G Ninja --toolchain cmake/mingw-i686.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KESTREL_MINGW_TRIPLE i686-w64-mingw32)
set(KESTREL_WINE_LOADER wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
