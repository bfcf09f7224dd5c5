# Tessera's selection windows under Wine. The selection probe (selection_probe_win32.cpp) runs a
# selection in a process of its own and writes the outcome to a file; a second run of the probe
# acts as the user's hand (clicks, drags, reads the covers' layered attributes). The screen is
# the harness's one 1280x1024 monitor.

add_executable(e2e_selection_probe selection_probe_win32.cpp)
kestrel_wide_entry(e2e_selection_probe)
target_link_libraries(e2e_selection_probe PRIVATE kestrel_tool)

set(sel_probe $<TARGET_FILE:e2e_selection_probe>)
set(sel_helper $<TARGET_FILE:e2e_helper>)

# kestrel_selection_e2e(<name> <step>...): a scenario that sends mouse input, so it runs alone.
function(kestrel_selection_e2e name)
  kestrel_e2e(NAME selection.${name} STEPS ${ARGN})
  set_tests_properties(e2e.selection.${name} PROPERTIES RUN_SERIAL TRUE)
endfunction()

# A click on the cover over notepad picks notepad; the covers are layered and topmost, a
# transparency of 0 still gives an alpha of 1, and the colour written 0xRRGGBB is painted so.
kestrel_selection_e2e(pick_window
  start ${sel_helper} write @DIR@/t.ini
    "[Job]\\nWindowSelectionTransparency=0\\nWindowSelectionColor=0x123456\\n" 0 --
  expect-exit 0 10000
  start notepad.exe --
  wait-window Notepad * 15000
  start ${sel_probe} place Notepad * 200 150 300 250 10000 --
  expect-exit 0 15000
  start ${sel_probe} pick @DIR@/t.ini @DIR@/out.txt --
  start ${sel_probe} layered Tessera_Cover 1 10000 --
  expect-exit 0 15000
  start ${sel_probe} pixel Tessera_Cover 900 700 123456 10000 --
  expect-exit 0 15000
  start ${sel_probe} click Tessera_Cover left 300 300 10000 --
  expect-exit 0 15000
  file-contains @DIR@/out.txt "chosen Notepad " 10000
  close-window Notepad *)

# A right click cancels.
kestrel_selection_e2e(pick_cancelled
  start ${sel_helper} write @DIR@/t.ini "[Job]\\n" 0 --
  expect-exit 0 10000
  start ${sel_probe} pick @DIR@/t.ini @DIR@/out.txt --
  start ${sel_probe} click Tessera_Cover right 600 500 10000 --
  expect-exit 0 15000
  file-contains @DIR@/out.txt "cancelled\\n" 10000)

# A click where only the desktop lies picks no window.
kestrel_selection_e2e(pick_desktop
  start ${sel_helper} write @DIR@/t.ini "[Job]\\n" 0 --
  expect-exit 0 10000
  start ${sel_probe} pick @DIR@/t.ini @DIR@/out.txt --
  start ${sel_probe} click Tessera_Cover left 1100 600 10000 --
  expect-exit 0 15000
  file-contains @DIR@/out.txt "nothing\\n" 10000)

# A drag gives both corners; the placement adds the frame widening (8, 0, 8, 8 by default).
# While the button is held the rectangle is drawn in its colour on the cover's, and the cover's
# picture is what a full repaint draws.
kestrel_selection_e2e(draw_rect
  start ${sel_helper} write @DIR@/t.ini "[Job]\\nRectSelectionTransparency=300\\nRectCroppingColor=0xFF00C0\\n" 0 --
  expect-exit 0 10000
  start ${sel_probe} rect @DIR@/t.ini @DIR@/out.txt --
  start ${sel_probe} layered Tessera_Cover 255 10000 --
  expect-exit 0 15000
  start ${sel_probe} press 300 200 700 500 10000 --
  expect-exit 0 15000
  start ${sel_probe} pixel Tessera_Cover 500 350 FF00C0 10000 --
  expect-exit 0 15000
  start ${sel_probe} pixel Tessera_Cover 800 600 800000 10000 --
  expect-exit 0 15000
  up-to-date Tessera_Cover * @DIR@/during-drag.png
  start ${sel_probe} release 700 500 --
  expect-exit 0 15000
  file-contains @DIR@/out.txt "chosen 300 200 700 500\\nplace 1 1 292 200 416 308\\n" 10000)

# A drag that runs more than 19 pixels left is no rectangle.
kestrel_selection_e2e(draw_rect_backwards
  start ${sel_helper} write @DIR@/t.ini "[Job]\\nFrameWidenT=4\\n" 0 --
  expect-exit 0 10000
  start ${sel_probe} rect @DIR@/t.ini @DIR@/out.txt --
  start ${sel_probe} drag 500 500 400 520 10000 --
  expect-exit 0 15000
  file-contains @DIR@/out.txt "chosen 500 500 400 520\\nplace 0 0 " 10000)

# The menu shows one miniature per section (1280 / 12 = 106 wide, 1024 / 12 = 85 high, 3 pixels
# apart): the screen area in its colour with the section's target (the first entry's is the
# top-left quarter, 3 pixels in); a click on the second entry chooses it, a right click cancels.
kestrel_selection_e2e(menu_entry
  start ${sel_helper} write @DIR@/t.ini "[Job]\\nMenuScreenAreaColor=0x203040\\n" 0 --
  expect-exit 0 10000
  start ${sel_probe} menu @DIR@/t.ini @DIR@/out.txt first 0 0 640 512 second 640 512 1280 1024 --
  start ${sel_probe} layered Tessera_Menu 255 10000 --
  expect-exit 0 15000
  start ${sel_probe} pixel Tessera_Menu 25 30 40FF40 10000 --
  expect-exit 0 15000
  start ${sel_probe} pixel Tessera_Menu 80 60 203040 10000 --
  expect-exit 0 15000
  start ${sel_probe} click Tessera_Menu left 53 130 10000 --
  expect-exit 0 15000
  file-contains @DIR@/out.txt "chosen 1 second\\n" 10000)
# The menu (106 x 173 for two entries) is centred on the cursor, and pushed inside the monitor
# near its corner.
kestrel_selection_e2e(menu_at_cursor
  start ${sel_helper} write @DIR@/t.ini "[Job]\\n" 0 --
  expect-exit 0 10000
  start ${sel_probe} cursor 640 512 --
  expect-exit 0 10000
  start ${sel_probe} menu @DIR@/t.ini @DIR@/out.txt first 0 0 640 512 second 640 512 1280 1024 --
  start ${sel_probe} expect-rect Tessera_Menu * 587 426 693 599 10000 --
  expect-exit 0 15000
  start ${sel_probe} click Tessera_Menu right 10 10 10000 --
  expect-exit 0 15000
  file-contains @DIR@/out.txt "cancelled\\n" 10000
  start ${sel_probe} cursor 1270 1015 --
  expect-exit 0 10000
  start ${sel_probe} menu @DIR@/t.ini @DIR@/out2.txt first 0 0 640 512 second 640 512 1280 1024 --
  start ${sel_probe} expect-rect Tessera_Menu * 1174 851 1280 1024 10000 --
  expect-exit 0 15000
  start ${sel_probe} click Tessera_Menu right 10 10 10000 --
  expect-exit 0 15000
  file-contains @DIR@/out2.txt "cancelled\\n" 10000)
kestrel_selection_e2e(menu_cancelled
  start ${sel_helper} write @DIR@/t.ini "[Job]\\n" 0 --
  expect-exit 0 10000
  start ${sel_probe} menu @DIR@/t.ini @DIR@/out.txt first 0 0 640 512 second 640 512 1280 1024 --
  start ${sel_probe} click Tessera_Menu right 53 40 10000 --
  expect-exit 0 15000
  file-contains @DIR@/out.txt "cancelled\\n" 10000)

# Tessera itself. Each scenario runs a copy of tessera.exe in its own folder, beside a settings
# profile (tessera.ini, also the data profile) of its own. The hand is started before Tessera
# where Tessera's exit code is checked: it waits for the covers or the menu.
set(sel_tessera $<TARGET_FILE:tessera>)
# tessera_selection_e2e(<name> <profile text> <step>...): the steps run once the scenario's folder
# holds tessera.exe and its tessera.ini of that text.
function(tessera_selection_e2e name profile)
  kestrel_selection_e2e(${name}
    start ${sel_probe} copy ${sel_tessera} @DIR@/tessera.exe --
    expect-exit 0 10000
    start ${sel_helper} write @DIR@/tessera.ini "${profile}" 0 --
    expect-exit 0 10000
    ${ARGN})
endfunction()
set(sel_notepad_steps
  start notepad.exe --
  wait-window Notepad * 15000
  start ${sel_probe} place Notepad * 200 150 300 250 10000 --
  expect-exit 0 15000)

# -m: a click on the cover over notepad picks it and the action applies to it.
tessera_selection_e2e(tessera_pick_window "[Common]\\nProgram=Tessera\\n[Job]\\nWindowSelectionTransparency=0\\n"
  ${sel_notepad_steps}
  start ${sel_probe} click Tessera_Cover left 300 300 15000 --
  start @DIR@/tessera.exe -m -x 40 -y 30 --
  expect-exit 0 15000
  start ${sel_probe} expect-rect Notepad * 40 30 340 280 10000 --
  expect-exit 0 15000
  close-window Notepad *)

# The covers of a -m run carry the configured alpha; a right click ends the run without a
# message, leaving notepad where it was.
tessera_selection_e2e(tessera_pick_cancelled "[Common]\\nProgram=Tessera\\n[Job]\\nWindowSelectionTransparency=0\\n"
  ${sel_notepad_steps}
  start @DIR@/tessera.exe -m -x 40 -y 30 --
  start ${sel_probe} layered Tessera_Cover 1 15000 --
  expect-exit 0 15000
  start ${sel_probe} click Tessera_Cover right 300 300 15000 --
  expect-exit 0 15000
  start ${sel_probe} expect-rect Notepad * 200 150 500 400 0 --
  expect-exit 0 15000
  close-window Notepad *)
tessera_selection_e2e(tessera_pick_cancelled_exits "[Common]\\nProgram=Tessera\\n"
  start ${sel_probe} click Tessera_Cover right 300 300 15000 --
  start @DIR@/tessera.exe -m -x 40 -y 30 --
  expect-exit 0 15000)

# A click on the desktop picks no window: Tessera ends without a message and moves nothing.
tessera_selection_e2e(tessera_pick_desktop "[Common]\\nProgram=Tessera\\n"
  ${sel_notepad_steps}
  start ${sel_probe} click Tessera_Cover left 1100 600 15000 --
  start @DIR@/tessera.exe -m -x 40 -y 30 --
  expect-exit 0 15000
  start ${sel_probe} expect-rect Notepad * 200 150 500 400 0 --
  expect-exit 0 15000
  close-window Notepad *)

# -M: the drawn rectangle plus the frame widening (8, 0, 8, 8) is where notepad lands; the
# covers carry alpha 255 for a transparency of 300.
tessera_selection_e2e(tessera_draw_rect "[Common]\\nProgram=Tessera\\n[Job]\\nRectSelectionTransparency=300\\n"
  ${sel_notepad_steps}
  start @DIR@/tessera.exe -c Notepad -M --
  start ${sel_probe} layered Tessera_Cover 255 15000 --
  expect-exit 0 15000
  start ${sel_probe} drag 300 200 700 500 15000 --
  expect-exit 0 15000
  start ${sel_probe} expect-rect Notepad * 292 200 708 508 10000 --
  expect-exit 0 15000
  close-window Notepad *)

# A drag that runs more than 19 pixels up is ignored: notepad stays, and Tessera ends quietly.
tessera_selection_e2e(tessera_draw_rect_backwards "[Common]\\nProgram=Tessera\\n"
  ${sel_notepad_steps}
  start ${sel_probe} drag 600 600 700 580 15000 --
  start @DIR@/tessera.exe -c Notepad -M --
  expect-exit 0 15000
  start ${sel_probe} expect-rect Notepad * 200 150 500 400 0 --
  expect-exit 0 15000
  close-window Notepad *)

# Two data sections apply to notepad: the menu offers both, and a click on the second entry
# (1024 / 12 = 85 pixels high, 3 apart) applies that section.
tessera_selection_e2e(tessera_menu "[Common]\\nProgram=Tessera\\n[Data:Left]\\nClassName=Notepad\\nRectSpec=-x 0 -y 0 -w 640 -h 512\\n[Data:Right]\\nClassName=Notepad\\nRectSpec=-x 640 -y 512 -w 600 -h 500\\n"
  ${sel_notepad_steps}
  start ${sel_probe} click Tessera_Menu left 53 130 15000 --
  start @DIR@/tessera.exe -e * --
  expect-exit 0 15000
  start ${sel_probe} expect-rect Notepad * 640 512 1240 1012 10000 --
  expect-exit 0 15000
  close-window Notepad *)
