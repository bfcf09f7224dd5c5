# The dialog commands under Wine, driven as a user would: kestrel.exe runs an action of a profile
# from the command line; the dialog probe (dialogs_probe_win32.cpp), started first, reads the
# question or form the action shows and presses its buttons or fills its fields; the action has
# the helper write what the script then saw. Each dialog's text names its scenario, so that
# scenarios running side by side never act on each other's dialogs.
if(NOT TARGET kestrel)
  return()
endif()

add_executable(e2e_dialogs_probe dialogs_probe_win32.cpp)
kestrel_wide_entry(e2e_dialogs_probe)
target_link_libraries(e2e_dialogs_probe PRIVATE kestrel_common)

set(dialogs_files ${CMAKE_CURRENT_BINARY_DIR}/dialogs.files)
set(dialogs_probe $<TARGET_FILE:e2e_dialogs_probe>)
kestrel_win_path(dialogs_helper ${CMAKE_CURRENT_BINARY_DIR}/e2e_helper.exe)

# dialogs_profile(<scenario> <profile text>): writes the start-up profile and the launcher profile
# of scenario dialogs.<scenario> and sets <scenario>_ini to the start-up profile's Windows path.
# In the text, @OUT@ stands for the scenario's folder and @WRITE@ for a Shell block's lines that
# have the helper write a file: "@WRITE@ name.txt text" becomes such a block.
function(dialogs_profile name text)
  set(folder ${dialogs_files}/${name})
  file(MAKE_DIRECTORY ${folder})
  kestrel_win_path(win_folder ${folder})
  kestrel_win_path(out_folder ${CMAKE_CURRENT_BINARY_DIR}/dialogs.${name})
  string(REGEX REPLACE "@WRITE@ ([^ \n]+) ([^\n]+)"
         "Shell {\n  Command=@HELPER@\n  Parameter=write \"@OUT@\\\\\\1\" \"\\2\" 0\n  Wait=WaitForDone\n  Timeout=-1\n}"
         text "${text}")
  string(REPLACE "@OUT@" "${out_folder}" text "${text}")
  string(REPLACE "@HELPER@" "${dialogs_helper}" text "${text}")
  file(WRITE ${folder}/k.ini "${text}")
  file(WRITE ${folder}/s.ini "[Common]\nProgram=Kestrel\nConfigFile=${win_folder}\\k.ini\n")
  set(${name}_ini "${win_folder}\\s.ini" PARENT_SCOPE)
endfunction()

# A question with its own captions: empty captions are dropped, the pressed caption becomes
# Result and the run goes on.
dialogs_profile(ask_buttons [=[
[Action:Go]
AskMessage {
  Parameter=Pick a colour (ask_buttons)
  Button=Red,,Green,Blue,
  AbortBy=Blue
}
@WRITE@ answer.txt result=$(Result)
]=])
kestrel_e2e(NAME dialogs.ask_buttons STEPS
  start ${dialogs_probe} @DIR@/probe.log
    buttons Kestrel "(ask_buttons)" "Red|Green|Blue"
    press Kestrel "(ask_buttons)" Green --
  start $<TARGET_FILE:kestrel> -p "${ask_buttons_ini}" -a Go --
  expect-exit 0 60000
  file-contains @DIR@/probe.log "ok buttons Red|Green|Blue\\nok press Green\\ndone" 10000
  file-contains @DIR@/answer.txt "result=Green")

# The AbortBy caption and the close box both stop the run: the launcher exits with 1, Result
# keeps its value and nothing after the question runs (its write would replace the trace).
foreach(case abort_by closed)
  dialogs_profile(ask_${case} "[Action:Go]
Define {
  Result=unset
}
@WRITE@ trace.txt before=$(Result)
AskMessage {
  Parameter=Go on? (ask_${case})
  AbortBy=No
}
@WRITE@ trace.txt after=$(Result)
")
endforeach()
kestrel_e2e(NAME dialogs.ask_abort_by STEPS
  start ${dialogs_probe} @DIR@/probe.log buttons Kestrel "(ask_abort_by)" "Yes|No" press Kestrel "(ask_abort_by)" No --
  start $<TARGET_FILE:kestrel> -p "${ask_abort_by_ini}" -a Go --
  expect-exit 1 60000
  file-contains @DIR@/probe.log "done" 10000
  file-contains @DIR@/trace.txt "before=unset"
  file-lacks @DIR@/trace.txt "after")
kestrel_e2e(NAME dialogs.ask_closed STEPS
  start ${dialogs_probe} @DIR@/probe.log close Kestrel "(ask_closed)" --
  start $<TARGET_FILE:kestrel> -p "${ask_closed_ini}" -a Go --
  expect-exit 1 60000
  file-contains @DIR@/probe.log "done" 10000
  file-contains @DIR@/trace.txt "before=unset"
  file-lacks @DIR@/trace.txt "after")

# A form: typed fields land in their variables, a read-only field keeps its text, a field's own
# hints are offered; a second form in the same run offers the texts of the first for a field
# that brings none.
dialogs_profile(input_fields [=[
[Action:Go]
InputText {
  Parameter=Your details (input_first)
  0:Variable=Name
  0:Label=Name
  0:Initial=draft
  1:Variable=City
  1:Label=City
  1:Hints=Oslo,Rome
  2:Variable=Fixed
  2:Label=Fixed
  2:Initial=kept
  2:ReadOnly=True
}
@WRITE@ first.txt $(Result)|$(Name)|$(City)|$(Fixed)
InputText {
  Parameter=Once more (input_second)
  0:Variable=Again
  0:Label=Name again
}
@WRITE@ second.txt $(Result)|$(Again)
]=])
kestrel_e2e(NAME dialogs.input_fields STEPS
  start ${dialogs_probe} @DIR@/probe.log
    hints "Input text ?" "(input_first)" City "Oslo|Rome"
    fill "Input text ?" "(input_first)" Name Ada
    fill "Input text ?" "(input_first)" City Lima
    press "Input text ?" "(input_first)" Finish
    hints "Input text ?" "(input_second)" "Name again" Ada
    fill "Input text ?" "(input_second)" "Name again" Grace
    press "Input text ?" "(input_second)" Finish --
  start $<TARGET_FILE:kestrel> -p "${input_fields_ini}" -a Go --
  expect-exit 0 60000
  file-contains @DIR@/probe.log "done" 10000
  file-contains @DIR@/first.txt "True|Ada|Lima|kept"
  file-contains @DIR@/second.txt "True|Grace")

# Cancelled: with NotAbort the run goes on with Result "False" and the field's variable as it
# was; without it the run stops (the last write would replace the trace).
dialogs_profile(input_cancel [=[
[Action:Go]
Define {
  Name=before
}
InputText {
  Parameter=Cancel me (input_cancel)
  NotAbort=True
  0:Variable=Name
  0:Label=Name
}
@WRITE@ trace.txt first=$(Result)|$(Name)
InputText {
  Parameter=Cancel me too (input_cancel_stops)
  0:Variable=Name
  0:Label=Name
}
@WRITE@ trace.txt after
]=])
kestrel_e2e(NAME dialogs.input_cancel STEPS
  start ${dialogs_probe} @DIR@/probe.log
    fill "Input text ?" "(input_cancel)" Name typed
    press "Input text ?" "(input_cancel)" Cancel
    press "Input text ?" "(input_cancel_stops)" Cancel --
  start $<TARGET_FILE:kestrel> -p "${input_cancel_ini}" -a Go --
  expect-exit 1 60000
  file-contains @DIR@/probe.log "done" 10000
  file-contains @DIR@/trace.txt "first=False|before")

# A message: the dialog of script errors shows the text, and the run goes on once it is closed.
dialogs_profile(put_message [=[
[Action:Go]
Define {
  Where=the archive
}
PutMessage {
  Parameter=Copied to $(Where).
}
@WRITE@ after.txt after
]=])
kestrel_e2e(NAME dialogs.put_message STEPS
  start $<TARGET_FILE:kestrel> -p "${put_message_ini}" -a Go --
  box-title Kestrel
  box-text "Copied to the archive."
  box-press IDOK
  expect-exit 0 60000
  file-contains @DIR@/after.txt "after")

# A password field: masked, offered no hints though the script gives some, and not offered to a
# later form either. The script hands the password to a program (a Shell parameter), copies it
# (Define, Expand) and puts it on the clipboard; the helper's file proves each copy holds it, and
# the log, written with every record letter, holds it in no code and "***" in its place.
set(password_typed "Kennwort-Grün-77")
dialogs_profile(input_password [=[
[Option]
LogFolder=@OUT@\log
[Action:Go]
InputText {
  Parameter=Sign in (input_password)
  0:Variable=Pass
  0:Label=Password
  0:Hints=alpha,beta
  0:Password=True
}
Define {
  Copy=$(Pass)
}
Expand {
  Typed=$(Pass)
  Define {
    Literal=$(Typed)
  }
}
@WRITE@ secret.txt copy=$(Copy)|literal=$(Literal)|after=$(After:$(Pass):9)
ToClipboard {
  Parameter=$(Literal)
}
InputText {
  Parameter=Next (input_password_next)
  0:Variable=Other
  0:Label=Other
}
]=])
kestrel_e2e(NAME dialogs.input_password STEPS
  start ${dialogs_probe} @DIR@/probe.log
    masked "Input text ?" "(input_password)" Password
    hints "Input text ?" "(input_password)" Password -
    fill "Input text ?" "(input_password)" Password "${password_typed}"
    press "Input text ?" "(input_password)" Finish
    hints "Input text ?" "(input_password_next)" Other -
    press "Input text ?" "(input_password_next)" Finish --
  start $<TARGET_FILE:kestrel> -p "${input_password_ini}" -a Go --
  expect-exit 0 60000
  file-contains @DIR@/probe.log "done" 10000
  file-contains @DIR@/secret.txt "copy=${password_typed}|literal=${password_typed}|after=Grün-77"
  start $<TARGET_FILE:e2e_crash> log-lacks @DIR@/log "${password_typed}" --
  expect-exit 0 10000
  start $<TARGET_FILE:e2e_crash> log-lacks @DIR@/log "Grün-77" --
  expect-exit 0 10000)
