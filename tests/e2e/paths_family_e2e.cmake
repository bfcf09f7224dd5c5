# Scenarios whose folder has a blank, a non-ASCII letter and segments that begin with "n", "t"
# and "r": as a Windows path (Z:\...\nested\new folder\ñandú\tab\ret\...) it holds "\n", "\t" and
# "\r", which an escape anywhere between the scenario and the program would turn into control
# characters. The programs and the files they write live in that folder, so every path the
# scenario hands on passes through it.

if(NOT TARGET kestrel)
  return()
endif()

set(paths_folder "nested/new folder/ñandú/tab/ret")
set(paths_helper $<TARGET_FILE:e2e_helper>)

# Script lines through the engine: a helper copied into the folder is started by its path, waited
# for, and its exit code read; the next helper writes what the script saw.
kestrel_e2e(NAME paths.shell_in_awkward_folder FOLDER "${paths_folder}" STEPS
  copy-file ${paths_helper} "@DIR@\\new helper.exe"
  start $<TARGET_FILE:e2e_engine_probe> run
    "Shell {" "Command=@DIR@\\new helper.exe" "Parameter=write \"@DIR@\\ran.txt\" ran 7"
    "Wait=WaitForDone" "Timeout=-1" "}"
    "Shell {" "Command=@DIR@\\new helper.exe" "Parameter=write \"@DIR@\\result.txt\" code=$(ExitCode) 0"
    "Wait=WaitForDone" "Timeout=-1" "}" --
  expect-exit 0 30000
  file-contains "@DIR@\\ran.txt" "ran"
  file-contains "@DIR@/result.txt" "code=7")

# Kestrel itself started on a profile in the folder whose configuration file names the folder: a
# click on the button runs the helper, which writes into the folder; the profile it rewrote on
# closing still names the folder as it was.
kestrel_e2e(NAME paths.launcher_in_awkward_folder FOLDER "${paths_folder}" STEPS
  start ${paths_helper} lines @DIR@/s.ini 0 "[Common]" "Program=Kestrel" "ConfigFile=@DIR@\\k.ini" --
  expect-exit 0 10000
  start ${paths_helper} lines @DIR@/k.ini 0 "[Button:One]" "Shell {" "Command=${paths_helper}"
    "Parameter=write \"@DIR@\\one.txt\" clicked 0" "Wait=WaitForDone" "Timeout=-1" "}" --
  expect-exit 0 10000
  start $<TARGET_FILE:kestrel> -p @DIR@/s.ini --
  wait-window * Kestrel 15000
  start $<TARGET_FILE:e2e_buttons_probe> click 6 12 left 10000 --
  expect-exit 0 10000
  file-contains @DIR@/one.txt clicked 10000
  close-window * Kestrel
  window-gone * Kestrel 10000
  file-contains @DIR@/s.ini "ConfigFile=@DIR@\\k.ini")
set_tests_properties(e2e.paths.launcher_in_awkward_folder PROPERTIES RUN_SERIAL TRUE)
