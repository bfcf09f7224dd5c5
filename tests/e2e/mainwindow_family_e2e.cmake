# The main window under Wine, as a user meets it: it opens centred on the work area and sized to
# its buttons, then where it was left, and centred again with Shift held at start; Escape does
# nothing; TopMost and SysTray change its styles; the tray icon's click opens the title menu; a
# script's QuitLauncher closes it after the run and RebootLauncher hands over to a new instance.
# Three buttons with an icon and no caption measure 24 x 24 each (a 16-pixel icon and margins of
# 4), so with the default margins the window's client area is 30 x 90.
if(NOT TARGET kestrel)
  return()
endif()

set(mainwindow_files ${CMAKE_CURRENT_BINARY_DIR}/mainwindow.files)
kestrel_win_path(mainwindow_helper ${CMAKE_CURRENT_BINARY_DIR}/e2e_helper.exe)

# mainwindow_profile(<scenario> <options> <extra sections>): writes <scenario>/k.ini, a start-up
# profile that is also the configuration file and GUI profile, with three icon buttons whose
# scripts write "<name> $(KeyState)" to <scenario folder>\<name>.txt, and sets <scenario>_ini.
function(mainwindow_profile name options extra)
  set(folder ${mainwindow_files}/${name})
  file(MAKE_DIRECTORY ${folder})
  kestrel_win_path(win_folder ${folder})
  kestrel_win_path(out_folder ${CMAKE_CURRENT_BINARY_DIR}/mainwindow.${name})
  set(text "[Common]\nProgram=Kestrel\n[Option]\nIconDelay=False\n${options}\n")
  foreach(button One Two Three)
    string(APPEND text "[Button:${button}]\nIconFile=shell32.dll\nShell {\n  Command=${mainwindow_helper}\n"
           "  Parameter=write \"${out_folder}\\${button}.txt\" \"${button} $(KeyState)\" 0\n  Wait=WaitForDone\n}\n")
  endforeach()
  string(REPLACE "@OUT@" "${out_folder}" extra "${extra}")
  string(APPEND text "${extra}")
  file(WRITE ${folder}/k.ini "${text}")
  set(${name}_ini "${win_folder}\\k.ini" PARENT_SCOPE)
  set(${name}_dir "${win_folder}" PARENT_SCOPE)
endfunction()

mainwindow_profile(place "" "")
file(WRITE ${mainwindow_files}/place/stored.ini
     "[Common]\nProgram=Kestrel\n[Option]\nIconDelay=False\n[MainDialog]\nWindowRect_L=100\nWindowRect_T=120\nWindowRect_R=130\nWindowRect_B=210\n")
file(READ ${mainwindow_files}/place/k.ini place_text)
file(APPEND ${mainwindow_files}/place/stored.ini "${place_text}")
kestrel_e2e(NAME mainwindow.place STEPS
  copy-file ${place_dir}\\k.ini @DIR@\\k.ini
  start $<TARGET_FILE:kestrel> -p @DIR@\\k.ini --
  wait-window KestrelView Kestrel 15000
  window-centred KestrelView Kestrel 30 90 5000
  close-window KestrelView Kestrel
  expect-exit 0 10000
  file-contains @DIR@\\k.ini "[MainDialog]"
  # A stored place is taken (with the content's size).
  copy-file ${place_dir}\\stored.ini @DIR@\\k.ini
  start $<TARGET_FILE:kestrel> -p @DIR@\\k.ini --
  window-rect KestrelView Kestrel 100 120 130 210 15000
  # Escape does not close the launcher.
  key ESCAPE
  window-rect KestrelView Kestrel 100 120 130 210 1000
  close-window KestrelView Kestrel
  expect-exit 0 10000
  # Shift held at start centres it again.
  copy-file ${place_dir}\\stored.ini @DIR@\\k.ini
  key-down SHIFT
  start $<TARGET_FILE:kestrel> -p @DIR@\\k.ini --
  wait-window KestrelView Kestrel 15000
  key-up SHIFT
  window-centred KestrelView Kestrel 30 90 5000
  close-window KestrelView Kestrel
  expect-exit 0 10000)

# Two panes: the selector box at (3, 15) in the client area, left of the buttons, its lines
# about 15 pixels high from its top: y 22 hits the first line and 37 the second. A click runs a
# line with "LButton", Down the next one, Enter the current one with "DClick".
set(mainwindow_selector_text "")
foreach(selector Alpha Bravo)
  string(APPEND mainwindow_selector_text "[Selector:${selector}]\nShell {\n  Command=${mainwindow_helper}\n"
         "  Parameter=write \"@OUT@\\${selector}.txt\" \"${selector} $(KeyState)\" 0\n  Wait=WaitForDone\n}\n")
endforeach()
mainwindow_profile(selector "ViewSelector=True" "${mainwindow_selector_text}")
kestrel_e2e(NAME mainwindow.selector STEPS
  start $<TARGET_FILE:kestrel> -p ${selector_ini} --
  wait-window KestrelView Kestrel 15000
  click-in KestrelView Kestrel 8 22
  file-contains @DIR@/Alpha.txt "Alpha LButton" 10000
  key DOWN
  file-contains @DIR@/Bravo.txt "Bravo LButton" 10000
  key RETURN
  file-contains @DIR@/Bravo.txt "Bravo DClick" 10000
  close-window KestrelView Kestrel
  expect-exit 0 10000)

mainwindow_profile(styles "TopMost=True\nSysTray=True" "")
# WS_EX_TOPMOST 0x8, WS_EX_TOOLWINDOW 0x80; WM_APP + 5 with WM_LBUTTONDOWN (0x201) is the tray
# icon's click, which opens the title menu (a "#32768" window) at the cursor.
kestrel_e2e(NAME mainwindow.styles STEPS
  start $<TARGET_FILE:kestrel> -p ${styles_ini} --
  wait-window KestrelView Kestrel 15000
  topmost KestrelView Kestrel 1 5000
  window-exstyle KestrelView Kestrel 0x80 1 5000
  post KestrelView Kestrel 0x8005 0 0x201
  wait-window "#32768" * 5000
  key ESCAPE
  window-gone "#32768" * 5000
  close-window KestrelView Kestrel
  expect-exit 0 10000)

mainwindow_profile(plain "" "")
kestrel_e2e(NAME mainwindow.plain_styles STEPS
  start $<TARGET_FILE:kestrel> -p ${plain_ini} --
  wait-window KestrelView Kestrel 15000
  topmost KestrelView Kestrel 0 5000
  window-exstyle KestrelView Kestrel 0x80 0 5000
  close-window KestrelView Kestrel
  expect-exit 0 10000)

mainwindow_profile(quit "" "[Button:Quit]\nIconFile=shell32.dll\nQuitLauncher {\n}\nShell {\n  Command=${mainwindow_helper}\n  Parameter=write \"@OUT@\\after.txt\" \"after quit\" 0\n  Wait=WaitForDone\n}\n")
# The fourth button (client 3..27 across, 87..111 down) quits, but only after its script ran.
kestrel_e2e(NAME mainwindow.quit STEPS
  start $<TARGET_FILE:kestrel> -p ${quit_ini} --
  wait-window KestrelView Kestrel 15000
  click-in KestrelView Kestrel 15 99
  expect-exit 0 15000
  file-contains @DIR@/after.txt "after quit" 5000)

mainwindow_profile(reboot "" "[Button:Reboot]\nIconFile=shell32.dll\nRebootLauncher {\n}\n")
# The new instance ends the old one (exit code 0) and shows its own window.
kestrel_e2e(NAME mainwindow.reboot STEPS
  start $<TARGET_FILE:kestrel> -p ${reboot_ini} --
  wait-window KestrelView Kestrel 15000
  click-in KestrelView Kestrel 15 99
  expect-exit 0 15000
  wait-window KestrelView Kestrel 15000
  close-window KestrelView Kestrel
  window-gone KestrelView Kestrel 15000)
