# Kestrel's end-to-end scenarios. Under Wine they go through the driver
# (kestrel_e2e, with e2e_helper writing the files a scenario starts from);
# natively the headless kestrel is run by kestrel_headless.cmake.

if(NOT TARGET kestrel)
  return()
endif()

if(WIN32)
  set(kestrel_usage "Arguments = [-p Profile] [-c ConfigFile] [-a Action] [-l|-r Button] [-d Button FullPath]")
  set(kestrel_helper $<TARGET_FILE:e2e_helper>)

  kestrel_e2e(NAME kestrel.usage STEPS
    start $<TARGET_FILE:kestrel> -p @DIR@/never.ini -a Act -h --
    box-title Kestrel
    box-text "${kestrel_usage}"
    box-press IDOK
    expect-exit 0 10000)

  kestrel_e2e(NAME kestrel.bad_format STEPS
    start ${kestrel_helper} write @DIR@/bad.ini "[Common]\\nConfigFile=other.ini\\n" 0 --
    expect-exit 0 10000
    start $<TARGET_FILE:kestrel> -p @DIR@/bad.ini --
    box-title Kestrel
    box-text "Bad format profile !!"
    box-press IDOK
    expect-exit 0 10000
    file-contains @DIR@/bad.ini "ConfigFile=other.ini")

  kestrel_e2e(NAME kestrel.create_profile STEPS
    start $<TARGET_FILE:kestrel> -p "@DIR@/new profile.ini" --
    wait-own-window 15000
    close-window KestrelView Kestrel
    expect-exit 0 10000
    file-exists "@DIR@/new profile.ini"
    file-contains "@DIR@/new profile.ini" "[Common]\\r\\nProgram=Kestrel\\r\\n")

  kestrel_e2e(NAME kestrel.run_undefined STEPS
    start $<TARGET_FILE:kestrel> -p @DIR@/ok.ini -a Act --
    box-title Kestrel
    box-text "No such defined name !\\r\\n  [value] /[commandline] -a Act"
    box-press IDOK
    expect-exit 1 10000)

  # The icon-cache subfolder of a configuration file: "CACHE_" and eight hexadecimal digits of
  # a hash of its path with a to z in upper case (each byte added, then the sum rotated left).
  function(kestrel_icon_cache_name out path)
    string(TOUPPER "${path}" key)
    string(HEX "${key}" hex)
    string(LENGTH "${hex}" length)
    set(hash 0)
    set(at 0)
    while(at LESS length)
      string(SUBSTRING "${hex}" ${at} 2 unit)
      math(EXPR hash "(${hash} + 0x${unit}) & 0xFFFFFFFF")
      math(EXPR hash "((${hash} << 1) | (${hash} >> 31)) & 0xFFFFFFFF")
      math(EXPR at "${at} + 2")
    endwhile()
    set(digits "")
    foreach(shift 28 24 20 16 12 8 4 0)
      math(EXPR digit "(${hash} >> ${shift}) & 15")
      string(SUBSTRING "0123456789ABCDEF" ${digit} 1 digit)
      string(APPEND digits ${digit})
    endforeach()
    set(${out} "CACHE_${digits}" PARENT_SCOPE)
  endfunction()

  # The configuration file is the start-up profile; the key is its path as given with -p.
  kestrel_win_path(cache_dir ${CMAKE_CURRENT_BINARY_DIR}/kestrel.icon_cache)
  kestrel_icon_cache_name(cache_name "${cache_dir}\\k.ini")
  # Compared texts take escapes: their backslashes are doubled.
  string(TOUPPER "${cache_dir}\\K.INI" cache_key)
  string(REPLACE "\\" "\\\\" cache_key "${cache_key}")
  kestrel_e2e(NAME kestrel.icon_cache STEPS
    start ${kestrel_helper} write "@DIR@\\k.ini" "[Common]\\nProgram=Kestrel\\n[Option]\\nIconCacheFolder=icons\\n" 0 --
    expect-exit 0 10000
    start $<TARGET_FILE:kestrel> -p "@DIR@\\k.ini" --
    wait-own-window 15000
    close-window KestrelView Kestrel
    expect-exit 0 10000
    file-contains "@DIR@\\icons\\${cache_name}\\IconCache.ini" "[Identify]\\r\\nProfile=${cache_key}\\r\\n")

  # A file where the icon-cache folder should go: the user is told, and start-up goes on.
  kestrel_win_path(blocked_dir ${CMAKE_CURRENT_BINARY_DIR}/kestrel.icon_cache_blocked)
  kestrel_icon_cache_name(blocked_name "${blocked_dir}\\k.ini")
  string(REPLACE "\\" "\\\\" blocked_text "${blocked_dir}\\blocker\\${blocked_name}")
  kestrel_e2e(NAME kestrel.icon_cache_blocked STEPS
    start ${kestrel_helper} write "@DIR@\\blocker" "not a folder" 0 --
    expect-exit 0 10000
    start ${kestrel_helper} write "@DIR@\\k.ini" "[Common]\\nProgram=Kestrel\\n[Option]\\nIconCacheFolder=blocker\\n" 0 --
    expect-exit 0 10000
    start $<TARGET_FILE:kestrel> -p "@DIR@\\k.ini" --
    box-title Kestrel
    box-text "Cannot access temp directory (${blocked_text}) !!"
    box-press IDOK
    # The start goes on to the window after the message.
    wait-own-window 15000
    close-window KestrelView Kestrel
    expect-exit 0 10000)

  # The restart handshake needs the process id of a program started earlier, so these run as
  # scripts around several driver runs. Alone: another Kestrel box would be taken for the first.
  foreach(case IN ITEMS ends-earlier leaves-other)
    set(folder ${CMAKE_CURRENT_BINARY_DIR}/kestrel.restart.${case})
    file(MAKE_DIRECTORY ${folder})
    kestrel_win_path(win_folder ${folder})
    add_test(NAME e2e.kestrel.restart.${case}
             COMMAND ${CMAKE_COMMAND} "-DDRIVER=${CMAKE_BINARY_DIR}/wine-run;$<TARGET_FILE:e2e_driver>"
                     -DKESTREL=$<TARGET_FILE:kestrel> -DHELPER=${kestrel_helper} -DDIR=${win_folder}
                     -DLOG=${folder}.log -DCASE=${case} -P ${CMAKE_CURRENT_LIST_DIR}/kestrel_restart.cmake
             WORKING_DIRECTORY ${folder})
    set_tests_properties(e2e.kestrel.restart.${case} PROPERTIES
      FIXTURES_REQUIRED wine LABELS e2e TIMEOUT 180 RUN_SERIAL TRUE)
  endforeach()
else()
  foreach(case IN ITEMS usage bad-format create run-undefined run-action run-failure run-button run-interrupt)
    add_test(NAME kestrel.headless.${case}
             COMMAND ${CMAKE_COMMAND} -DKESTREL=$<TARGET_FILE:kestrel> -DWORK=${CMAKE_BINARY_DIR}/test-tmp/headless
                     -DCASE=${case} -P ${CMAKE_CURRENT_LIST_DIR}/kestrel_headless.cmake)
    set_tests_properties(kestrel.headless.${case} PROPERTIES LABELS e2e TIMEOUT 120)
  endforeach()
endif()

# The user manual's examples, run by the headless kestrel from a folder whose name holds a blank
# and non-ASCII letters.
if(NOT WIN32)
  add_executable(manual_examples ${CMAKE_CURRENT_LIST_DIR}/manual_examples.cpp)
  add_test(NAME kestrel.manual.examples
           COMMAND manual_examples $<TARGET_FILE:kestrel> ${KESTREL_SOURCE_DIR}/docs/ReadMe_Kestrel.txt
                   "${CMAKE_BINARY_DIR}/test-tmp/manual examples äß")
  set_tests_properties(kestrel.manual.examples PROPERTIES LABELS e2e TIMEOUT 300)
endif()
