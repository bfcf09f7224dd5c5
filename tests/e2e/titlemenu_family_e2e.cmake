# The title menu under Wine, in a real window driven from another process. The title-menu host
# (titlemenu_host_win32.cpp) is a window with the launcher's title-menu hook and nothing else; the
# probe (titlemenu_probe_win32.cpp) opens its system menu from the keyboard and walks it with
# keys, answers the font dialog, moves the window, and stands in for the help viewer. Profiles
# are written when the tree is configured and copied into the scenario's folder, since the
# scenarios change them.

add_executable(e2e_titlemenu_probe titlemenu_probe_win32.cpp)
kestrel_wide_entry(e2e_titlemenu_probe)
target_link_libraries(e2e_titlemenu_probe PRIVATE kestrel_common)

add_executable(e2e_titlemenu_host WIN32 titlemenu_host_win32.cpp)
kestrel_wide_entry(e2e_titlemenu_host)
target_link_libraries(e2e_titlemenu_host PRIVATE kestrel_app)

set(tm_probe $<TARGET_FILE:e2e_titlemenu_probe>)
set(tm_host $<TARGET_FILE:e2e_titlemenu_host>)
set(tm_files ${CMAKE_CURRENT_BINARY_DIR}/titlemenu.files)
set(tm_window KestrelView TitleMenuHost)

# titlemenu_file(<name> <text>): a file of the scenarios, at ${tm_files}/<name>.
function(titlemenu_file name text)
  file(WRITE ${tm_files}/${name} "${text}")
endfunction()

titlemenu_file(plain.ini "[Common]\nProgram=Kestrel\n")
titlemenu_file(german.ini "[Common]\nProgram=Kestrel\nLanguage=Deutsch\nLanguageFile=lang.ini\n")
titlemenu_file(lang.ini "[Deutsch]\nTitleMenu_MoveToPrimaryScreen=Zentrieren\nTitleMenu_ViewHelp=Hilfe\n")
titlemenu_file(help.txt "help\n")
titlemenu_file(check.ini "[Common]\nProgram=Kestrel\n[Button:B]\nShel\n")

# kestrel_titlemenu_e2e(<name> <step>...): the scenarios send keys to menus, so they run alone.
function(kestrel_titlemenu_e2e name)
  kestrel_e2e(NAME titlemenu.${name} STEPS ${ARGN})
  set_tests_properties(e2e.titlemenu.${name} PROPERTIES RUN_SERIAL TRUE)
endfunction()

# Keys walk the menu from its first item, the version line: D is one item down, so "DD" is
# "Move to primary screen." and "DDDD" "Select window font."; X is Escape.

# A window placed off screen comes back centred on the work area.
kestrel_titlemenu_e2e(move_to_primary
  copy-file ${tm_files}/plain.ini @DIR@/k.ini
  start ${tm_host} @DIR@\\k.ini --
  wait-window ${tm_window} 15000
  start ${tm_probe} place ${tm_window} -3000 -2000 10000 --
  expect-exit 0 15000
  start ${tm_probe} choose ${tm_window} DDE 10000 --
  expect-exit 0 15000
  start ${tm_probe} centred ${tm_window} 10000 --
  expect-exit 0 15000
  close-window ${tm_window})

# A font chosen in the dialog is written as [WindowFont] of the GUI profile (here the start-up
# profile itself), and the restart is asked for.
kestrel_titlemenu_e2e(window_font
  copy-file ${tm_files}/plain.ini @DIR@/k.ini
  start ${tm_host} @DIR@\\k.ini --
  wait-window ${tm_window} 15000
  start ${tm_probe} choose ${tm_window} DDDDE 10000 --
  expect-exit 0 15000
  start ${tm_probe} font "DejaVu Sans" ok 15000 --
  expect-exit 0 30000
  file-exists @DIR@/k.ini.restart
  file-contains @DIR@/k.ini "[Common]\\r\\nProgram=Kestrel\\r\\n"
  file-contains @DIR@/k.ini "[WindowFont]\\r\\nHeight="
  file-contains @DIR@/k.ini "\\r\\nFaceName=DejaVu Sans\\r\\n")

# A cancelled font dialog writes nothing, and the window goes on without a restart.
kestrel_titlemenu_e2e(font_cancelled
  copy-file ${tm_files}/plain.ini @DIR@/k.ini
  start ${tm_host} @DIR@\\k.ini --
  wait-window ${tm_window} 15000
  start ${tm_probe} choose ${tm_window} DDDDDE 10000 --
  expect-exit 0 15000
  start ${tm_probe} font "DejaVu Sans" cancel 15000 --
  expect-exit 0 30000
  file-lacks @DIR@/k.ini "Font]"
  close-window ${tm_window})

# With a language file, opening the menu writes the captions the file lacked into it, sorted by
# key, and keeps the translated ones.
kestrel_titlemenu_e2e(language_file
  copy-file ${tm_files}/german.ini @DIR@/k.ini
  copy-file ${tm_files}/lang.ini @DIR@/lang.ini
  copy-file ${tm_host} @DIR@/host.exe
  start @DIR@/host.exe k.ini --
  wait-window ${tm_window} 15000
  start ${tm_probe} choose ${tm_window} XX 10000 --
  expect-exit 0 15000
  file-contains @DIR@/lang.ini
    "TitleMenu_MoveToPrimaryScreen=Zentrieren\\r\\nTitleMenu_OpenGuiProfile=Open gui profile.\\r\\nTitleMenu_OpenLogFolder=Open log folder.\\r\\n" 10000
  file-contains @DIR@/lang.ini "TitleMenu_SelectWindowFont=Select window font.\\r\\nTitleMenu_ViewHelp=Hilfe\\r\\n"
  close-window ${tm_window})

# Help beside the program: the version line opens the read-me of the language, and "View help."
# is a submenu of the sorted help files; text files go to the viewer with their path quoted.
# (Folders are left out of the texts checked: the driver would take "\t" in them for a tab.)
kestrel_titlemenu_e2e(help_viewer
  copy-file ${tm_files}/german.ini @DIR@/k.ini
  copy-file ${tm_files}/lang.ini @DIR@/lang.ini
  copy-file ${tm_host} @DIR@/host.exe
  copy-file ${tm_probe} @DIR@/Leafnote.exe
  copy-file ${tm_files}/help.txt @DIR@/ReadMe_Kestrel.txt
  copy-file ${tm_files}/help.txt @DIR@/ReadMe_Kestrel_Deutsch.txt
  copy-file ${tm_files}/help.txt @DIR@/ReadMe_Two.txt
  copy-file ${tm_files}/help.txt @DIR@/ReadMe_One.md
  start @DIR@/host.exe k.ini --
  wait-window ${tm_window} 15000
  start ${tm_probe} choose ${tm_window} E 10000 --
  expect-exit 0 15000
  file-contains @DIR@/Leafnote.log "viewer \"Z:" 10000
  file-contains @DIR@/Leafnote.log "\\\\ReadMe_Kestrel_Deutsch.txt\"\\r\\n"
  start ${tm_probe} choose ${tm_window} DRDDDE 10000 --
  expect-exit 0 15000
  file-contains @DIR@/Leafnote.log "\\\\ReadMe_Two.txt\"\\r\\n" 10000
  close-window ${tm_window})

# The launcher itself: its main window carries the title menu.
if(TARGET kestrel)
  set(tm_kestrel $<TARGET_FILE:kestrel>)
  set(tm_main KestrelView Kestrel)

  # "Check profile." shows the report of the launcher's files in a box over the window, and the
  # launcher goes on.
  kestrel_titlemenu_e2e(kestrel_check_profile
    copy-file ${tm_files}/check.ini @DIR@/k.ini
    start ${tm_kestrel} -p @DIR@\\k.ini --
    wait-window ${tm_main} 15000
    start ${tm_probe} choose ${tm_main} DDDDDDDDE 10000 --
    expect-exit 0 15000
    start ${tm_probe} report "k.ini(4): error: unknown command" 15000 --
    expect-exit 0 15000
    close-window ${tm_main}
    window-gone ${tm_main} 10000)

  # A window placed off screen comes back centred on the work area.
  kestrel_titlemenu_e2e(kestrel_move_to_primary
    copy-file ${tm_files}/plain.ini @DIR@/k.ini
    start ${tm_kestrel} -p @DIR@\\k.ini --
    wait-window ${tm_main} 15000
    start ${tm_probe} place ${tm_main} -3000 -2000 10000 --
    expect-exit 0 15000
    start ${tm_probe} choose ${tm_main} DDE 10000 --
    expect-exit 0 15000
    start ${tm_probe} centred ${tm_main} 10000 --
    expect-exit 0 15000
    close-window ${tm_main}
    window-gone ${tm_main} 10000)

  # A chosen window font is written to the GUI profile and the launcher restarts: the old
  # instance ends and the new one shows its window.
  kestrel_titlemenu_e2e(kestrel_font_restarts
    copy-file ${tm_files}/plain.ini @DIR@/k.ini
    start ${tm_kestrel} -p @DIR@\\k.ini --
    wait-window ${tm_main} 15000
    start ${tm_probe} choose ${tm_main} DDDDE 10000 --
    expect-exit 0 15000
    start ${tm_probe} font "DejaVu Sans" ok 15000 --
    expect-exit 0 30000
    wait-window ${tm_main} 15000
    file-contains @DIR@/k.ini "[WindowFont]\\r\\nHeight="
    file-contains @DIR@/k.ini "\\r\\nFaceName=DejaVu Sans\\r\\n"
    close-window ${tm_main}
    window-gone ${tm_main} 10000)

  # A cancelled font dialog writes nothing and starts no restart, which would store the window's
  # place first.
  kestrel_titlemenu_e2e(kestrel_font_cancelled
    copy-file ${tm_files}/plain.ini @DIR@/k.ini
    start ${tm_kestrel} -p @DIR@\\k.ini --
    wait-window ${tm_main} 15000
    start ${tm_probe} choose ${tm_main} DDDDDDE 10000 --
    expect-exit 0 15000
    start ${tm_probe} font - cancel 15000 --
    expect-exit 0 30000
    file-lacks @DIR@/k.ini "Font]"
    file-lacks @DIR@/k.ini "[MainDialog]"
    close-window ${tm_main}
    window-gone ${tm_main} 10000)
endif()
