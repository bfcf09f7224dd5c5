# The foundation's scenarios under Wine: the probe (probe_win32.cpp) runs one shell, window or
# clipboard operation of the foundation in a process of its own while the driver watches.
# Included from tests/e2e/CMakeLists.txt after the driver and helper targets exist.

add_executable(e2e_probe probe_win32.cpp)
kestrel_wide_entry(e2e_probe)
target_link_libraries(e2e_probe PRIVATE kestrel_raw)

set(probe $<TARGET_FILE:e2e_probe>)
set(raw_helper $<TARGET_FILE:e2e_helper>)

# The shell starts a program with grouped parameters, waits for it and reads its exit code.
kestrel_e2e(NAME raw.shell_exit_code STEPS
  start ${probe} shell @DIR@/exit.txt ${raw_helper} write @DIR@/out.txt "written through the shell" 7 --
  expect-exit 0 30000
  file-contains @DIR@/exit.txt "exit 7\\n"
  file-contains @DIR@/out.txt "written through the shell")
kestrel_e2e(NAME raw.shell_exit_code_minus_one STEPS
  start ${probe} shell @DIR@/exit.txt ${raw_helper} write @DIR@/out.txt x -1 --
  expect-exit 0 30000
  file-contains @DIR@/exit.txt "exit 4294967295\\n")
kestrel_e2e(NAME raw.shell_missing_file STEPS
  start ${probe} open @DIR@/missing.txt --
  expect-no-window 30000
  expect-exit 2 0)

# A text document opens in its program; the probe's window search finds it by class and title.
# A fresh Wine prefix knows the text-file class but maps no extension to it.
kestrel_e2e(NAME raw.shell_document STEPS
  start ${probe} associate .txt txtfile --
  expect-exit 0 15000
  start ${raw_helper} write @DIR@/note.txt "opened by the shell" 0 --
  expect-exit 0 10000
  start ${probe} open @DIR@/note.txt --
  expect-exit 0 30000
  wait-window Notepad * 15000
  start ${probe} find-window Notepad note* 15000 --
  expect-exit 0 20000
  close-window Notepad *)

kestrel_e2e(NAME raw.find_window STEPS
  start ${raw_helper} window "Probe target" @DIR@/input.log --
  wait-window KestrelE2EProbe "Probe target" 15000
  start ${probe} find-window KestrelE2EProbe "Probe t*" 10000 --
  expect-exit 0 15000
  start ${probe} find-window KestrelE2E* "Probe target" 10000 --
  expect-exit 0 15000
  start ${probe} find-window kestrele2eprobe "Probe target" 0 --
  expect-exit 1 15000
  start ${probe} find-window KestrelE2EProbe "Other*" 0 --
  expect-exit 1 15000
  close-window KestrelE2EProbe "Probe target")

# The clipboard is shared by every program of the display: these run alone.
kestrel_e2e(NAME raw.clipboard_round_trip STEPS
  start ${probe} clip-set "Kestrel clip \\u00e9\\u65e5\\u672c" --
  expect-exit 0 15000
  start ${probe} clip-check "Kestrel clip \\u00e9\\u65e5\\u672c" --
  expect-exit 0 15000)
kestrel_e2e(NAME raw.clipboard_held STEPS
  start ${probe} clip-hold @DIR@/status.txt @DIR@/release.txt --
  file-contains @DIR@/status.txt "held" 15000
  start ${probe} clip-set refused --
  expect-exit 3 15000
  start ${raw_helper} write @DIR@/release.txt go 0 --
  expect-exit 0 10000
  file-contains @DIR@/status.txt "released" 15000
  start ${probe} clip-set "after the holder" --
  expect-exit 0 15000
  start ${probe} clip-check "after the holder" --
  expect-exit 0 15000)
set_tests_properties(e2e.raw.clipboard_round_trip e2e.raw.clipboard_held PROPERTIES RUN_SERIAL TRUE)
