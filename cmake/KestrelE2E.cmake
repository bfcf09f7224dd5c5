# kestrel_e2e(NAME <name> STEPS <step>... [EXPECT_FAILURE <regex>] [FOLDER <relative folder>])
#
# Registers the end-to-end scenario e2e.<name>: the driver (tests/e2e/driver_win32.cpp) runs the
# steps under Wine and passes only when every step passed. In the steps, @DIR@ stands for the
# scenario's own folder under the build folder (emptied by the driver first) and @SRC@ for the
# repository, both as Windows paths; $<TARGET_FILE:...> names a program of the build. Example:
#
#   kestrel_e2e(NAME usage STEPS start $<TARGET_FILE:kestrel> -h -- box-title Kestrel
#               box-text "Arguments = ..." box-press IDOK expect-exit 0 10000)
#
# FOLDER puts the scenario's folder below that folder of the build folder instead of directly in
# it (the scenarios that prove a folder with blanks, non-ASCII letters and segments such as "n..."
# or "t..." is carried through every path as it is).
# EXPECT_FAILURE turns the scenario round: it passes when the driver's output matches the
# regular expression (used to prove that a step does fail when it should).
# Scenarios that send keys or clicks run alone, since any window that appears meanwhile would
# take the input focus; so do those that compare a window's picture on the screen, which another
# window passing over it would change. Those that wait for or close a window by its class and
# title take turns with each other: a close reaches every such window on the screen, and two
# launchers started at once by two scenarios were each closed by the other's step.
function(kestrel_e2e)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "NAME;EXPECT_FAILURE;FOLDER" "STEPS")
  if(NOT arg_NAME OR NOT arg_STEPS)
    message(FATAL_ERROR "kestrel_e2e needs NAME and STEPS")
  endif()
  set(folder "${CMAKE_CURRENT_BINARY_DIR}/${arg_NAME}")
  if(arg_FOLDER)
    set(folder "${CMAKE_CURRENT_BINARY_DIR}/${arg_FOLDER}/${arg_NAME}")
  endif()
  file(MAKE_DIRECTORY "${folder}")
  kestrel_win_path(win_folder "${folder}")
  kestrel_win_path(win_source ${KESTREL_SOURCE_DIR})

  # The driver puts the folders in after reading the escapes of the compared texts.
  set(steps --place @DIR@ "${win_folder}" --place @SRC@ "${win_source}" fresh-dir @DIR@)
  set(serial FALSE)
  set(by_title FALSE)
  foreach(step IN LISTS arg_STEPS)
    if(step MATCHES "^(key|key-down|click|click-in|drag-in|up-to-date)$")
      set(serial TRUE)
    elseif(step MATCHES "^(wait-window|close-window)$")
      set(by_title TRUE)
    endif()
    list(APPEND steps "${step}")
  endforeach()

  set(test e2e.${arg_NAME})
  add_test(NAME ${test} COMMAND e2e_driver ${steps} WORKING_DIRECTORY "${folder}")
  set_tests_properties(${test} PROPERTIES
    FIXTURES_REQUIRED wine LABELS e2e TIMEOUT 120 RUN_SERIAL ${serial})
  if(by_title AND NOT serial)
    set_tests_properties(${test} PROPERTIES RESOURCE_LOCK windows_by_title)
  endif()
  if(arg_EXPECT_FAILURE)
    set_tests_properties(${test} PROPERTIES PASS_REGULAR_EXPRESSION "${arg_EXPECT_FAILURE}")
  endif()
endfunction()
