# The restart handshake under Wine, run with
#   cmake -DDRIVER=<wine-run;e2e_driver.exe> -DKESTREL=<kestrel.exe> -DHELPER=<e2e_helper.exe>
#         -DDIR=<scenario folder, Windows path> -DLOG=<file outside it> -DCASE=<ends-earlier|leaves-other>
#         -P kestrel_restart.cmake
# A first program is started by one driver run that detaches from it; its process id, which the
# driver prints, goes to a second Kestrel as "-@ <id>"; a third driver run then looks for the
# first program's message box.

cmake_minimum_required(VERSION 3.20)

# The output goes through a file: a program left running may hold a pipe open, and reading one
# would wait for it to end.
function(drive)
  set(log ${LOG})
  execute_process(COMMAND ${DRIVER} ${ARGN} RESULT_VARIABLE result OUTPUT_FILE ${log} ERROR_FILE ${log}.err
                  TIMEOUT 60)
  file(READ ${log} output)
  file(READ ${log}.err errors)
  set(code "${result}" PARENT_SCOPE)
  set(out "${output}${errors}" PARENT_SCOPE)
endfunction()

function(expect_passed what)
  if(NOT code STREQUAL "0")
    message(FATAL_ERROR "${CASE}: ${what} failed (exit code ${code}):\n${out}")
  endif()
endfunction()

# Starts a program that waits in a message box with this caption, and leaves it running.
function(start_first caption)
  drive(fresh-dir ${DIR} start ${ARGN} -- box-title ${caption} detach)
  expect_passed("starting the first program")
  if(NOT out MATCHES "started process ([0-9]+)")
    message(FATAL_ERROR "${CASE}: no process id in the driver's output:\n${out}")
  endif()
  set(first_id ${CMAKE_MATCH_1} PARENT_SCOPE)
endfunction()

function(restart_with id)
  drive(start ${KESTREL} -p "${DIR}\\restart.ini" -@ ${id} -- wait-own-window 15000
        close-window KestrelView Kestrel expect-exit 0 10000)
  expect_passed("the restarted Kestrel")
endfunction()

if(CASE STREQUAL "ends-earlier")
  start_first(Kestrel ${KESTREL} -h)
  restart_with(${first_id})
  # The restarted instance waited for the first one to end, so its box is gone now.
  drive(wait-window "#32770" Kestrel 200)
  if(NOT out MATCHES "no such window")
    message(FATAL_ERROR "${CASE}: the first Kestrel's box is still there:\n${out}")
  endif()
elseif(CASE STREQUAL "leaves-other")
  start_first(Other ${HELPER} box 40 ok Other Running)
  restart_with(${first_id})
  drive(wait-window "#32770" Other 5000 close-window "#32770" Other)
  expect_passed("the other program's box after the restart")
else()
  message(FATAL_ERROR "unknown case ${CASE}")
endif()
