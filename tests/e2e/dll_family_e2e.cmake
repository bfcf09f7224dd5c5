# No DLL from a program's folder runs inside it. Each scenario plants dbghelp.dll (a DLL that
# writes planted-dll-loaded.txt beside itself when loaded) in a folder with a copy of the
# program, has Wine prefer that DLL to its own (native first, as Windows treats a DLL that is not
# one of its known DLLs; the harness passes the override on), runs the program until it has shown
# its first box, and fails when the marker is there. The control scenario proves the plant works: a program that imports
# dbghelp.dll does load the planted one from the same kind of folder.

add_library(e2e_planted_dll SHARED planted_dll_win32.cpp)
# In a folder of its own: beside the other test programs it would be planted for them too.
set_target_properties(e2e_planted_dll PROPERTIES OUTPUT_NAME dbghelp PREFIX ""
                      RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/planted)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  # The export without its stdcall decoration, as the system's own DLL names it.
  target_link_options(e2e_planted_dll PRIVATE -Wl,--kill-at)
endif()

add_executable(e2e_dbghelp_importer WIN32 dbghelp_importer_win32.cpp)
kestrel_wide_entry(e2e_dbghelp_importer)
target_link_libraries(e2e_dbghelp_importer PRIVATE dbghelp)

set(planted_dll $<TARGET_FILE:e2e_planted_dll>)
set(plant_steps copy-file ${planted_dll} @DIR@/dbghelp.dll)

kestrel_e2e(NAME dll.planted_control STEPS
  ${plant_steps}
  copy-file $<TARGET_FILE:e2e_dbghelp_importer> @DIR@/importer.exe
  start @DIR@/importer.exe --
  expect-exit 0 10000
  file-exists @DIR@/planted-dll-loaded.txt)

kestrel_e2e(NAME dll.planted_kestrel STEPS
  ${plant_steps}
  copy-file $<TARGET_FILE:kestrel> @DIR@/kestrel.exe
  start @DIR@/kestrel.exe -h --
  box-title Kestrel
  box-press IDOK
  expect-exit 0 10000
  file-absent @DIR@/planted-dll-loaded.txt)

kestrel_e2e(NAME dll.planted_tessera STEPS
  ${plant_steps}
  copy-file $<TARGET_FILE:tessera> @DIR@/tessera.exe
  start @DIR@/tessera.exe -? --
  box-title Tessera
  box-press IDOK
  expect-exit 0 10000
  file-absent @DIR@/planted-dll-loaded.txt)

set_tests_properties(e2e.dll.planted_control e2e.dll.planted_kestrel e2e.dll.planted_tessera PROPERTIES
  ENVIRONMENT KESTREL_WINE_DLL_OVERRIDES=dbghelp=n,b)
