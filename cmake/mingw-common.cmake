# Shared part of the two mingw-w64 toolchain files. The caller sets KESTREL_MINGW_TRIPLE and
# KESTREL_WINE_LOADER first.
#
# The -posix compiler variants are used because they give std::thread and std::mutex, which
# GoogleTest and the worker threads need.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${KESTREL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESTREL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${KESTREL_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KESTREL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every Windows program of the build (unit tests included) runs under Wine through this
# wrapper. The top-level CMakeLists.txt writes it into the build folder, where it fixes the
# Wine prefix and display of that build; calling wine directly would silently create ~/.wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
