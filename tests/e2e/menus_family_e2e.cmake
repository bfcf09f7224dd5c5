# Script menus under Wine. The menus probe (menus_probe_win32.cpp) runs a script with the
# launcher's menu host and icon cache while a thread of its own waits for the pop-up menu, writes
# what it sees (entries and whether the icon shows) and types keys into it. The chosen item's
# block has the e2e helper write a file.

add_executable(e2e_menus_probe menus_probe_win32.cpp)
target_compile_options(e2e_menus_probe PRIVATE -municode)
target_link_options(e2e_menus_probe PRIVATE -municode)
target_link_libraries(e2e_menus_probe PRIVATE kestrel_app kestrel_job kestrel_win kestrel_raw)

set(menus_probe $<TARGET_FILE:e2e_menus_probe>)
set(menus_helper $<TARGET_FILE:e2e_helper>)

# An item whose block has the helper write <file> holding <text>.
function(menus_item out title file text)
  set(${out}
    "MenuItem {" "Title=${title}"
    "Shell {" "Command=${menus_helper}" "Parameter=write @DIR@\\${file} ${text} 0" "Wait=WaitForDone"
    "Timeout=-1" "}" "}" PARENT_SCOPE)
endfunction()

# Write (with an icon) | line | More > Deep | line | Last; the doubled separator shows once.
menus_item(item_deep More deep.txt chosen_deep)
menus_item(item_last Last last.txt chosen_last)
set(menus_script
  "Menu {" "Title=Main"
  "MenuItem {" "Title=Write" "IconFile=C:\\windows\\system32\\shell32.dll" "IconIndex=3"
  "Shell {" "Command=${menus_helper}" "Parameter=write @DIR@\\write.txt chosen_write 0" "Wait=WaitForDone"
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
    "Shell {" "Command=${menus_helper}" "Parameter=write @DIR@\\after.txt after 0" "Wait=WaitForDone" "}" --
  expect-exit 1 30000
  file-contains @DIR@/seen.txt "menu I,-,M[I],-,I\\n")

# PickupMenu: the keys are the entries, a Separator parameter a line; the value of the chosen
# key lands in Pickup.
kestrel_e2e(NAME menus.pickup STEPS
  start ${menus_probe} run @DIR@\\seen.txt down,down,enter
    "PickupMenu {" "Separator" "alpha=first value" "Separator" "beta=second value" "}"
    "Shell {" "Command=${menus_helper}" "Parameter=write @DIR@\\pickup.txt \"pickup=$(Pickup)\" 0"
    "Wait=WaitForDone" "Timeout=-1" "}" --
  expect-exit 0 30000
  file-contains @DIR@/seen.txt "menu I,-,I\\n"
  file-contains @DIR@/seen.txt "icon missing"
  file-contains @DIR@/pickup.txt "pickup=second value")

# A MenuItem outside any Menu block is reported and ends the run.
kestrel_e2e(NAME menus.out_of_scope STEPS
  start ${menus_probe} run @DIR@\\seen.txt escape "MenuItem {" "Title=Lost" "}" --
  box-title Kestrel
  box-text "Out of menu scope !\\r\\n  [command] MenuItem"
  box-press IDOK
  expect-exit 1 30000)
