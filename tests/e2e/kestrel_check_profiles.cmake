# Every profile the scenarios write, checked as a user checks one:
#   cmake "-DKESTREL=<runner;kestrel.exe>" -DROOT=<folder of the scenarios> -DROOT_WIN=<the same as
#         the program names it> "-DDELIBERATE=<relative paths>" -P kestrel_check_profiles.cmake
# A profile must hold no error and no warning, except those listed as deliberate (the scenarios
# that test how a fault is met), which must still be reported with an error.

cmake_minimum_required(VERSION 3.20)

file(GLOB_RECURSE profiles LIST_DIRECTORIES false RELATIVE "${ROOT}" "${ROOT}/*.ini")
list(SORT profiles)
set(failures "")
set(count 0)
foreach(profile IN LISTS profiles)
  string(REPLACE "/" "\\" native "${profile}")
  execute_process(COMMAND ${KESTREL} -k "${ROOT_WIN}\\${native}" RESULT_VARIABLE code OUTPUT_VARIABLE out
                  ERROR_VARIABLE err TIMEOUT 60)
  math(EXPR count "${count} + 1")
  if(profile IN_LIST DELIBERATE)
    if(NOT code STREQUAL "1")
      string(APPEND failures "${profile}: its deliberate fault was not reported (exit ${code})\n${out}\n")
    endif()
  elseif(NOT code STREQUAL "0" OR NOT out MATCHES "\n0 errors, 0 warnings\n$|^0 errors, 0 warnings\n$")
    string(APPEND failures "${profile}: exit ${code}\n${out}${err}\n")
  endif()
endforeach()
if(count EQUAL 0)
  message(FATAL_ERROR "no profile found under ${ROOT}")
endif()
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
message(STATUS "${count} profiles checked")
