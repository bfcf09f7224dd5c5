# The release archive: scripts/package.sh packs this tree's kestrel.exe and tessera.exe, the
# archive is unpacked into a folder of its own, and the unpacked programs are started from
# there. Kestrel is started without options, so it must find the example profile beside itself
# as kestrel.ini; its action "Example" writes kestrel-example.txt beside kestrel.exe.

# The archive holds the 32-bit programs. The 64-bit tree packs its own programs the same way, so
# that the archive's scenarios also run where the machine runs no 32-bit code.
if(NOT TARGET kestrel OR NOT TARGET tessera)
  return()
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(release_strip i686-w64-mingw32-strip)
else()
  set(release_strip x86_64-w64-mingw32-strip)
endif()

find_program(release_zip zip)
find_program(release_unzip unzip)
find_program(release_bash bash)
if(NOT release_zip OR NOT release_unzip OR NOT release_bash)
  message(STATUS "Release scenarios skipped: zip, unzip or bash is missing (scripts/setup.sh installs them)")
  return()
endif()

file(STRINGS ${KESTREL_SOURCE_DIR}/res/version.h release_version_line REGEX "KESTREL_VERSION_TEXT")
string(REGEX REPLACE ".*\"(.*)\".*" "\\1" release_version "${release_version_line}")
set(release_dist ${CMAKE_CURRENT_BINARY_DIR}/release.dist)
set(release_unpacked ${CMAKE_CURRENT_BINARY_DIR}/release.unpacked)
set(release_folder ${release_unpacked}/Kestrel-${release_version})

# Packs and unpacks, then insists on exactly the five files of the archive.
add_test(NAME e2e.release.package
  COMMAND ${release_bash} -c [=[
set -e
# One time stamp for every strip, here and in the script.
export SOURCE_DATE_EPOCH=1714694400
"$1/scripts/package.sh" --build "$2" --dist "$3" >/dev/null
rm -rf "$4"
unzip -q "$3/Kestrel-$5.zip" -d "$4"
listing=$(cd "$4" && find . -type f | sort | tr '\n' ' ')
expected="./Kestrel-$5/LICENSE.txt ./Kestrel-$5/ReadMe_Kestrel.txt ./Kestrel-$5/kestrel.exe ./Kestrel-$5/kestrel.ini ./Kestrel-$5/tessera.exe "
[ "$listing" = "$expected" ] || { echo "archive holds: $listing"; exit 1; }
# The archive's programs are this tree's, stripped.
for program in kestrel tessera; do
  "$6" -o "$3/$program.stripped.exe" "$2/$program.exe"
  cmp "$3/$program.stripped.exe" "$4/Kestrel-$5/$program.exe"
done
echo "release archive unpacked: $listing"
]=] release-package ${KESTREL_SOURCE_DIR} ${CMAKE_BINARY_DIR} ${release_dist} ${release_unpacked}
    ${release_version} ${release_strip})
set_tests_properties(e2e.release.package PROPERTIES
  FIXTURES_SETUP release_archive LABELS "e2e;host" TIMEOUT 120)

kestrel_win_path(release_win_folder ${release_folder})

# The unpacked launcher runs the example's action with its own kestrel.ini as the profile.
kestrel_e2e(NAME release.example_action STEPS
  start ${release_win_folder}/kestrel.exe -a Example --
  expect-exit 0 60000
  file-contains ${release_win_folder}/kestrel-example.txt "Kestrel example: 6 x 7 = 42")
set_tests_properties(e2e.release.example_action PROPERTIES FIXTURES_REQUIRED "wine;release_archive")

# An action the example does not have: no script runs, the name is reported, the exit code is 1.
kestrel_e2e(NAME release.unknown_action STEPS
  start ${release_win_folder}/kestrel.exe -a NoSuchAction --
  box-title Kestrel
  box-press IDOK
  expect-exit 1 60000)
set_tests_properties(e2e.release.unknown_action PROPERTIES FIXTURES_REQUIRED "wine;release_archive")

# The unpacked Tessera starts and shows its usage box.
kestrel_e2e(NAME release.tessera_usage STEPS
  start ${release_win_folder}/tessera.exe -? --
  box-title Tessera
  box-press IDOK
  expect-exit 0 30000)
set_tests_properties(e2e.release.tessera_usage PROPERTIES FIXTURES_REQUIRED "wine;release_archive")

# The unpacked launcher started without options opens its window from the example profile and,
# closed, stores its place in that profile and keeps every section of it.
kestrel_e2e(NAME release.example_window STEPS
  start ${release_win_folder}/kestrel.exe --
  wait-window KestrelView Kestrel 30000
  close-window KestrelView Kestrel
  expect-exit 0 15000
  file-contains ${release_win_folder}/kestrel.ini "[MainDialog]"
  file-contains ${release_win_folder}/kestrel.ini "[Button:Command prompt]"
  file-contains ${release_win_folder}/kestrel.ini "[Action:Example]")
set_tests_properties(e2e.release.example_window PROPERTIES FIXTURES_REQUIRED "wine;release_archive")
