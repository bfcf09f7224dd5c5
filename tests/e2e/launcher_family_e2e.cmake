# Command-line runs of kestrel.exe under Wine: profiles whose scripts start cmd.exe and the
# helper program, wait for them, read "ExitCode", branch, loop, call actions with parameters and
# write the clipboard; a failing run shows its message; Escape held ends a loop. The profiles are
# written when the tree is configured, into a folder the driver does not empty.
if(NOT TARGET kestrel)
  return()
endif()

set(launcher_files ${CMAKE_CURRENT_BINARY_DIR}/launcher.files)
kestrel_win_path(helper_path ${CMAKE_CURRENT_BINARY_DIR}/e2e_helper.exe)

# launcher_profile(<scenario> <profile text>): writes <scenario>/s.ini (the start-up profile) and
# <scenario>/k.ini (the launcher profile) and sets <scenario>_ini to the start-up profile's Windows path.
# In the text, @OUT@ stands for the scenario's own folder and @HELPER@ for the helper program.
function(launcher_profile name text)
  set(folder ${launcher_files}/${name})
  file(MAKE_DIRECTORY ${folder})
  kestrel_win_path(win_folder ${folder})
  kestrel_win_path(out_folder ${CMAKE_CURRENT_BINARY_DIR}/launcher.${name})
  string(REPLACE "@OUT@" "${out_folder}" text "${text}")
  string(REPLACE "@HELPER@" "${helper_path}" text "${text}")
  file(WRITE ${folder}/k.ini "${text}")
  file(WRITE ${folder}/s.ini "[Common]\nProgram=Kestrel\nConfigFile=${win_folder}\\k.ini\n")
  set(${name}_ini "${win_folder}\\s.ini" PARENT_SCOPE)
endfunction()

launcher_profile(action_run [=[
[Action:Go]
Shell {
  Command=cmd.exe
  Parameter=/c echo cmd ran> "@OUT@\cmd.txt"
  Wait=WaitForDone
  Timeout=-1
}
Shell {
  Command=@HELPER@
  Parameter=write "@OUT@\helper.txt" written 3
  Wait=WaitForDone
  Timeout=-1
}
If {
  Condition=$(==:$(ExitCode):3)
  Define {
    Branch=three
  }
}
Else {
  Define {
    Branch=other
  }
}
For {
  Begin=1
  End=4
  Add=1
  Define {
    Seen=yes
  }
}
Action {
  Name=Write
  Text=$(Branch) $(Counter) $(Calc:6*7) $(Seen)
}
ToClipboard {
  Parameter=Kestrel $(Branch)
}
[Action:Write]
Shell {
  Command=@HELPER@
  Parameter=write "@OUT@\out.txt" "$(Text)" 0
  Wait=WaitForDone
  Timeout=-1
}
]=])
kestrel_e2e(NAME launcher.action_run STEPS
  start $<TARGET_FILE:kestrel> -p "${action_run_ini}" -a Go --
  expect-exit 0 60000
  file-contains @DIR@/cmd.txt "cmd ran"
  file-contains @DIR@/helper.txt "written"
  file-contains @DIR@/out.txt "three 4 42 yes"
  start $<TARGET_FILE:e2e_probe> clip-check "Kestrel three" --
  expect-exit 0 15000)
set_tests_properties(e2e.launcher.action_run PROPERTIES RUN_SERIAL TRUE)

# The program's exit code decides the branch: a helper that ends with 0 takes the Else path,
# and the action fails at its end, so the launcher exits with 1.
launcher_profile(run_error [=[
[Action:Go]
Shell {
  Command=@HELPER@
  Parameter=write "@OUT@\helper.txt" written 0
  Wait=WaitForDone
  Timeout=-1
}
If {
  Condition=$(==:$(ExitCode):3)
  Define {
    Branch=three
  }
}
Else {
  Shel
}
]=])
kestrel_e2e(NAME launcher.run_error STEPS
  start $<TARGET_FILE:kestrel> -p "${run_error_ini}" -a Go --
  box-title Kestrel
  box-text "No such command !\\r\\n  [command] Shel\\r\\n  [line] 15"
  box-press IDOK
  expect-exit 1 30000
  file-contains @DIR@/helper.txt "written")

# Escape held while a loop runs ends it with "User aborted !".
launcher_profile(escape_ends_loop [=[
[Action:Loop]
Shell {
  Command=@HELPER@
  Parameter=write "@OUT@\started.txt" started 0
  Wait=WaitForDone
  Timeout=-1
}
While {
  Condition=True
  Define {
    Turn=again
  }
}
]=])
kestrel_e2e(NAME launcher.escape_ends_loop STEPS
  start $<TARGET_FILE:kestrel> -p "${escape_ends_loop_ini}" -a Loop --
  file-contains @DIR@/started.txt "started" 30000
  key-down ESCAPE
  box-title Kestrel
  box-text "User aborted !\\r\\n  [command] While\\r\\n  [line] 8"
  key-up ESCAPE
  box-press IDOK
  expect-exit 1 30000)
