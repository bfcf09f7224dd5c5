# The profile checker, "kestrel -k", as users meet it: from a command prompt (the report on the
# program's output), from the desktop (the report in a box that scrolls), from the title menu;
# and over every profile the tests write, which must hold no error but the deliberate ones.

if(NOT TARGET kestrel)
  return()
endif()
set(check_data ${CMAKE_CURRENT_LIST_DIR}/check)

if(NOT WIN32)
  foreach(case IN ITEMS faults clean)
    set(file ${check_data}/faults.ini)
    set(code 1)
    if(case STREQUAL "clean")
      set(file ${KESTREL_SOURCE_DIR}/examples/kestrel.ini)
      set(code 0)
    endif()
    add_test(NAME kestrel.check.${case}
             COMMAND ${CMAKE_COMMAND} -DKESTREL=$<TARGET_FILE:kestrel> -DFILE=${file}
                     -DEXPECTED=${check_data}/${case}.expected -DCODE=${code} -P ${CMAKE_CURRENT_LIST_DIR}/kestrel_check.cmake)
    set_tests_properties(kestrel.check.${case} PROPERTIES LABELS e2e TIMEOUT 120)
  endforeach()
  # Hotkeys: a text that names no key, a key taken twice; [Option] HotKey and AutoReload are read.
  add_test(NAME kestrel.check.hotkeys
           COMMAND ${CMAKE_COMMAND} -DKESTREL=$<TARGET_FILE:kestrel> -DFILE=${check_data}/hotkeys.ini
                   -DEXPECTED=${check_data}/hotkeys.expected -DCODE=1 -P ${CMAKE_CURRENT_LIST_DIR}/kestrel_check.cmake)
  set_tests_properties(kestrel.check.hotkeys PROPERTIES LABELS e2e TIMEOUT 120)
  return()
endif()

kestrel_win_path(check_data_win ${check_data})
kestrel_win_path(check_example_win ${KESTREL_SOURCE_DIR}/examples/kestrel.ini)

# From a command prompt: the report goes to the program's output.
foreach(case IN ITEMS faults clean)
  set(file ${check_data_win}\\faults.ini)
  set(code 1)
  if(case STREQUAL "clean")
    set(file ${check_example_win})
    set(code 0)
  endif()
  add_test(NAME e2e.check.console_${case}
           COMMAND ${CMAKE_COMMAND} "-DKESTREL=${CMAKE_BINARY_DIR}/wine-run;$<TARGET_FILE:kestrel>" -DFILE=${file}
                   -DEXPECTED=${check_data}/${case}.expected -DCODE=${code} -P ${CMAKE_CURRENT_LIST_DIR}/kestrel_check.cmake)
  set_tests_properties(e2e.check.console_${case} PROPERTIES FIXTURES_REQUIRED wine LABELS e2e TIMEOUT 120)
endforeach()

add_test(NAME e2e.check.console_hotkeys
         COMMAND ${CMAKE_COMMAND} "-DKESTREL=${CMAKE_BINARY_DIR}/wine-run;$<TARGET_FILE:kestrel>"
                 -DFILE=${check_data_win}\\hotkeys.ini -DEXPECTED=${check_data}/hotkeys.expected -DCODE=1
                 -P ${CMAKE_CURRENT_LIST_DIR}/kestrel_check.cmake)
set_tests_properties(e2e.check.console_hotkeys PROPERTIES FIXTURES_REQUIRED wine LABELS e2e TIMEOUT 120)

# From the desktop: no console and no output, so the report is a box that scrolls; its picture is
# saved beside the scenario.
kestrel_e2e(NAME check.box STEPS
  copy-file ${check_data}/faults.ini @DIR@/faults.ini
  start-detached $<TARGET_FILE:kestrel> -k -p @DIR@/faults.ini --
  box-title Kestrel
  box-text-has "faults.ini(13): error: unknown command \"Shel\" (did you mean \"Shell\"?)\\r\\n"
  box-text-has "faults.ini(53): error: this \"{\" is never closed in [Action:Open]\\r\\n"
  box-text-has "\\r\\n10 errors, 10 warnings\\r\\n"
  up-to-date "#32770" Kestrel @DIR@/report.png
  box-press IDOK
  expect-exit 1 10000)
set_tests_properties(e2e.check.box PROPERTIES RUN_SERIAL TRUE)

kestrel_e2e(NAME check.box_clean STEPS
  copy-file ${KESTREL_SOURCE_DIR}/examples/kestrel.ini @DIR@/kestrel.ini
  start-detached $<TARGET_FILE:kestrel> -k -p @DIR@/kestrel.ini --
  box-title Kestrel
  box-text "0 errors, 0 warnings\\r\\n"
  box-press IDOK
  expect-exit 0 10000)

# A missing profile is reported, not made.
kestrel_e2e(NAME check.box_missing STEPS
  start-detached $<TARGET_FILE:kestrel> -k -p @DIR@/none.ini --
  box-title Kestrel
  box-text-has "none.ini(1): error: the file does not exist\\r\\n1 errors, 0 warnings\\r\\n"
  box-press IDOK
  expect-exit 1 10000)
