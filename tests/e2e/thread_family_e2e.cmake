# Crash dumps and the execution log's start under Wine. The crash program installs the
# launcher's crash hook with a dump folder of the scenario's own and then fails; the dump is
# written on the failing thread before the process ends with the system's crash handling, so
# its exit code is the exception's code.

add_executable(e2e_crash crash_win32.cpp)
kestrel_wide_entry(e2e_crash)
target_link_libraries(e2e_crash PRIVATE kestrel_raw)

set(crash $<TARGET_FILE:e2e_crash>)
# EXCEPTION_ACCESS_VIOLATION, and the code an uncaught C++ exception is raised with.
set(access_violation 0xC0000005)
set(uncaught_exception 0xE06D7363)

kestrel_e2e(NAME thread.worker_fault_dump STEPS
  start ${crash} worker-fault "@DIR@\\dumps" --
  expect-exit ${access_violation} 60000
  start ${crash} count "@DIR@\\dumps" "Crash_Dump_*.dmp" 1 --
  expect-exit 0 10000)

kestrel_e2e(NAME thread.worker_throw_dump STEPS
  start ${crash} worker-throw "@DIR@\\dumps" --
  expect-exit ${uncaught_exception} 60000
  start ${crash} count "@DIR@\\dumps" "Crash_Dump_*.dmp" 1 --
  expect-exit 0 10000)

kestrel_e2e(NAME thread.main_fault_dump STEPS
  start ${crash} main-fault "@DIR@\\dumps" --
  expect-exit ${access_violation} 60000
  start ${crash} count "@DIR@\\dumps" "Crash_Dump_*.dmp" 1 --
  expect-exit 0 10000)

if(TARGET kestrel)
  # A start of the launcher writes a log in the configuration's LogFolder (relative to the
  # configuration file) that begins with the version and time-zone lines.
  kestrel_e2e(NAME kestrel.log_header STEPS
    start $<TARGET_FILE:e2e_helper> write "@DIR@\\k.ini" "[Common]\\nProgram=Kestrel\\n[Option]\\nLogFolder=logs\\n" 0 --
    expect-exit 0 10000
    start $<TARGET_FILE:kestrel> -p "@DIR@\\k.ini" --
    wait-own-window 15000
    close-window KestrelView Kestrel
    expect-exit 0 10000
    start ${crash} log-header "@DIR@\\logs" --
    expect-exit 0 10000)
endif()
