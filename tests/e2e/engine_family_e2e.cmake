# The script engine's scenarios under Wine: the engine probe (engine_probe_win32.cpp) shows the
# information dialog and script error reports while the driver reads and dismisses them.

add_executable(e2e_engine_probe engine_probe_win32.cpp)
target_compile_options(e2e_engine_probe PRIVATE -municode)
target_link_options(e2e_engine_probe PRIVATE -municode)
target_link_libraries(e2e_engine_probe PRIVATE kestrel_win kestrel_raw)

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
