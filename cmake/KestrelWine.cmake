# Running the Windows programs of a cross build under Wine, from the build and from CTest.
#
# The build folder gets its own Wine prefix (made while building, so that listing the unit tests
# at test time finds it ready) and the wrapper that CMAKE_CROSSCOMPILING_EMULATOR names. CTest
# starts an Xvfb display and a warm wineserver before the first test that needs them (fixture
# "wine") and ends both after the last one.

set(KESTREL_WINE_HARNESS ${KESTREL_SOURCE_DIR}/scripts/wine-harness.sh)

configure_file(${KESTREL_SOURCE_DIR}/cmake/wine-run.in ${CMAKE_BINARY_DIR}/wine-run
               @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
               GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

add_custom_command(
  OUTPUT ${CMAKE_BINARY_DIR}/wineprefix/.kestrel-ready
  COMMAND ${KESTREL_WINE_HARNESS} prefix ${CMAKE_BINARY_DIR}
  COMMENT "Creating the Wine prefix of this build folder"
  VERBATIM)
add_custom_target(wineprefix ALL DEPENDS ${CMAKE_BINARY_DIR}/wineprefix/.kestrel-ready)

add_test(NAME wine.start
         COMMAND ${KESTREL_WINE_HARNESS} start ${CMAKE_BINARY_DIR} ${KESTREL_WINE_LOADER})
add_test(NAME wine.stop COMMAND ${KESTREL_WINE_HARNESS} stop ${CMAKE_BINARY_DIR})
set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine LABELS wine TIMEOUT 180)
set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine LABELS wine TIMEOUT 60)

# kestrel_win_path(<out-var> <unix-path>)
# The path as Windows programs under Wine see it (drive Z: is the Unix root).
function(kestrel_win_path out path)
  string(REPLACE "/" "\\" path "${path}")
  set(${out} "Z:${path}" PARENT_SCOPE)
endfunction()
