# Script menus under Wine. The menus probe (menus_probe_win32.cpp) runs a script with the
# launcher's menu host and icon cache while a thread of its own waits for the pop-up menu, writes
# what it sees (entries and whether the icon shows) and types keys into it. The chosen item's
# block has the e2e helper write a file.

add_executable(e2e_menus_probe menus_probe_win32.cpp)
kestrel_wide_entry(e2e_menus_probe)
target_link_libraries(e2e_menus_probe PRIVATE kestrel_app kestrel_job kestrel_win kestrel_raw)

set(menus_probe $<TARGET_FILE:e2e_menus_probe>)
set(menus_helper $<TARGET_FILE:e2e_helper>)

# An item whose block has the helper write <file> holding <text>.
function(menus_item out title file text)
  set(${out}
    "MenuItem {" "Title=${title}"
    "Shell {" "Command=${menus_helper}" "Parameter=write \"@DIR@\\${file}\" ${text} 0" "Wait=WaitForDone"
    "Timeout=-1" "}" "}" PARENT_SCOPE)
endfunction()

# Write (with an icon) | line | More > Deep | line | Last; the doubled separator shows once.
menus_item(item_deep More deep.txt chosen_deep)
menus_item(item_last Last last.txt chosen_last)
set(menus_script
  "Menu {" "Title=Main"
  "MenuItem {" "Title=Write" "IconFile=C:\\windows\\system32\\shell32.dll" "IconIndex=3"
  "Shell {" "Command=${menus_helper}" "Parameter=write \"@DIR@\\write.txt\" chosen_write 0" "Wait=WaitForDone"
  "Timeout=-1" "}" "}"
  "Separator"
  "Menu {" "Title=More" ${item_deep} "}"
  "Separator" "Separator"
  ${item_last}
  "}")

kestrel_e2e(NAME menus.first_item STEPS
  start ${menus_probe} run @DIR@\\seen.txt down,enter ${menus_script} --
  expect-exit 0 30000
  file-contains @DIR@/seen.txt "menu I,-,M[I],-,I\\n"
  file-contains @DIR@/seen.txt "icon drawn"
  file-contains @DIR@/write.txt "chosen_write")

kestrel_e2e(NAME menus.sub_menu_item STEPS
  start ${menus_probe} run @DIR@\\seen.txt down,down,right,2,down,enter ${menus_script} --
  expect-exit 0 30000
  file-contains @DIR@/deep.txt "chosen_deep")

kestrel_e2e(NAME menus.last_item STEPS
  start ${menus_probe} run @DIR@\\seen.txt up,enter ${menus_script} --
  expect-exit 0 30000
  file-contains @DIR@/last.txt "chosen_last")

# Closing the menu without a choice fails the run, quietly.
kestrel_e2e(NAME menus.closed_fails STEPS
  start ${menus_probe} run @DIR@\\seen.txt escape ${menus_script}
    "Shell {" "Command=${menus_helper}" "Parameter=write \"@DIR@\\after.txt\" after 0" "Wait=WaitForDone" "}" --
  expect-exit 1 30000
  file-contains @DIR@/seen.txt "menu I,-,M[I],-,I\\n")

# PickupMenu: the keys are the entries, a Separator parameter a line; the value of the chosen
# key lands in Pickup.
kestrel_e2e(NAME menus.pickup STEPS
  start ${menus_probe} run @DIR@\\seen.txt down,down,enter
    "PickupMenu {" "Separator" "alpha=first value" "Separator" "beta=second value" "}"
    "Shell {" "Command=${menus_helper}" "Parameter=write \"@DIR@\\pickup.txt\" \"pickup=$(Pickup)\" 0"
    "Wait=WaitForDone" "Timeout=-1" "}" --
  expect-exit 0 30000
  file-contains @DIR@/seen.txt "menu I,-,I\\n"
  file-contains @DIR@/seen.txt "icon missing"
  file-contains @DIR@/pickup.txt "pickup=second value")

# A thousand entries, more than the screen holds: the last one (its number put into its block
# by Expand) is reached from the bottom.
kestrel_e2e(NAME menus.thousand_items STEPS
  start ${menus_probe} run @DIR@\\seen.txt up,enter
    "Menu {" "For {" "Begin=0" "End=1000" "Add=1"
    "Expand {" "N=$(Counter)" "MenuItem {" "Title=Entry $(N)" "Define {" "Chosen=$(N)" "}" "}" "}" "}" "}"
    "Shell {" "Command=${menus_helper}" "Parameter=write \"@DIR@\\thousand.txt\" chosen=$(Chosen) 0"
    "Wait=WaitForDone" "Timeout=-1" "}" --
  expect-exit 0 60000
  file-contains @DIR@/thousand.txt "chosen=999")

# A MenuItem outside any Menu block is reported and ends the run.
kestrel_e2e(NAME menus.out_of_scope STEPS
  start ${menus_probe} run @DIR@\\seen.txt escape "MenuItem {" "Title=Lost" "}" --
  box-title Kestrel
  box-text "Out of menu scope !\\r\\n  [command] MenuItem\\r\\n  [line] 2"
  box-press IDOK
  expect-exit 1 30000)

# The launcher itself: kestrel.exe -a runs an action that shows a script menu before any main
# window exists; the probe (mode drive) starts it, types into its menu and hands on its exit
# code. These need the Windows menu host installed at start-up and the menu commands in the
# launcher's registry; until both are in, only the scenarios above run.
set(menus_main ${KESTREL_SOURCE_DIR}/app/main_win32.cpp)
set(menus_registry ${KESTREL_SOURCE_DIR}/job/command.cpp)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${menus_main} ${menus_registry})
file(READ ${menus_main} menus_main_text)
file(READ ${menus_registry} menus_registry_text)
if(TARGET kestrel AND menus_main_text MATCHES "SetMenuHost" AND menus_registry_text MATCHES "JobCommandMenu>")
  set(menus_files ${CMAKE_CURRENT_BINARY_DIR}/menus.files)
  file(MAKE_DIRECTORY ${menus_files})
  kestrel_win_path(menus_files_win ${menus_files})
  kestrel_win_path(menus_helper_win ${CMAKE_CURRENT_BINARY_DIR}/e2e_helper.exe)
  # Every scenario writes into its own folder: @OUT@ in the profile names the launcher scenario's.
  function(menus_launcher_profile name text)
    kestrel_win_path(out ${CMAKE_CURRENT_BINARY_DIR}/menus.launcher_${name})
    string(REGEX REPLACE "@WRITE@ ([^ \n]+) ([^\n]+)"
           "Shell {\n  Command=@HELPER@\n  Parameter=write \"@OUT@\\\\\\1\" \"\\2\" 0\n  Wait=WaitForDone\n  Timeout=-1\n}"
           text "${text}")
    string(REPLACE "@OUT@" "${out}" text "${text}")
    string(REPLACE "@HELPER@" "${menus_helper_win}" text "${text}")
    file(WRITE ${menus_files}/${name}.ini "${text}")
    file(WRITE ${menus_files}/${name}-start.ini "[Common]\nProgram=Kestrel\nConfigFile=${menus_files_win}\\${name}.ini\n")
    set(${name}_ini "${menus_files_win}\\${name}-start.ini" PARENT_SCOPE)
  endfunction()

  set(menus_action [=[
[Action:Go]
Menu {
  Title=Main
  MenuItem {
    Title=Write
    IconFile=C:\windows\system32\shell32.dll
    IconIndex=3
    @WRITE@ chosen.txt chosen_write
  }
  Separator
  Separator
  Menu {
    Title=More
    MenuItem {
      Title=Deep
      @WRITE@ deep.txt chosen_deep
    }
  }
}
@WRITE@ after.txt after_the_menu
[Action:Pick]
PickupMenu {
  one=first
  Separator
  two=second value
}
@WRITE@ pick.txt pickup=$(Pickup)
]=])
  foreach(case item sub closed pickup)
    menus_launcher_profile(${case} "${menus_action}")
  endforeach()

  kestrel_e2e(NAME menus.launcher_item STEPS
    start ${menus_probe} drive down,enter $<TARGET_FILE:kestrel> -p "${item_ini}" -a Go --
    expect-exit 0 60000
    file-contains @DIR@/chosen.txt "chosen_write"
    file-contains @DIR@/after.txt "after_the_menu")
  kestrel_e2e(NAME menus.launcher_sub STEPS
    start ${menus_probe} drive down,down,right,2,down,enter $<TARGET_FILE:kestrel> -p "${sub_ini}" -a Go --
    expect-exit 0 60000
    file-contains @DIR@/deep.txt "chosen_deep")
  # Nothing chosen: the run fails, so the launcher exits with 1 and the command after the menu
  # never runs (the probe's own folder is all the scenario folder holds).
  kestrel_e2e(NAME menus.launcher_closed STEPS
    start ${menus_probe} drive escape $<TARGET_FILE:kestrel> -p "${closed_ini}" -a Go --
    expect-exit 1 60000)
  kestrel_e2e(NAME menus.launcher_pickup STEPS
    start ${menus_probe} drive down,down,enter $<TARGET_FILE:kestrel> -p "${pickup_ini}" -a Pick --
    expect-exit 0 60000
    file-contains @DIR@/pick.txt "pickup=second value")
endif()
