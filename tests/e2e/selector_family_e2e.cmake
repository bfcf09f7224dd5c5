# The selector box under Wine, driven as a user would. The selector probe
# (selector_probe_win32.cpp) shows the box alone in a window "SelectorProbe" at (100, 100) with
# the box at (4, 4), and writes one line to out.txt for each value a selector's script gives
# "Seen". With the default window font every line of text is LINE pixels high, and a separator 5.

add_executable(e2e_selector_probe selector_probe_win32.cpp)
kestrel_wide_entry(e2e_selector_probe)
target_link_libraries(e2e_selector_probe PRIVATE kestrel_app)

set(selector_probe $<TARGET_FILE:e2e_selector_probe>)
set(selector_helper $<TARGET_FILE:e2e_helper>)

# kestrel_selector_e2e(<name> <profile text> <step>...): the probe on a profile of that text; the
# steps run once its window is up. Mouse and keys: alone.
function(kestrel_selector_e2e name profile)
  kestrel_e2e(NAME selector.${name} STEPS
    start ${selector_helper} write @DIR@/p.ini "${profile}" 0 --
    expect-exit 0 10000
    start ${selector_probe} @DIR@/p.ini @DIR@/out.txt @DIR@/new.exe --
    wait-window KestrelView SelectorProbe 15000
    ${ARGN}
    close-window KestrelView SelectorProbe
    expect-exit 0 10000)
  set_tests_properties(e2e.selector.${name} PROPERTIES RUN_SERIAL TRUE)
endfunction()

# Lines of text are about 15 pixels high from y = 5 in the window: y 12, 27 and 42 hit the first
# three lines whatever the font's exact height. Clicks that follow each other quickly land at
# different x, so that the system does not take them for a double click.
set(selector_runs
    "[Selector:one]\\nDefine {\\nSeen=one $(KeyState)\\n}\\n[Selector:two]\\nDefine {\\nSeen=two $(KeyState)\\n}\\n[Selector:three]\\nDefine {\\nSeen=three $(KeyState)\\n}\\n")

# A click runs the line with "LButton", each arrow the newly current line, Enter the current
# line with "DClick"; Down on the last line runs nothing.
kestrel_selector_e2e(runs "${selector_runs}"
  click-in KestrelView SelectorProbe 20 12
  file-contains @DIR@/out.txt "one LButton\\n" 10000
  key DOWN
  file-contains @DIR@/out.txt "one LButton\\ntwo LButton\\n" 10000
  key RETURN
  file-contains @DIR@/out.txt "one LButton\\ntwo LButton\\ntwo DClick\\n" 10000
  key DOWN DOWN RETURN
  file-contains @DIR@/out.txt "two DClick\\nthree LButton\\nthree DClick\\n" 10000)

# Reverse sort of all lines from the edit menu, opened with a right click (Up from no entry picks
# the last one, "Reverse"), Delete of the selected line, Alt+Down, and a file dropped below the
# last line: each rewrites the Selector sections, and the box shows what it holds. The box is as
# wide as "charlie" is.
kestrel_selector_e2e(edits "[Common]\\nProgram=Kestrel\\n[Selector:bravo]\\n[Selector:Alpha]\\n[Selector:charlie]\\n"
  click-in KestrelView SelectorProbe 8 12
  key CTRL+A
  click-in KestrelView SelectorProbe 16 27 right
  wait-window "#32768" * 5000
  key UP RETURN
  file-contains @DIR@/p.ini "[Selector:charlie]\\r\\n\\r\\n[Selector:bravo]\\r\\n\\r\\n[Selector:Alpha]\\r\\n" 10000
  up-to-date KestrelView SelectorProbe @DIR@/after-sort.png
  click-in KestrelView SelectorProbe 24 12
  key DELETE
  file-lacks @DIR@/p.ini "[Selector:charlie]" 10000
  file-contains @DIR@/p.ini "[Common]\\r\\nProgram=Kestrel\\r\\n[Selector:bravo]\\r\\n\\r\\n[Selector:Alpha]\\r\\n" 10000
  click-in KestrelView SelectorProbe 8 12
  key ALT+DOWN
  file-contains @DIR@/p.ini "[Selector:Alpha]\\r\\n\\r\\n[Selector:bravo]\\r\\n" 10000
  post KestrelView SelectorProbe 0x8001 500 0
  file-contains @DIR@/p.ini "[Selector:bravo]\\r\\n\\r\\n[Selector:new.exe]\\r\\nDefine {" 10000
  up-to-date KestrelView SelectorProbe @DIR@/after-drop.png)

# The edit menu greys "Move down" when no selected line has an unselected one after it, and
# the sorts for fewer than two selected lines; the probe reads its open menu when asked.
kestrel_selector_e2e(greyed "[Selector:bravo]\\n[Selector:Alpha]\\n[Selector:charlie]\\n"
  click-in KestrelView SelectorProbe 8 42
  click-in KestrelView SelectorProbe 16 42 right
  wait-window "#32768" * 5000
  post KestrelView SelectorProbe 0x8002 0 0
  file-contains @DIR@/out.txt "greyed 567\\n" 10000
  key ESCAPE
  window-gone "#32768" * 5000
  click-in KestrelView SelectorProbe 24 12
  key SHIFT+DOWN
  click-in KestrelView SelectorProbe 8 27 right
  wait-window "#32768" * 5000
  post KestrelView SelectorProbe 0x8002 0 0
  file-contains @DIR@/out.txt "greyed 567\\ngreyed none\\n" 10000
  key ESCAPE
  window-gone "#32768" * 5000
  file-contains @DIR@/p.ini "[Selector:bravo]\\n[Selector:Alpha]\\n[Selector:charlie]\\n")
