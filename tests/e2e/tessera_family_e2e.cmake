# Tessera's scenarios under Wine: target windows of known classes, titles and rectangles
# (tessera_window_win32.cpp) and Wine's notepad are found, moved and acted on by tessera.exe
# while the driver watches. Every scenario runs its own copy of tessera.exe in its folder, so
# each has a settings and data profile (tessera.ini) of its own.

add_executable(tessera_e2e_window WIN32 tessera_window_win32.cpp)
kestrel_wide_entry(tessera_e2e_window)
target_link_libraries(tessera_e2e_window PRIVATE kestrel_common)

set(tessera_program $<TARGET_FILE:tessera>)
set(target_window $<TARGET_FILE:tessera_e2e_window>)
set(tessera_helper $<TARGET_FILE:e2e_helper>)
set(tessera_probe $<TARGET_FILE:e2e_probe>)
# The target window's path as the window list writes it, its backslashes doubled for the
# driver's escapes.
kestrel_win_path(target_window_path ${CMAKE_CURRENT_BINARY_DIR}/tessera_e2e_window.exe)
string(REPLACE "\\" "\\\\" target_window_text "${target_window_path}")

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

# Geometry: relative widening, negated patterns, "#" numbers, the later of -x and -X.
tessera_e2e(NAME widen_relative STEPS
  start ${target_window} TesseraWiden "Widen target" 100 100 400 300 normal @DIR@/target.log --
  file-contains @DIR@/target.log "shown" 15000
  start @T@ -c >TesseraWiden -W 100 -H "#50" --
  expect-exit 0 10000
  window-rect TesseraWiden * 100 100 600 350 5000
  close-window TesseraWiden *)
tessera_e2e(NAME negated_title STEPS
  start ${target_window} TesseraNegMain "Main Draft" 100 100 400 300 normal @DIR@/draft.log --
  file-contains @DIR@/draft.log "shown" 15000
  start ${target_window} TesseraNegMain "Main Final" 200 150 400 300 normal @DIR@/final.log --
  file-contains @DIR@/final.log "shown" 15000
  start @T@ -n <*Draft* -c TesseraNeg* -x 0 -y 0 --
  expect-exit 0 10000
  window-rect TesseraNegMain "Main Final" 0 0 400 300 5000
  window-rect TesseraNegMain "Main Draft" 100 100 500 400 0
  close-window TesseraNegMain *)
tessera_e2e(NAME hash_numbers STEPS
  start ${target_window} TesseraHash "Hash target" 100 100 400 300 normal @DIR@/target.log --
  file-contains @DIR@/target.log "shown" 15000
  start @T@ -c TesseraHash -x "#20" -y +30 -w "#-300" --
  expect-exit 0 10000
  window-rect TesseraHash * -20 30 280 330 5000
  close-window TesseraHash *)
tessera_e2e(NAME later_geometry_wins STEPS
  start ${target_window} TesseraLater "Later target" 100 100 400 300 normal @DIR@/target.log --
  file-contains @DIR@/target.log "shown" 15000
  start @T@ -c TesseraLater -x 10 -X 5 --
  expect-exit 0 10000
  window-rect TesseraLater * 105 100 505 400 5000
  start @T@ -c TesseraLater -X 5 -x 10 --
  expect-exit 0 10000
  window-rect TesseraLater * 10 100 410 400 5000
  close-window TesseraLater *)
tessera_e2e(NAME maximised_restored_before_sizing STEPS
  start ${target_window} TesseraMax "Max target" 100 100 400 300 max @DIR@/target.log --
  file-contains @DIR@/target.log "shown" 15000
  show-state TesseraMax * max 5000
  start @T@ -c TesseraMax -w 800 --
  expect-exit 0 10000
  window-rect TesseraMax * 100 100 900 400 5000
  show-state TesseraMax * normal 0
  close-window TesseraMax *)

# Window actions.
tessera_e2e(NAME close_wins_over_terminate STEPS
  start ${target_window} TesseraQuit "Quit target" 100 100 400 300 normal @DIR@/target.log --
  file-contains @DIR@/target.log "shown" 15000
  start @T@ -c TesseraQuit -k -q --
  expect-exit 0 10000
  file-contains @DIR@/target.log "shown\nclose\nended\n" 10000
  window-gone TesseraQuit * 10000)
tessera_e2e(NAME terminate STEPS
  start ${target_window} TesseraKill "Kill target" 100 100 400 300 normal @DIR@/target.log --
  file-contains @DIR@/target.log "shown" 15000
  start @T@ -c TesseraKill -k --
  expect-exit 0 10000
  window-gone TesseraKill * 10000
  file-lacks @DIR@/target.log "close"
  file-lacks @DIR@/target.log "ended")
tessera_e2e(NAME minimise_restore_topmost STEPS
  start ${target_window} TesseraShow "Show target" 100 100 400 300 normal @DIR@/target.log --
  file-contains @DIR@/target.log "shown" 15000
  start @T@ -c TesseraShow -i --
  expect-exit 0 10000
  show-state TesseraShow * min 5000
  start @T@ -c TesseraShow -T --
  expect-exit 0 10000
  show-state TesseraShow * normal 5000
  topmost TesseraShow * 1 5000
  start @T@ -c TesseraShow -o --
  expect-exit 0 10000
  topmost TesseraShow * 0 5000
  close-window TesseraShow *)

# The window list: a minimised window's line ends with its state; a folder that cannot take
# the file is reported.
tessera_e2e(NAME window_list STEPS
  start ${tessera_probe} associate .txt txtfile --
  expect-exit 0 15000
  start ${target_window} TesseraIconic "Iconic target" 100 100 400 300 min @DIR@/iconic.log --
  file-contains @DIR@/iconic.log "shown" 15000
  start ${target_window} TesseraListed "Listed target" 120 130 400 300 normal @DIR@/listed.log --
  file-contains @DIR@/listed.log "shown" 15000
  show-state TesseraIconic * min 5000
  set-env TMP @DIR@
  set-env TEMP @DIR@
  start @T@ -l --
  expect-exit 0 15000
  file-contains @DIR@/Tessera_WindowList.txt
    "Name=[Iconic target] Class=[TesseraIconic] File=[${target_window_text}] Rectangle=[Iconic]\\r\\n"
  file-contains @DIR@/Tessera_WindowList.txt
    "Name=[Listed target] Class=[TesseraListed] File=[${target_window_text}] Rectangle=[-x 120 -y 130 -w 400 -h 300]\\r\\n"
  wait-window Notepad "Tessera_WindowList.txt - Notepad" 15000
  close-window Notepad "Tessera_WindowList.txt - Notepad"
  close-window TesseraIconic *
  close-window TesseraListed *)
# A hidden window: a move does not find it, the window list names it, and a restore finds it
# and shows it again.
tessera_e2e(NAME hidden_window STEPS
  start ${tessera_probe} associate .txt txtfile --
  expect-exit 0 15000
  start ${target_window} TesseraHidden "Hidden target" 140 150 400 300 hidden @DIR@/hidden.log --
  file-contains @DIR@/hidden.log "hidden" 15000
  start @T@ -c TesseraHidden -x 0 --
  box-title Tessera
  box-text "No window is found !"
  box-press IDOK
  expect-exit 0 10000
  set-env TMP @DIR@
  set-env TEMP @DIR@
  start @T@ -l --
  expect-exit 0 15000
  file-contains @DIR@/Tessera_WindowList.txt
    "Name=[Hidden target] Class=[TesseraHidden] File=[${target_window_text}] Rectangle=[-x 140 -y 150 -w 400 -h 300]\\r\\n"
  wait-window Notepad "Tessera_WindowList.txt - Notepad" 15000
  close-window Notepad "Tessera_WindowList.txt - Notepad"
  start @T@ -c TesseraHidden -a --
  expect-exit 0 10000
  wait-window TesseraHidden "Hidden target" 10000
  close-window TesseraHidden *)
tessera_e2e(NAME window_list_cannot_open_temp STEPS
  set-env TMP @DIR@/missing
  set-env TEMP @DIR@/missing
  start @T@ -l --
  box-title Tessera
  box-text "Cannot open temp file !"
  box-press IDOK
  expect-exit 0 10000)

# Data sections: stored with -s, -S, -s- and -S+ (numbered), applied with -e, deleted with -d.
set(stored_rect "RectSpec=-x 100 -y 100 -w 400 -h 300\\r\\n")
tessera_e2e(NAME data_sections STEPS
  start ${target_window} TesseraStore "Store Me" 100 100 400 300 normal @DIR@/target.log --
  file-contains @DIR@/target.log "shown" 15000
  start @T@ -c TesseraStore -s --
  expect-exit 0 10000
  file-contains @DIR@/tessera.ini "[Data:Store Me]\\r\\nClassName=TesseraStore\\r\\n${stored_rect}\\r\\n"
  start @T@ -c TesseraStore -S --
  expect-exit 0 10000
  file-contains @DIR@/tessera.ini
    "[Data:Store Me]\\r\\nTitleName=Store Me\\r\\nClassName=TesseraStore\\r\\nFileName=${target_window_text}\\r\\n${stored_rect}\\r\\n"
  file-lacks @DIR@/tessera.ini "[Data:Store Me]\\r\\nClassName"
  start @T@ -c TesseraStore -s- --
  expect-exit 0 10000
  file-contains @DIR@/tessera.ini "[Data:TesseraStore]\\r\\nClassName=TesseraStore\\r\\n${stored_rect}\\r\\n"
  start @T@ -c TesseraStore -x 0 -y 0 -w 640 -h 480 --
  expect-exit 0 10000
  window-rect TesseraStore * 0 0 640 480 5000
  start @T@ -n "Store Me" -S+ --
  expect-exit 0 10000
  file-contains @DIR@/tessera.ini
    "[Data:Store Me-1]\\r\\nTitleName=Store Me\\r\\nClassName=TesseraStore\\r\\nFileName=${target_window_text}\\r\\nRectSpec=-x 0 -y 0 -w 640 -h 480\\r\\n"
  start @T@ -c TesseraStore -S+ --
  expect-exit 0 10000
  file-contains @DIR@/tessera.ini "[Data:Store Me-2]\\r\\nTitleName=Store Me\\r\\n"
  start @T@ -e "Store Me" --
  expect-exit 0 10000
  window-rect TesseraStore * 100 100 500 400 5000
  start @T@ -e "store me-1" --
  expect-exit 0 10000
  window-rect TesseraStore * 0 0 640 480 5000
  start @T@ -d "Store Me-2" --
  expect-exit 0 10000
  file-lacks @DIR@/tessera.ini "[Data:Store Me-2]"
  file-contains @DIR@/tessera.ini "[Data:Store Me-1]"
  file-contains @DIR@/tessera.ini "[Common]\\r\\nProgram=Tessera\\r\\n"
  close-window TesseraStore *)
tessera_e2e(NAME data_sections_none STEPS
  start @T@ -e --
  box-title Tessera
  box-text "No window is specified !"
  box-press IDOK
  expect-exit 0 10000)
tessera_e2e(NAME data_section_without_window STEPS
  start ${tessera_helper} write @DIR@/tessera.ini
    "[Common]\\nProgram=Tessera\\n[Data:Gone]\\nClassName=TesseraNoSuchClass\\nRectSpec=\\n" 0 --
  expect-exit 0 10000
  start @T@ -e Gone --
  box-title Tessera
  box-text "No window is found !"
  box-press IDOK
  expect-exit 0 10000)

# The rectangle text ("RectSpec") goes to the clipboard, read back by another program; the window
# is restored first. The clipboard is shared by every program of the display: this runs alone.
tessera_e2e(NAME copy_rect STEPS
  start ${target_window} TesseraClip "Clip target" 100 100 400 300 max @DIR@/target.log --
  file-contains @DIR@/target.log "shown" 15000
  show-state TesseraClip * max 5000
  start @T@ -c TesseraClip -g --
  expect-exit 0 10000
  show-state TesseraClip * normal 0
  start ${tessera_probe} clip-check "-x 100 -y 100 -w 400 -h 300" --
  expect-exit 0 15000
  close-window TesseraClip *)
set_tests_properties(e2e.tessera.copy_rect PROPERTIES RUN_SERIAL TRUE)

# -p without a window opens the data profile in its program.
tessera_e2e(NAME open_profile STEPS
  start @T@ -p --
  expect-exit 0 15000
  wait-window Notepad "tessera.ini - Notepad" 15000
  close-window Notepad "tessera.ini - Notepad")

# A window whose program does not answer is left alone, and Tessera ends instead of hanging.
tessera_e2e(NAME hung_window STEPS
  start ${target_window} TesseraHung "Hung target" 100 100 400 300 hung @DIR@/target.log --
  file-contains @DIR@/target.log "shown" 15000
  start @T@ -c TesseraHung -x 0 -y 0 -T --
  expect-exit 0 10000
  file-lacks @DIR@/target.log "awake"
  window-rect TesseraHung * 100 100 500 400 0)
