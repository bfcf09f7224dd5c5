# The control-flow and process commands under Wine, in runs of the engine probe
# (engine_probe_win32.cpp, mode "run": each argument is one script line, the run is a left click
# on a button, and the probe exits 0 when the run succeeded, else 1). Programs started by the
# scripts are the e2e helper and Wine's cmd.exe; the scripts report what they saw by having the
# helper write files.

set(commands_probe $<TARGET_FILE:e2e_engine_probe>)
set(commands_helper $<TARGET_FILE:e2e_helper>)

# Shell starts the helper, waits for it without limit and reads its exit code; the next Shell
# writes what the script saw. An exit code of -1 reads as unsigned.
kestrel_e2e(NAME commands.shell_exit_code STEPS
  start ${commands_probe} run
    "Shell {" "Command=${commands_helper}" "Parameter=write \"@DIR@\\out.txt\" through_Shell 7"
    "Wait=WaitForDone" "Timeout=-1" "}"
    "Shell {" "Command=${commands_helper}" "Parameter=write \"@DIR@\\seven.txt\" code=$(ExitCode) -1"
    "Wait=WaitForDone" "Timeout=-1" "}"
    "Shell {" "Command=${commands_helper}" "Parameter=write \"@DIR@\\minus.txt\" code=$(ExitCode) 0"
    "Wait=WaitForDone" "Timeout=-1" "}" --
  expect-exit 0 30000
  file-contains @DIR@/out.txt "through_Shell"
  file-contains @DIR@/seven.txt "code=7"
  file-contains @DIR@/minus.txt "code=4294967295")

# cmd.exe started hidden in a given folder; its exit code reaches the script.
kestrel_e2e(NAME commands.shell_cmd STEPS
  start ${commands_probe} run
    "Shell {" "Command=cmd.exe" "Parameter=/c cd > where.txt & exit 5" "Directory=@DIR@"
    "ShowStatus=Hide" "Wait=WaitForDone" "Timeout=-1" "}"
    "Shell {" "Command=${commands_helper}" "Parameter=write \"@DIR@\\code.txt\" cmd=$(ExitCode) 0"
    "Wait=WaitForDone" "Timeout=-1" "}" --
  expect-exit 0 30000
  file-contains @DIR@/where.txt "commands.shell_cmd"
  file-contains @DIR@/code.txt "cmd=5")

# A document handed to a program that runs already (by DDE) starts no process: the launch
# succeeds, Shell does not wait, and the exit code reads 0.
kestrel_e2e(NAME commands.shell_handed_to_running_program STEPS
  start ${commands_helper} dde-server KestrelTakesDocuments System @DIR@/dde.log --
  file-contains @DIR@/dde.log "ready" 15000
  start $<TARGET_FILE:e2e_probe> associate-dde .kesdde KestrelDdeDocument "${commands_helper} write NUL x 5"
    KestrelTakesDocuments System --
  expect-exit 0 15000
  start ${commands_helper} write @DIR@/notes.kesdde "a document" 0 --
  expect-exit 0 10000
  start ${commands_probe} run
    "Shell {" "Command=@DIR@\\notes.kesdde" "Wait=WaitForDone" "Timeout=-1" "}"
    "Shell {" "Command=${commands_helper}" "Parameter=write \"@DIR@\\code.txt\" code=$(ExitCode) 0"
    "Wait=WaitForDone" "Timeout=-1" "}" --
  expect-exit 0 30000
  file-contains @DIR@/dde.log "execute " 10000
  file-contains @DIR@/dde.log "notes.kesdde"
  file-contains @DIR@/code.txt "code=0")

# A program that cannot be started fails the run without a message: no window ever shows.
kestrel_e2e(NAME commands.shell_missing_program STEPS
  start ${commands_probe} run
    "Shell {" "Command=C:\\no\\such\\program.exe" "Wait=WaitForDone" "Timeout=-1" "}" --
  expect-no-window 30000
  expect-exit 1 0)

# Loops and conditions around Shell: one file per item, the Else branch taken after a false If,
# and Break ending the While.
kestrel_e2e(NAME commands.loops_start_programs STEPS
  start ${commands_probe} run
    "Foreach {" "Parameter=first,\"second,item\""
    "Shell {" "Command=${commands_helper}" "Parameter=write \"@DIR@\\$(Each).txt\" each=$(Each) 0"
    "Wait=WaitForDone" "Timeout=-1" "}" "}"
    "If {" "Condition=false" "}"
    "Else {"
    "For {" "Begin=3" "End=0" "Add=-1"
    "Shell {" "Command=${commands_helper}" "Parameter=write \"@DIR@\\count$(Counter).txt\" c 0"
    "Wait=WaitForDone" "Timeout=-1" "}" "}" "}"
    "While {" "Condition=True" "Break" "}"
    "Shell {" "Command=${commands_helper}" "Parameter=write \"@DIR@\\after.txt\" after_the_loops 0"
    "Wait=WaitForDone" "Timeout=-1" "}" --
  expect-exit 0 60000
  file-contains @DIR@/first.txt "each=first"
  file-contains "@DIR@/second,item.txt" "each=second,item"
  file-contains @DIR@/count3.txt "c"
  file-contains @DIR@/count1.txt "c"
  file-contains @DIR@/after.txt "after_the_loops")

# Script errors of this family, as the user sees them.
kestrel_e2e(NAME commands.for_number_error STEPS
  start ${commands_probe} run "For {" "Begin=abc" "End=3" "Add=1" "}" --
  box-title Kestrel
  box-text "Incorrect number format !\\r\\n  [command] For\\r\\n  [parameter] Begin\\r\\n  [value] abc\\r\\n  [line] 2"
  box-press IDOK
  expect-exit 1 10000)
kestrel_e2e(NAME commands.action_missing STEPS
  start ${commands_probe} run "Action {" "Name=Nowhere" "Mode=fast" "}" --
  box-title Kestrel
  box-text "No such defined action !\\r\\n  [command] Action\\r\\n  [parameter] Name\\r\\n  [value] Nowhere\\r\\n  [line] 2"
  box-press IDOK
  expect-exit 1 10000)
kestrel_e2e(NAME commands.popup_missing_window STEPS
  start ${commands_probe} run "PopupWindow {" "Parameter=0" "}" --
  box-title Kestrel
  box-text "Missing target window !\\r\\n  [command] PopupWindow\\r\\n  [parameter] Parameter\\r\\n  [value] 0\\r\\n  [line] 2"
  box-press IDOK
  expect-exit 1 10000)

# ToClipboard writes the system clipboard, which another program reads back. The clipboard is
# shared by every program of the display: this runs alone.
kestrel_e2e(NAME commands.to_clipboard STEPS
  start ${commands_probe} run "Define {" "Who=Kestrel" "}" "ToClipboard {" "Parameter=$(Who) clip é日" "}" --
  expect-exit 0 15000
  start $<TARGET_FILE:e2e_probe> clip-check "Kestrel clip \\u00e9\\u65e5" --
  expect-exit 0 15000)
set_tests_properties(e2e.commands.to_clipboard PROPERTIES RUN_SERIAL TRUE)
