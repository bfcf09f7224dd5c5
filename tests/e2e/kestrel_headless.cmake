# One scenario of the headless kestrel, run with
#   cmake -DKESTREL=<program> -DWORK=<scratch folder> -DCASE=<name> -P kestrel_headless.cmake
# Each case starts the real program and checks its exit code, its output and the
# files it leaves behind.

cmake_minimum_required(VERSION 3.20)

set(usage_text "Arguments = [-p Profile] [-c ConfigFile] [-a Action] [-l|-r Button] [-d Button FullPath]")

function(fail what)
  message(FATAL_ERROR "${CASE}: ${what}\n  exit code: ${code}\n  stdout: [${out}]\n  stderr: [${err}]")
endfunction()

function(run_kestrel)
  execute_process(COMMAND ${KESTREL} ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE error
                  TIMEOUT 60)
  set(code "${result}" PARENT_SCOPE)
  set(out "${output}" PARENT_SCOPE)
  set(err "${error}" PARENT_SCOPE)
endfunction()

function(expect_result expected_code expected_out expected_err)
  if(NOT code STREQUAL "${expected_code}")
    fail("exit code ${expected_code} expected")
  endif()
  if(NOT out STREQUAL "${expected_out}")
    fail("stdout [${expected_out}] expected")
  endif()
  if(NOT err STREQUAL "${expected_err}")
    fail("stderr [${expected_err}] expected")
  endif()
endfunction()

set(folder "${WORK}/${CASE}")
file(REMOVE_RECURSE "${folder}")
file(MAKE_DIRECTORY "${folder}")

if(CASE STREQUAL "usage")
  run_kestrel(-h -p "${folder}/never.ini" -a Act)
  expect_result(0 "${usage_text}\n" "")
  if(EXISTS "${folder}/never.ini")
    fail("-h must not touch the start-up profile")
  endif()

elseif(CASE STREQUAL "bad-format")
  set(content "[Common]\nConfigFile=other.ini\n")
  file(WRITE "${folder}/bad.ini" "${content}")
  run_kestrel(-p "${folder}/bad.ini" -a Act)
  expect_result(0 "" "Bad format profile !!\n")
  file(READ "${folder}/bad.ini" after)
  if(NOT after STREQUAL content)
    fail("a refused start-up profile must stay as it was")
  endif()

elseif(CASE STREQUAL "create")
  # The folder name holds a blank: the arguments must reach the tokeniser as one value.
  file(MAKE_DIRECTORY "${folder}/with blank")
  run_kestrel(-p "${folder}/with blank/new.ini")
  expect_result(0 "" "")
  if(NOT EXISTS "${folder}/with blank/new.ini")
    fail("the missing start-up profile was not created")
  endif()
  file(READ "${folder}/with blank/new.ini" created)
  if(NOT created MATCHES "\\[Common\\]\r?\nProgram=Kestrel\r?\n")
    fail("created profile holds [${created}]")
  endif()

elseif(CASE STREQUAL "run-undefined")
  # A name that no action has: the user is told, nothing runs, and the run counts as failed.
  file(WRITE "${folder}/ok.ini" "[Common]\nProgram=Kestrel\n")
  run_kestrel(-p "${folder}/ok.ini" -a Act)
  expect_result(1 "" "Kestrel: No such defined name !\n  [value] /[commandline] -a Act\n")
  run_kestrel(-p "${folder}/ok.ini" -l Act)
  expect_result(1 "" "Kestrel: No such defined name !\n  [value] /[commandline] -l Act\n")

elseif(CASE STREQUAL "run-action")
  # An action run: "#Initialize" first, then the action, whose script starts a program, waits
  # for it, reads its exit code, branches, loops and calls another action with a parameter.
  file(WRITE "${folder}/s.ini" "[Common]\nProgram=Kestrel\nConfigFile=${folder}/k.ini\n")
  file(WRITE "${folder}/k.ini" [=[
/ A comment line
[Option]
LogFolder=@FOLDER@/log
[Initialize]
Define {
  Greeting=hello
}
[Action:Go]
Shell {
  Command=/bin/sh
  Parameter=-c "exit 3"
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
  Shell {
    Command=/bin/sh
    Parameter=-c "printf $(Counter) >> loop.txt"
    Directory=@FOLDER@
    Wait=WaitForDone
    Timeout=-1
  }
}
Action {
  Name=Write
  Text=$(Greeting) $(Branch) $(Counter) $(Calc:6*7)
}
[Action:Write]
Shell {
  Command=/bin/sh
  Parameter=-c "echo '$(Text)' > out.txt"
  Directory=@FOLDER@
  Wait=WaitForDone
  Timeout=-1
}
]=])
  file(READ "${folder}/k.ini" profile)
  string(REPLACE "@FOLDER@" "${folder}" profile "${profile}")
  file(WRITE "${folder}/k.ini" "${profile}")
  run_kestrel(-p "${folder}/s.ini" -a Go)
  expect_result(0 "" "")
  file(READ "${folder}/out.txt" written)
  if(NOT written STREQUAL "hello three 4 42\n")
    fail("out.txt holds [${written}]")
  endif()
  file(READ "${folder}/loop.txt" loop)
  if(NOT loop STREQUAL "123")
    fail("loop.txt holds [${loop}]")
  endif()
  file(GLOB logs "${folder}/log/Kestrel_*.log")
  list(LENGTH logs count)
  if(NOT count EQUAL 1)
    fail("one log file expected, found [${logs}]")
  endif()
  file(READ "${logs}" log)
  foreach(record "// <TimeZone>" "@Executor>System:" "|Initialize" "@Executor>User:" "|(Comline-Action)Go"
                 "[Action][Name=Write]" "|$ Success")
    string(FIND "${log}" "${record}" at)
    if(at LESS 0)
      fail("the log lacks [${record}]:\n${log}")
    endif()
  endforeach()

elseif(CASE STREQUAL "run-failure")
  # A program that does not exist fails the run (the platform's refusal has no message of its
  # own): the exit code is 1 and the commands after it do not run.
  file(WRITE "${folder}/s.ini" "[Common]\nProgram=Kestrel\nConfigFile=${folder}/k.ini\n")
  file(WRITE "${folder}/k.ini" "[Action:Go]\nShell {\nCommand=${folder}/missing-program\nWait=WaitForDone\nTimeout=-1\n}\nShell {\nCommand=/bin/sh\nParameter=-c \"touch after\"\nDirectory=${folder}\n}\n")
  run_kestrel(-p "${folder}/s.ini" -a Go)
  if(NOT code STREQUAL "1")
    fail("a failed run must end with exit code 1")
  endif()
  if(EXISTS "${folder}/after")
    fail("the command after the failed one ran")
  endif()

elseif(CASE STREQUAL "run-button")
  # Button runs: the key state of -l and -r, and the drop of -d.
  file(WRITE "${folder}/s.ini" "[Common]\nProgram=Kestrel\nConfigFile=${folder}/k.ini\n")
  file(WRITE "${folder}/k.ini" "[Button:B]\nShell {\nCommand=/bin/sh\nParameter=-c \"echo '$(KeyState)|$(Drop)' >> out.txt\"\nDirectory=${folder}\nWait=WaitForDone\nTimeout=-1\n}\n")
  run_kestrel(-p "${folder}/s.ini" -l B)
  expect_result(0 "" "")
  run_kestrel(-p "${folder}/s.ini" -r B)
  expect_result(0 "" "")
  run_kestrel(-p "${folder}/s.ini" -d B /x/first.txt)
  expect_result(0 "" "")
  file(READ "${folder}/out.txt" written)
  if(NOT written STREQUAL "LButton|\nRButton|\nDrop|/x/first.txt\n")
    fail("out.txt holds [${written}]")
  endif()

elseif(CASE STREQUAL "run-interrupt")
  # Ctrl+C while a loop runs stops the loop as Escape does: the run fails with "User aborted !"
  # and the log holds the error, instead of the program dying with its log cut off.
  file(WRITE "${folder}/s.ini" "[Common]\nProgram=Kestrel\nConfigFile=${folder}/k.ini\n")
  file(WRITE "${folder}/k.ini" "[Option]\nLogFolder=${folder}/log\n[Action:Loop]\nShell {\nCommand=/bin/sh\nParameter=-c \"touch started\"\nDirectory=${folder}\nWait=WaitForDone\nTimeout=-1\n}\nWhile {\nCondition=True\nDefine {\nTurn=again\n}\n}\n")
  # The interrupt is sent once the loop has begun (the file before it exists), polled for at most
  # 20 s; the shell prints the program's exit code.
  execute_process(
    COMMAND sh -c "\"$0\" -p \"$1/s.ini\" -a Loop 2>\"$1/err.txt\" & pid=$!; n=0; while [ ! -f \"$1/started\" ] && [ $n -lt 400 ]; do sleep 0.05; n=$((n+1)); done; kill -INT $pid; wait $pid; echo $?"
            "${KESTREL}" "${folder}"
    OUTPUT_VARIABLE code OUTPUT_STRIP_TRAILING_WHITESPACE TIMEOUT 60)
  file(READ "${folder}/err.txt" err)
  if(NOT code STREQUAL "1" OR NOT err MATCHES "User aborted !")
    fail("an interrupted loop must fail the run with \"User aborted !\"")
  endif()
  file(GLOB logs "${folder}/log/Kestrel_*.log")
  file(READ "${logs}" log)
  if(NOT log MATCHES "#Error:UserAborted" OR NOT log MATCHES "\\|\\$ Failed")
    fail("the log lacks the error or the failed run")
  endif()

else()
  message(FATAL_ERROR "unknown case ${CASE}")
endif()
