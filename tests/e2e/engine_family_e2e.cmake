# The script engine's scenarios under Wine: the engine probe (engine_probe_win32.cpp) shows the
# information dialog and script error reports while the driver reads and dismisses them.

add_executable(e2e_engine_probe engine_probe_win32.cpp)
kestrel_wide_entry(e2e_engine_probe)
target_link_libraries(e2e_engine_probe PRIVATE kestrel_app kestrel_job kestrel_win kestrel_raw)

set(engine_probe $<TARGET_FILE:e2e_engine_probe>)

# The dialog is a box like the system's: its caption, its message with the line breaks, its OK
# button; the Escape key closes it too.
kestrel_e2e(NAME engine.info_dialog STEPS
  start ${engine_probe} info Kestrel "No such command !\\n  [command] Shel" --
  box-title Kestrel
  box-text "No such command !\\r\\n  [command] Shel"
  box-press IDOK
  expect-exit 1 10000)
kestrel_e2e(NAME engine.info_dialog_escape STEPS
  start ${engine_probe} info Kestrel "Closed by Escape" --
  box-text "Closed by Escape"
  key ESCAPE
  expect-exit 2 10000)
# Over an owner window: centred on it, with the owner disabled while the dialog is open.
kestrel_e2e(NAME engine.info_dialog_owned STEPS
  start ${engine_probe} info-owned @DIR@/place.txt Kestrel "Over the owner" --
  file-contains @DIR@/place.txt "centred owner-disabled" 10000
  box-title Kestrel
  box-text "Over the owner"
  box-press IDOK
  expect-exit 1 10000)

# Script errors through the launcher's screen: the message from the ToolMessage table, then one
# line per label; over the main window when there is one.
kestrel_e2e(NAME engine.report_command_error STEPS
  start ${engine_probe} report RequiredParameterIsEmpty For Begin "$(Nothing)" --
  box-title Kestrel
  box-text "Required parameter is empty !\\r\\n  [command] For\\r\\n  [parameter] Begin\\r\\n  [value] $(Nothing)"
  box-press IDOK
  expect-exit 0 10000)
kestrel_e2e(NAME engine.report_over_main_window STEPS
  start ${engine_probe} report-owned @DIR@/place.txt UserAborted While --
  file-contains @DIR@/place.txt "centred owner-disabled" 10000
  box-title Kestrel
  box-text "User aborted !\\r\\n  [command] While"
  box-press IDOK
  expect-exit 0 10000)
# A run whose script names a command that does not exist: the error is shown, the commands after
# it do not run (the second would be reported too), and the run fails.
kestrel_e2e(NAME engine.run_unknown_command STEPS
  start ${engine_probe} run "Shel {" "Command=editor.exe" "}" "AlsoUnknown" --
  box-title Kestrel
  box-text "No such command !\\r\\n  [command] Shel\\r\\n  [line] 2"
  box-press IDOK
  expect-exit 1 10000)
# The modifier keys held while the run starts are read from the window thread's key state.
kestrel_e2e(NAME engine.keystate_right_shift STEPS
  start ${engine_probe} keystate @DIR@/keystate.txt --
  wait-window KestrelEngineProbeKeys "Key probe" 15000
  click 300 250
  key RSHIFT+A
  file-contains @DIR@/keystate.txt "KeyState=LButton,RShift\\n" 10000
  expect-exit 0 10000)
kestrel_e2e(NAME engine.keystate_both_controls STEPS
  start ${engine_probe} keystate @DIR@/keystate.txt --
  wait-window KestrelEngineProbeKeys "Key probe" 15000
  click 300 250
  key LCONTROL+RCONTROL+A
  file-contains @DIR@/keystate.txt "KeyState=LButton,LControl,RControl\\n" 10000
  expect-exit 0 10000)
kestrel_e2e(NAME engine.keystate_none STEPS
  start ${engine_probe} keystate @DIR@/keystate.txt --
  wait-window KestrelEngineProbeKeys "Key probe" 15000
  click 300 250
  key A
  file-contains @DIR@/keystate.txt "KeyState=LButton\\n" 10000
  expect-exit 0 10000)
# A registered command that reports: For without its End parameter.
kestrel_e2e(NAME engine.run_required_parameter STEPS
  start ${engine_probe} run "Define {" "First=1" "}" "For {" "Begin=$(First)" "Add=1" "}" --
  box-title Kestrel
  box-text "Required parameter is missing !\\r\\n  [command] For\\r\\n  [parameter] End\\r\\n  [line] 5"
  box-press IDOK
  expect-exit 1 10000)
