# The launcher follows the DPI of the monitor it is on, checked from outside as a user would see
# it. Wine here has one monitor at 96 DPI, so the driver sends the window what the system sends
# when the window is dragged to a monitor of another DPI: WM_DPICHANGED with the new DPI and the
# suggested rectangle. The window must take that rectangle, lay itself out and draw its icons at
# the new DPI (checked on the screen: the icon's span in the first button), and keep its stored
# place in real pixels. The icons are extracted at once (IconDelay off) into a cache folder of the
# scenario's own, whose index says the size of the pool that was saved.
#
# Three buttons with an icon and no caption: at 96 DPI each is 24 x 24 (a 16-pixel icon and
# margins of 4) and the window 30 x 90, the first button's icon inside client (5, 17)-(25, 37);
# at 144 DPI the button is 36 x 36 (a 24-pixel icon, margins of 6) and the window 45 x 135, the
# first icon inside (6, 24)-(38, 56). The icons of shell32.dll leave a pixel or two of their
# square empty, so the spans are checked within a few pixels.
if(NOT TARGET kestrel)
  return()
endif()

set(dpi_helper $<TARGET_FILE:e2e_helper>)

kestrel_win_path(dpi_folder ${CMAKE_CURRENT_BINARY_DIR}/dpi.window)
kestrel_icon_cache_name(dpi_cache_name "${dpi_folder}\\k.ini")
set(dpi_profile "[Common]" "Program=Kestrel" "[Option]" "IconDelay=False" "IconCacheFolder=icons"
    "[MainDialog]" "WindowRect_L=100" "WindowRect_T=120" "WindowRect_R=130" "WindowRect_B=210")
foreach(button One:3 Two:4 Three:12)
  string(REPLACE ":" ";" parts "${button}")
  list(GET parts 0 caption)
  list(GET parts 1 index)
  list(APPEND dpi_profile "[Button:${caption}]" "IconFile=shell32.dll" "IconIndex=${index}" "Shell {"
       "Command=${dpi_helper}" "Parameter=write \"@DIR@\\${caption}.txt\" ${caption} 0" "Wait=WaitForDone" "}")
endforeach()

# 0x2E0 is WM_DPICHANGED. The window moves from 96 to 144 DPI and back, and is closed at 144.
kestrel_e2e(NAME dpi.window STEPS
  start ${dpi_helper} lines @DIR@/k.ini 0 ${dpi_profile} --
  expect-exit 0 10000
  start $<TARGET_FILE:kestrel> -p @DIR@\\k.ini --
  wait-window KestrelView Kestrel 15000
  window-rect KestrelView Kestrel 100 120 130 210 5000
  ink-box KestrelView Kestrel 5 17 20 20 12 16
  up-to-date KestrelView Kestrel @DIR@/at-96.png
  dpi-changed KestrelView Kestrel 144 100 120 145 255
  window-rect KestrelView Kestrel 100 120 145 255 5000
  ink-box KestrelView Kestrel 6 24 32 32 19 24
  up-to-date KestrelView Kestrel @DIR@/at-144.png
  # The suggested rectangle places the window where the user dragged it.
  dpi-changed KestrelView Kestrel 96 400 300 430 390
  window-rect KestrelView Kestrel 400 300 430 390 5000
  ink-box KestrelView Kestrel 5 17 20 20 12 16
  up-to-date KestrelView Kestrel @DIR@/back-at-96.png
  dpi-changed KestrelView Kestrel 144 100 120 145 255
  window-rect KestrelView Kestrel 100 120 145 255 5000
  ink-box KestrelView Kestrel 6 24 32 32 19 24
  # A button still runs at the new size: the middle of the first one.
  click-in KestrelView Kestrel 22 40
  file-contains @DIR@/One.txt One 10000
  close-window KestrelView Kestrel
  expect-exit 0 10000
  # The place is stored in real pixels, and the icons saved are those of 144 DPI.
  file-contains @DIR@/k.ini "WindowRect_R=145"
  file-contains "@DIR@\\icons\\${dpi_cache_name}\\IconCache.ini" "IconWidth=48"
  # Started again on the monitor of 96 DPI: the content's size there, at the stored place.
  start $<TARGET_FILE:kestrel> -p @DIR@\\k.ini --
  wait-window KestrelView Kestrel 15000
  window-rect KestrelView Kestrel 100 120 130 210 5000
  ink-box KestrelView Kestrel 5 17 20 20 12 16
  close-window KestrelView Kestrel
  expect-exit 0 10000
  file-contains "@DIR@\\icons\\${dpi_cache_name}\\IconCache.ini" "IconWidth=32")
set_tests_properties(e2e.dpi.window PROPERTIES RUN_SERIAL TRUE)

# With the icons loaded in the background (the default) and the selector pane beside the
# buttons: after the change to 144 DPI the worker extracts the icons at 48 pixels and tells the
# window, which stores the cache; the picture must then be what a full repaint draws (no button
# left with the loading picture or a font of the old DPI). The window is 67 x 66 at 96 DPI, and
# the system suggests half as large again.
set(dpi_background_profile "[Common]" "Program=Kestrel" "[Option]" "IconCacheFolder=icons" "ViewSelector=True"
    "[MainDialog]" "WindowRect_L=200" "WindowRect_T=150")
foreach(button One:3 Two:4)
  string(REPLACE ":" ";" parts "${button}")
  list(GET parts 0 caption)
  list(GET parts 1 index)
  list(APPEND dpi_background_profile "[Button:${caption}]" "IconFile=shell32.dll" "IconIndex=${index}" "Shell {"
       "Command=${dpi_helper}" "Parameter=write \"@DIR@\\${caption}.txt\" ${caption} 0" "Wait=WaitForDone" "}")
endforeach()
list(APPEND dpi_background_profile "[Selector:Alpha]" "Define {" "A=1" "}" "[Selector:Bravo]" "Define {" "B=1" "}")
kestrel_win_path(dpi_background_folder ${CMAKE_CURRENT_BINARY_DIR}/dpi.background)
kestrel_icon_cache_name(dpi_background_cache "${dpi_background_folder}\\k.ini")
kestrel_e2e(NAME dpi.background STEPS
  start ${dpi_helper} lines @DIR@/k.ini 0 ${dpi_background_profile} --
  expect-exit 0 10000
  start $<TARGET_FILE:kestrel> -p @DIR@\\k.ini --
  wait-window KestrelView Kestrel 15000
  file-contains "@DIR@\\icons\\${dpi_background_cache}\\IconCache.ini" "IconWidth=32" 20000
  up-to-date KestrelView Kestrel @DIR@/at-96.png
  dpi-changed KestrelView Kestrel 144 200 150 301 249
  window-rect KestrelView Kestrel 200 150 301 249 5000
  file-contains "@DIR@\\icons\\${dpi_background_cache}\\IconCache.ini" "IconWidth=48" 20000
  up-to-date KestrelView Kestrel @DIR@/at-144.png
  close-window KestrelView Kestrel
  expect-exit 0 10000)
set_tests_properties(e2e.dpi.background PROPERTIES RUN_SERIAL TRUE)

# Started on a screen of 144 DPI (the prefix's LogPixels, set for this scenario alone and put
# back after it): the window opens at the size its buttons need at 144 DPI (44 x 134: the frame
# lines stay one pixel), with the icons extracted and cached at 48 pixels.
set(dpi_start_files ${CMAKE_CURRENT_BINARY_DIR}/dpi.files)
file(MAKE_DIRECTORY ${dpi_start_files})
kestrel_win_path(dpi_start_out ${CMAKE_CURRENT_BINARY_DIR}/dpi.start_at_144)
set(dpi_start_text "[Common]\nProgram=Kestrel\n[Option]\nIconDelay=False\nIconCacheFolder=icons\n")
foreach(button One:3 Two:4 Three:12)
  string(REPLACE ":" ";" parts "${button}")
  list(GET parts 0 caption)
  list(GET parts 1 index)
  string(APPEND dpi_start_text "[Button:${caption}]\nIconFile=shell32.dll\nIconIndex=${index}\n")
endforeach()
file(WRITE ${dpi_start_files}/start.ini "${dpi_start_text}")
kestrel_win_path(dpi_start_profile ${dpi_start_files}/start.ini)
kestrel_icon_cache_name(dpi_start_cache "${dpi_start_out}\\k.ini")
set(dpi_start_folder ${CMAKE_CURRENT_BINARY_DIR}/dpi.start_at_144)
file(MAKE_DIRECTORY ${dpi_start_folder})
set(dpi_start_steps --place @DIR@ "${dpi_start_out}" fresh-dir @DIR@
  copy-file ${dpi_start_profile} @DIR@\\k.ini
  start $<TARGET_FILE:kestrel> -p @DIR@\\k.ini --
  wait-window KestrelView Kestrel 15000
  window-size KestrelView Kestrel 44 134 5000
  ink-box KestrelView Kestrel 6 24 32 32 19 24
  up-to-date KestrelView Kestrel @DIR@/started-at-144.png
  close-window KestrelView Kestrel
  expect-exit 0 10000
  file-contains "@DIR@\\icons\\${dpi_start_cache}\\IconCache.ini" "IconWidth=48")
add_test(NAME e2e.dpi.start_at_144
         COMMAND ${CMAKE_COMMAND} "-DWINE_RUN=${CMAKE_BINARY_DIR}/wine-run" "-DDRIVER=$<TARGET_FILE:e2e_driver>"
                 "-DFOLDER=${dpi_start_folder}" "-DSTEPS=${dpi_start_steps}"
                 -P ${CMAKE_CURRENT_SOURCE_DIR}/dpi_start.cmake)
set_tests_properties(e2e.dpi.start_at_144 PROPERTIES FIXTURES_REQUIRED wine LABELS e2e TIMEOUT 120 RUN_SERIAL TRUE)
