# Tessera's scenarios under Wine: target windows of known classes, titles and rectangles
# (tessera_window_win32.cpp) and Wine's notepad are found, moved and acted on by tessera.exe
# while the driver watches. Every scenario runs its own copy of tessera.exe in its folder, so
# each has a settings and data profile (tessera.ini) of its own.

add_executable(tessera_e2e_window WIN32 tessera_window_win32.cpp)
target_compile_options(tessera_e2e_window PRIVATE -municode)
target_link_options(tessera_e2e_window PRIVATE -municode)
target_link_libraries(tessera_e2e_window PRIVATE kestrel_common)

set(tessera_program $<TARGET_FILE:tessera>)
set(target_window $<TARGET_FILE:tessera_e2e_window>)
set(tessera_helper $<TARGET_FILE:e2e_helper>)
set(tessera_probe $<TARGET_FILE:e2e_probe>)

# tessera_e2e(NAME <name> STEPS ...): a scenario whose folder holds tessera.exe; @T@ names it.
function(tessera_e2e)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "NAME" "STEPS")
  set(steps)
  foreach(step IN LISTS arg_STEPS)
    string(REPLACE "@T@" "@DIR@/tessera.exe" step "${step}")
    list(APPEND steps "${step}")
  endforeach()
  kestrel_e2e(NAME tessera.${arg_NAME} STEPS copy-file ${tessera_program} @DIR@/tessera.exe ${steps})
endfunction()

# Messages, usage and the settings profile.
tessera_e2e(NAME usage STEPS
  start @T@ -? --
  box-title Tessera
  box-text "Arguments = [-n name]* [-c class]* [-f file]* [-m] [-M] [-e section|-d section] [[-x|-X] [#|+]num] [[-y|-Y] [#|+]num] [[-w|-W] [#|+]num] [[-h|-H] [#|+]num] [-p|-l|-k|-q|-i|-a|-t|-T|-o|-b|-g|-s|-s-|-s+|-S|-S-|-S+] [-z]"
  box-press IDOK
  expect-exit 0 10000)
tessera_e2e(NAME no_window_specified STEPS
  start @T@ --
  box-title Tessera
  box-text "No window is specified !"
  box-press IDOK
  expect-exit 0 10000
  file-contains @DIR@/tessera.ini "[Common]\\r\\nProgram=Tessera\\r\\n")
tessera_e2e(NAME no_window_specified_quiet STEPS
  start @T@ -z --
  expect-no-window 10000
  expect-exit 0 0)
tessera_e2e(NAME bad_format_profile STEPS
  start ${tessera_helper} write @DIR@/tessera.ini "[Common]\\nConfigFile=x.ini\\n" 0 --
  expect-exit 0 10000
  start @T@ -n Anything -x 0 --
  box-title Tessera
  box-text "Bad format profile !"
  box-press IDOK
  expect-exit 0 10000)
tessera_e2e(NAME no_window_found STEPS
  start @T@ -c TesseraNoSuchClass -x 0 --
  box-title Tessera
  box-text "No window is found !"
  box-press IDOK
  expect-exit 0 10000)

# Finding and moving: by title (Wine's notepad), class and executable.
tessera_e2e(NAME move_notepad_by_title STEPS
  start ${tessera_helper} write @DIR@/placed_by_title.txt "a document" 0 --
  expect-exit 0 10000
  start notepad.exe @DIR@/placed_by_title.txt --
  wait-window Notepad "placed_by_title.txt - Notepad" 15000
  start @T@ -n "placed_by_title.txt*" -x 10 -y 20 -w 500 -h 400 --
  expect-exit 0 10000
  window-rect Notepad "placed_by_title.txt - Notepad" 10 20 510 420 5000
  close-window Notepad "placed_by_title.txt - Notepad")
tessera_e2e(NAME move_by_class STEPS
  start ${target_window} TesseraByClass "Class target" 100 100 400 300 normal @DIR@/target.log --
  file-contains @DIR@/target.log "shown" 15000
  start @T@ -c >TesseraByClass -x 30 -y 40 --
  expect-exit 0 10000
  window-rect TesseraByClass "Class target" 30 40 430 340 5000
  close-window TesseraByClass *)
tessera_e2e(NAME move_by_file STEPS
  copy-file ${target_window} @DIR@/placed_by_file.exe
  start @DIR@/placed_by_file.exe TesseraTarget "File target" 100 100 400 300 normal @DIR@/target.log --
  file-contains @DIR@/target.log "shown" 15000
  start @T@ -f *\\placed_by_file.exe -x 50 -y 60 -w 300 -h 200 --
  expect-exit 0 10000
  window-rect TesseraTarget "File target" 50 60 350 260 5000
  close-window TesseraTarget "File target")
