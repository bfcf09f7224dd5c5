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
    expect-no-window 10000
    expect-exit 0 0
    file-exists "@DIR@/new profile.ini"
    file-contains "@DIR@/new profile.ini" "[Common]\\r\\nProgram=Kestrel\\r\\n")

  kestrel_e2e(NAME kestrel.run_unavailable STEPS
    start $<TARGET_FILE:kestrel> -p @DIR@/ok.ini -a Act --
    box-title Kestrel
    box-text "Cannot run \"Act\" (-a): command-line runs are not available in this build."
    box-press IDOK
    expect-exit 1 10000)
else()
  foreach(case IN ITEMS usage bad-format create run-unavailable)
    add_test(NAME kestrel.headless.${case}
             COMMAND ${CMAKE_COMMAND} -DKESTREL=$<TARGET_FILE:kestrel> -DWORK=${CMAKE_BINARY_DIR}/test-tmp/headless
                     -DCASE=${case} -P ${CMAKE_CURRENT_LIST_DIR}/kestrel_headless.cmake)
    set_tests_properties(kestrel.headless.${case} PROPERTIES LABELS e2e TIMEOUT 120)
  endforeach()
endif()
