# Global hotkeys and live reload under Wine, driven as a user would: keys typed with SendInput,
# the profile saved by another process while the launcher runs.
#
# Sizes: with the defaults a column of n buttons makes a window 24 n + 18 pixels high.

if(NOT TARGET kestrel)
  return()
endif()

set(hotkeys_helper $<TARGET_FILE:e2e_helper>)
set(hotkeys_probe $<TARGET_FILE:e2e_buttons_probe>)
set(hotkeys_startup
  start ${hotkeys_helper} lines @DIR@/s.ini 0 "[Common]" "Program=Kestrel" "ConfigFile=@DIR@\\k.ini" --
  expect-exit 0 10000)

# A button that has the helper write One-<key state>.txt, and an action that has it write Act.txt
# (an action's run sets no key state).
set(hotkeys_one
    "[Button:One]" "HotKey=Ctrl+Alt+1" "Shell {" "Command=${hotkeys_helper}"
    "Parameter=write \"@DIR@\\One-$(KeyState).txt\" ran$(KeyState) 0" "Wait=WaitForDone" "Timeout=-1" "}")
set(hotkeys_act
    "[Action:Act]" "HotKey=Ctrl+Alt+2" "Shell {" "Command=${hotkeys_helper}"
    "Parameter=write \"@DIR@\\Act.txt\" ranAction 0" "Wait=WaitForDone" "Timeout=-1" "}")

# The launcher's key brings it back in front and hides it again (minimised without the tray);
# then twenty rounds are timed.
kestrel_e2e(NAME hotkeys.toggle STEPS
  ${hotkeys_startup}
  start ${hotkeys_helper} lines @DIR@/k.ini 0 "[Option]" "HotKey=Ctrl+Alt+K" ${hotkeys_one} --
  expect-exit 0 10000
  start $<TARGET_FILE:kestrel> -p @DIR@/s.ini --
  wait-window * Kestrel 15000
  window-shown KestrelView Kestrel 1 5000
  toggle-key KestrelView Kestrel CTRL+ALT+K 0 5000
  show-state KestrelView Kestrel min 5000
  toggle-key KestrelView Kestrel CTRL+ALT+K 1 5000
  measure-toggle KestrelView Kestrel CTRL+ALT+K 20
  close-window * Kestrel
  expect-exit 0 10000)

# With the tray the key hides the window; a button's and an action's keys run their scripts while
# it stays hidden.
kestrel_e2e(NAME hotkeys.buttons_hidden STEPS
  ${hotkeys_startup}
  start ${hotkeys_helper} lines @DIR@/k.ini 0 "[Option]" "SysTray=True" "HotKey=Ctrl+Alt+K" ${hotkeys_one}
        ${hotkeys_act} --
  expect-exit 0 10000
  start $<TARGET_FILE:kestrel> -p @DIR@/s.ini --
  wait-window * Kestrel 15000
  window-shown KestrelView Kestrel 1 5000
  toggle-key KestrelView Kestrel CTRL+ALT+K 0 5000
  key CTRL+ALT+1
  file-contains @DIR@/One-LButton.txt ranLButton 10000
  key CTRL+ALT+2
  file-contains @DIR@/Act.txt ranAction 10000
  window-shown KestrelView Kestrel 0 100
  toggle-key KestrelView Kestrel CTRL+ALT+K 1 5000
  close-window * Kestrel
  expect-exit 0 10000)

# Keys that cannot be had: one box lists them all; the launcher runs on. A second launcher asking
# for the first one's key is told that another program holds it.
kestrel_e2e(NAME hotkeys.refused STEPS
  ${hotkeys_startup}
  start ${hotkeys_helper} lines @DIR@/k.ini 0 "[Option]" "HotKey=Ctrl+Alt+Nope" "[Button:Bare]" "HotKey=K"
        "[Button:Good]" "HotKey=Ctrl+Alt+G" "[Action:Twice]" "HotKey=ctrl+alt+g" --
  expect-exit 0 10000
  start $<TARGET_FILE:kestrel> -p @DIR@/s.ini --
  box-title Kestrel
  box-text "These hotkeys could not be registered:\\r\\n[Option] HotKey=Ctrl+Alt+Nope: \"nope\" is neither a modifier (Ctrl, Alt, Shift, Win) nor a key name\\r\\n[Button:Bare] HotKey=K: a key without Ctrl, Alt, Shift or Win: only F1-F24 and Pause may stand alone\\r\\n[Action:Twice] HotKey=ctrl+alt+g: the key is taken already by [Button:Good] HotKey=Ctrl+Alt+G"
  box-press IDOK
  wait-window * Kestrel 15000
  start ${hotkeys_helper} lines @DIR@/s2.ini 0 "[Common]" "Program=Kestrel" "ConfigFile=@DIR@\\k2.ini" --
  expect-exit 0 10000
  start ${hotkeys_helper} lines @DIR@/k2.ini 0 "[Button:Other]" "HotKey=Ctrl+Alt+G" --
  expect-exit 0 10000
  start $<TARGET_FILE:kestrel> -p @DIR@/s2.ini --
  box-title Kestrel
  box-text "These hotkeys could not be registered:\\r\\n[Button:Other] HotKey=Ctrl+Alt+G: another program holds this key already"
  box-press IDOK
  close-window * Kestrel
  window-gone * Kestrel 10000)
set_tests_properties(e2e.hotkeys.toggle e2e.hotkeys.buttons_hidden e2e.hotkeys.refused PROPERTIES RUN_SERIAL TRUE)

# Saved by another program: the launcher restarts on the new profile (three buttons instead of
# one) where it stood. The driver copies the new file over the old one, as a program saving in
# place does.
kestrel_e2e(NAME reload.outside_save STEPS
  ${hotkeys_startup}
  start ${hotkeys_helper} lines @DIR@/k.ini 0 "[Button:One]" --
  expect-exit 0 10000
  start ${hotkeys_helper} lines @DIR@/k3.ini 0 "[Button:One]" "[Button:Two]" "[Button:Three]" --
  expect-exit 0 10000
  start $<TARGET_FILE:kestrel> -p @DIR@/s.ini --
  wait-window * Kestrel 15000
  window-size KestrelView Kestrel * 42 5000
  copy-file @DIR@/k3.ini @DIR@/k.ini
  window-size KestrelView Kestrel * 90 2000
  expect-exit 0 5000
  close-window * Kestrel
  window-gone * Kestrel 10000)

# An edit from the button box (Delete on the selected button rewrites the profile) is the
# launcher's own: no restart. The launcher's hotkey brings it back with the keys in the box.
kestrel_e2e(NAME reload.own_edit STEPS
  ${hotkeys_startup}
  start ${hotkeys_helper} lines @DIR@/k.ini 0 "[Option]" "HotKey=Ctrl+Alt+K" "[Button:One]" "[Button:Two]" --
  expect-exit 0 10000
  start $<TARGET_FILE:kestrel> -p @DIR@/s.ini --
  wait-window * Kestrel 15000
  window-shown KestrelView Kestrel 1 5000
  toggle-key KestrelView Kestrel CTRL+ALT+K 0 5000
  toggle-key KestrelView Kestrel CTRL+ALT+K 1 5000
  key HOME DOWN DELETE
  file-lacks @DIR@/k.ini "[Button:Two]" 10000
  window-size KestrelView Kestrel * 42 5000
  still-running 2000
  window-size KestrelView Kestrel * 42 10
  close-window * Kestrel
  window-gone * Kestrel 10000)

# A broken save keeps the old window and says why and where; the mended save is taken.
kestrel_e2e(NAME reload.broken_save STEPS
  ${hotkeys_startup}
  start ${hotkeys_helper} lines @DIR@/k.ini 0 "[Button:One]" --
  expect-exit 0 10000
  start ${hotkeys_helper} lines @DIR@/broken.ini 0 "[Button:One]" "[Button:Two]" "Shell {" "Command=x.exe" --
  expect-exit 0 10000
  start ${hotkeys_helper} lines @DIR@/mended.ini 0 "[Button:One]" "[Button:Two]" "Shell {" "Command=x.exe" "}" --
  expect-exit 0 10000
  start $<TARGET_FILE:kestrel> -p @DIR@/s.ini --
  wait-window * Kestrel 15000
  copy-file @DIR@/broken.ini @DIR@/k.ini
  box-title Kestrel
  box-text-has "k.ini(3): error: this \"{\" is never closed in [Button:Two]"
  box-press IDOK
  still-running 1000
  window-size KestrelView Kestrel * 42 10
  copy-file @DIR@/mended.ini @DIR@/k.ini
  window-size KestrelView Kestrel * 66 3000
  expect-exit 0 5000
  close-window * Kestrel
  window-gone * Kestrel 10000)
set_tests_properties(e2e.reload.outside_save e2e.reload.own_edit e2e.reload.broken_save PROPERTIES RUN_SERIAL TRUE)

# A program that saves the profile 100 times a second for 10 s: the launcher restarts once the
# saves stop (no storm of restarts), on the last state; an editor that deletes the file and writes
# it anew is followed too. Every instance writes a log file into logs\, one per start.
kestrel_e2e(NAME reload.storm STEPS
  ${hotkeys_startup}
  start ${hotkeys_helper} lines @DIR@/k.ini 0 "[Button:One]" "[Option]" "LogFolder=logs" --
  expect-exit 0 10000
  start $<TARGET_FILE:kestrel> -p @DIR@/s.ini --
  wait-window * Kestrel 15000
  window-size KestrelView Kestrel * 42 5000
  start ${hotkeys_helper} storm @DIR@/k.ini 1000 10 "[Button:One]" "[Button:Two]" "[Option]" "LogFolder=logs" --
  expect-exit 0 30000
  window-size KestrelView Kestrel * 66 3000
  start ${hotkeys_helper} recreate @DIR@/k.ini "[Button:One]" "[Button:Two]" "[Button:Three]" "[Option]"
        "LogFolder=logs" --
  expect-exit 0 10000
  window-size KestrelView Kestrel * 90 3000
  close-window * Kestrel
  window-gone * Kestrel 10000)
set_tests_properties(e2e.reload.storm PROPERTIES RUN_SERIAL TRUE)
