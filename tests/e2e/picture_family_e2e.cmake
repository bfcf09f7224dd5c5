# What the user sees, checked on the screen: after each thing that can change the launcher's
# picture without the user (icons loaded in the background) or after the user (a menu or a dialog
# closing over the window, an edit, a relayout), the window's pixels must be what a full repaint
# draws (the driver's up-to-date step). A picture that only a forced repaint would put right is a
# missing invalidation. The pictures are saved beside each scenario for a person to look at.
#
# The icons load in the background (the default) into a cache folder of the scenario's own, which
# starts empty: the window is told when they are done and stores the cache, so the cache index
# naming its items is the sign that the window has had its notice.
if(NOT TARGET kestrel)
  return()
endif()

set(picture_helper $<TARGET_FILE:e2e_helper>)

# picture_e2e(<name> <option lines> <step>...): Kestrel started on @DIR@\k.ini, a profile with
# six buttons showing shell32.dll icons (one of them also with a caption) and two selectors,
# icons cached in @DIR@\icons; the steps run once the first start's icons are in the cache.
function(picture_e2e name options)
  kestrel_win_path(folder ${CMAKE_CURRENT_BINARY_DIR}/picture.${name})
  kestrel_icon_cache_name(cache_name "${folder}\\k.ini")
  set(profile "[Common]" "Program=Kestrel" "[Option]" "IconCacheFolder=icons" ${options})
  foreach(button One:3 Two:4 Three:12 Four:22)
    string(REPLACE ":" ";" parts "${button}")
    list(GET parts 0 caption)
    list(GET parts 1 index)
    list(APPEND profile "[Button:${caption}]" "IconFile=shell32.dll" "IconIndex=${index}" "Shell {"
         "Command=${picture_helper}" "Parameter=write \"@DIR@\\${caption}.txt\" ${caption} 0" "Wait=WaitForDone" "}")
  endforeach()
  list(APPEND profile "[Button:Titled]" "Title=Titled" "IconFile=shell32.dll" "IconIndex=15" "Menu {" "MenuItem {"
       "Title=Only item" "IconFile=shell32.dll" "IconIndex=8" "}" "}")
  list(APPEND profile "[Button:Asker]" "IconFile=shell32.dll" "IconIndex=23" "AskMessage {" "Parameter=Still there?" "}")
  list(APPEND profile "[Selector:Alpha]" "Define {" "A=1" "}" "[Selector:Bravo]" "Define {" "B=1" "}")
  kestrel_e2e(NAME picture.${name} STEPS
    start ${picture_helper} lines @DIR@/k.ini 0 ${profile} --
    expect-exit 0 10000
    start $<TARGET_FILE:kestrel> -p @DIR@\\k.ini --
    wait-window KestrelView Kestrel 15000
    file-contains "@DIR@\\icons\\${cache_name}\\IconCache.ini" "[Item]" 20000
    up-to-date KestrelView Kestrel @DIR@/first-start.png
    ${ARGN}
    close-window KestrelView Kestrel
    expect-exit 0 10000
    # The second start draws the cached icons at once and refreshes them in the background.
    start $<TARGET_FILE:kestrel> -p @DIR@\\k.ini --
    wait-window KestrelView Kestrel 15000
    up-to-date KestrelView Kestrel @DIR@/second-start.png
    close-window KestrelView Kestrel
    expect-exit 0 10000)
  set_tests_properties(e2e.picture.${name} PROPERTIES RUN_SERIAL TRUE)
endfunction()

# A column of buttons; the script menu of the titled button closes over the window, and so do the
# title menu (its keyboard opening) and the question of the last button. Buttons are 24 pixels
# high from the box's top (client y 15).
picture_e2e(column ""
  click-in KestrelView Kestrel 15 123
  wait-window "#32768" * 5000
  key ESCAPE
  window-gone "#32768" * 5000
  up-to-date KestrelView Kestrel @DIR@/after-script-menu.png
  post KestrelView Kestrel 0x0112 0xF100 0x20
  wait-window "#32768" * 5000
  key ESCAPE ESCAPE
  window-gone "#32768" * 5000
  up-to-date KestrelView Kestrel @DIR@/after-title-menu.png
  click-in KestrelView Kestrel 15 147
  wait-window "#32770" * 5000
  key RETURN
  window-gone "#32770" * 5000
  up-to-date KestrelView Kestrel @DIR@/after-question.png)

# A row of buttons.
picture_e2e(row "Horizontal=True")

# The selector pane beside the column.
picture_e2e(selector "ViewSelector=True")

# A script menu shown by a command-line run, before any main window exists: its icons load in
# the background too, the open menu is repainted when they are done, and the cache is stored.
kestrel_win_path(picture_menu_folder ${CMAKE_CURRENT_BINARY_DIR}/picture.menu_without_window)
kestrel_icon_cache_name(picture_menu_cache "${picture_menu_folder}\\k.ini")
kestrel_e2e(NAME picture.menu_without_window STEPS
  start ${picture_helper} lines @DIR@/k.ini 0 "[Common]" "Program=Kestrel" "[Option]" "IconCacheFolder=icons"
    "[Action:Pick]" "Menu {" "MenuItem {" "Title=First" "IconFile=shell32.dll" "IconIndex=8" "}"
    "MenuItem {" "Title=Second" "IconFile=shell32.dll" "IconIndex=22" "}" "}" --
  expect-exit 0 10000
  start $<TARGET_FILE:kestrel> -p @DIR@\\k.ini -a Pick --
  wait-window "#32768" * 15000
  file-contains "@DIR@\\icons\\${picture_menu_cache}\\IconCache.ini" "[Item]" 20000
  up-to-date "#32768" * @DIR@/menu.png
  key ESCAPE
  expect-exit 1 10000)
set_tests_properties(e2e.picture.menu_without_window PROPERTIES RUN_SERIAL TRUE)
