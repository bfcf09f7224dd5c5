# Options and helpers shared by every target of the tree.

if(CMAKE_CROSSCOMPILING)
  set(kestrel_sanitize_default OFF)
else()
  set(kestrel_sanitize_default ON)
endif()
option(KESTREL_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer"
       ${kestrel_sanitize_default})

if(KESTREL_SANITIZE)
  # Applied to the whole tree so that every object linked into a test sees the same runtime.
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

if(WIN32)
  # One standalone file per program: no libstdc++, libgcc or winpthread DLLs beside it.
  add_link_options(-static)
  # Hardened programs: stack canaries and checked string and memory calls (both need libssp,
  # linked statically by -static), and the loader's defences kept explicitly on: a relocatable
  # image at a random base (high-entropy on 64-bit) and no code run from data pages.
  add_compile_options(-fstack-protector-strong)
  add_compile_definitions(_FORTIFY_SOURCE=2)
  add_link_options(-fstack-protector-strong -Wl,--dynamicbase -Wl,--nxcompat)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    add_link_options(-Wl,--high-entropy-va)
  endif()
endif()

# What every target of ours shares: sources include "raw/string.h" and the like from the
# repository root; warnings on; wide Win32 entries by default.
add_library(kestrel_common INTERFACE)
target_include_directories(kestrel_common INTERFACE ${KESTREL_SOURCE_DIR})
target_compile_options(kestrel_common INTERFACE "$<$<COMPILE_LANGUAGE:CXX>:-Wall;-Wextra>")
if(WIN32)
  target_compile_definitions(kestrel_common INTERFACE UNICODE _UNICODE NOMINMAX)
  target_link_libraries(kestrel_common INTERFACE
    gdi32 shell32 comctl32 ole32 psapi imm32 advapi32 user32)
endif()

# kestrel_glob(<out-var> <folder> [EXCLUDE <file-name>...])
# The .cpp files of a folder that belong to this platform: names ending in "_win32.cpp" only on
# Windows, names ending in "_posix.cpp" only natively. CMake globs again at build time, so a new
# file is picked up without configuring by hand.
function(kestrel_glob out folder)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "EXCLUDE")
  file(GLOB files CONFIGURE_DEPENDS ${KESTREL_SOURCE_DIR}/${folder}/*.cpp)
  if(WIN32)
    list(FILTER files EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER files EXCLUDE REGEX "_win32\\.cpp$")
  endif()
  foreach(name IN LISTS arg_EXCLUDE)
    list(REMOVE_ITEM files ${KESTREL_SOURCE_DIR}/${folder}/${name})
  endforeach()
  set(${out} ${files} PARENT_SCOPE)
endfunction()

# kestrel_layer(<target> <folder> [EXCLUDE <file-name>...] [LINK <target>...])
# A static library of the folder's sources.
function(kestrel_layer target folder)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "EXCLUDE;LINK")
  kestrel_glob(sources ${folder} EXCLUDE ${arg_EXCLUDE})
  add_library(${target} STATIC ${sources})
  target_link_libraries(${target} PUBLIC kestrel_common ${arg_LINK})
endfunction()

# kestrel_wide_entry(<target>)
# The program's entry point takes UTF-16 arguments (wmain or wWinMain): -municode when compiling
# and when linking.
function(kestrel_wide_entry target)
  target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-municode>)
  target_link_options(${target} PRIVATE -municode)
endfunction()

# kestrel_windows_program(<target> <resource-file> <sources>...)
# A Windows GUI program: wWinMain entry (-municode), GUI subsystem, version and icons from the
# resource script.
function(kestrel_windows_program target rc)
  add_executable(${target} WIN32 ${ARGN} ${rc})
  kestrel_wide_entry(${target})
  # windres reports no dependencies, so name the files the resource script pulls in.
  file(GLOB resource_inputs CONFIGURE_DEPENDS ${KESTREL_SOURCE_DIR}/res/*)
  set_source_files_properties(${rc} PROPERTIES
    INCLUDE_DIRECTORIES ${KESTREL_SOURCE_DIR}/res
    OBJECT_DEPENDS "${resource_inputs}")
endfunction()
