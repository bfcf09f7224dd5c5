# Kestrel's button box under Wine, driven as a user would: clicks, a press dragged to another
# button, keys, the edit menu, files dropped on a button (plain and with Alt) and the tip. The
# button box probe (buttons_probe_win32.cpp) is the hand: it finds the launcher's window and acts
# at points relative to the box. With the default sizes every button of the column is 24 pixels
# high, so button i is at dy = 24 i + 12, and dx = 6 lies inside every button.
#
# The scripts report by writing files: the e2e helper writes one file per button and key state,
# cmd.exe echoes the drop list.

if(NOT TARGET kestrel)
  return()
endif()

# The probe also hosts the box: the launcher's main window with just the button box, so that the
# box is tried in the real window even where the launcher's start-up is not involved.
add_executable(e2e_buttons_probe buttons_probe_win32.cpp)
kestrel_wide_entry(e2e_buttons_probe)
target_link_libraries(e2e_buttons_probe PRIVATE kestrel_app)

set(buttons_probe $<TARGET_FILE:e2e_buttons_probe>)
set(buttons_helper $<TARGET_FILE:e2e_helper>)

# Kestrel itself runs the scenarios too once a source of the launcher other than the box's own
# makes a button box.
set(buttons_wired FALSE)
file(GLOB launcher_sources CONFIGURE_DEPENDS ${KESTREL_SOURCE_DIR}/app/*_win32.cpp)
foreach(source IN LISTS launcher_sources)
  if(NOT source MATCHES "/button_box_win32\\.cpp$")
    file(READ ${source} text)
    if(text MATCHES "GuiButtonBox")
      set(buttons_wired TRUE)
    endif()
  endif()
endforeach()

# Profiles are lists of lines, written by the helper as they are (paths meet no escape).
# A button that has the helper write <name>-<key state>.txt holding the key state.
function(buttons_writer out name)
  set(${out}
      "[Button:${name}]" "Shell {" "Command=${buttons_helper}"
      "Parameter=write \"@DIR@\\${name}-$(KeyState).txt\" $(KeyState) 0" "Wait=WaitForDone" "Timeout=-1" "}"
      PARENT_SCOPE)
endfunction()
buttons_writer(button_one One)
buttons_writer(button_two Two)
# The drop target: cmd.exe echoes the drop list into drop.txt.
set(button_three
    "[Button:Three]" "DropRun=1" "Shell {" "Command=cmd.exe" "Parameter=/c echo $(DropList)> \"@DIR@\\drop.txt\""
    "ShowStatus=Hide" "Wait=WaitForDone" "Timeout=-1" "}")

# kestrel_buttons_e2e(<name> <k.ini lines> <host flags> <step>...): the steps run once the window
# is up, in two scenarios: buttons.<name> with the probe's host (given the flags), and, once the
# launcher makes a button box, buttons.launcher_<name> with Kestrel itself started on a
# configuration file holding the text. Mouse and keys: alone.
function(kestrel_buttons_e2e name profile flags)
  set(host start ${buttons_probe} host @DIR@/k.ini ${flags} --)
  set(launcher
    start ${buttons_helper} lines @DIR@/s.ini 0 "[Common]" "Program=Kestrel" "ConfigFile=@DIR@\\k.ini" --
    expect-exit 0 10000
    start $<TARGET_FILE:kestrel> -p @DIR@/s.ini --)
  set(variants host)
  if(buttons_wired)
    list(APPEND variants launcher)
  endif()
  foreach(variant IN LISTS variants)
    set(test_name buttons.${name})
    if(variant STREQUAL "launcher")
      set(test_name buttons.launcher_${name})
    endif()
    kestrel_e2e(NAME ${test_name} STEPS
      start ${buttons_helper} lines @DIR@/k.ini 0 ${profile} --
      expect-exit 0 10000
      ${${variant}}
      wait-window * Kestrel 15000
      ${ARGN}
      close-window * Kestrel
      window-gone * Kestrel 10000)
    set_tests_properties(e2e.${test_name} PROPERTIES RUN_SERIAL TRUE)
  endforeach()
endfunction()

# A press on One dragged to Two runs Two only; the right button runs with "RButton"; a plain
# click runs with "LButton".
kestrel_buttons_e2e(clicks "${button_one};${button_two};${button_three}" ""
  start ${buttons_probe} drag 6 12 6 36 left 10000 --
  expect-exit 0 10000
  file-contains @DIR@/Two-LButton.txt LButton 10000
  start ${buttons_probe} absent @DIR@/One-LButton.txt --
  expect-exit 0 10000
  start ${buttons_probe} click 6 12 right 10000 --
  expect-exit 0 10000
  file-contains @DIR@/One-RButton.txt RButton 10000
  start ${buttons_probe} click 6 36 left 10000 --
  expect-exit 0 10000
  file-contains @DIR@/Two-LButton.txt LButton 10000)

# The click gives the box the focus; Down selects Two and Enter runs it; Delete deletes it and
# rewrites the profile; Right (across the column) opens the edit menu, whose first item inserts
# a separator before the selected button.
kestrel_buttons_e2e(keys_and_menu "${button_one};${button_two};${button_three}" ""
  start ${buttons_probe} click 6 12 left 10000 --
  expect-exit 0 10000
  file-contains @DIR@/One-LButton.txt LButton 10000
  start ${buttons_probe} foreground 10000 --
  expect-exit 0 10000
  key DOWN RETURN
  file-contains @DIR@/Two-LButton.txt LButton 10000
  key DELETE
  file-lacks @DIR@/k.ini "[Button:Two]" 10000
  file-contains @DIR@/k.ini "[Button:Three]"
  key RIGHT
  wait-window "#32768" * 5000
  key DOWN RETURN
  file-contains @DIR@/k.ini "[Button:-]" 10000
  start ${buttons_probe} in-order @DIR@/k.ini "[Button:One]" "[Button:-]" "[Button:Three]" --
  expect-exit 0 10000
  up-to-date * Kestrel @DIR@/after-edit.png)

# Three files dropped on a button with DropRun run it with all three, quoted and one blank
# apart; with Alt held, dropped files become new buttons before the one under the point.
kestrel_buttons_e2e(drop "${button_one};${button_two};${button_three}" ""
  start ${buttons_probe} drop 6 60 plain 10000 "C:\\first.txt" "C:\\with blank.txt" "D:\\third.log" --
  expect-exit 0 30000
  file-contains @DIR@/drop.txt "\"C:\\\\first.txt\" \"C:\\\\with blank.txt\" \"D:\\\\third.log\"" 10000
  start ${buttons_probe} drop 6 36 alt 10000 "C:\\tools\\new one.exe" "C:\\tools\\second.txt" --
  expect-exit 0 30000
  file-contains @DIR@/k.ini "[Button:second.txt]" 10000
  start ${buttons_probe} in-order @DIR@/k.ini "[Button:One]" "[Button:new one.exe]" "[Button:second.txt]"
    "[Button:Two]" "[Button:Three]" --
  expect-exit 0 10000
  up-to-date * Kestrel @DIR@/after-drop.png)

# With ViewTip on, resting the mouse on a button shows its tip text in a window of its own, and
# moving away closes it.
kestrel_buttons_e2e(tip "[Option];ViewTip=1;[Button:Tipped];TipText=Hello from the tip;${button_two}" tip
  start ${buttons_probe} hover 6 12 "Hello from the tip" 10000 --
  expect-exit 0 15000
  wait-window KestrelView "Hello from the tip" 1000
  start ${buttons_probe} away --
  expect-exit 0 10000
  window-gone KestrelView "Hello from the tip" 10000)
