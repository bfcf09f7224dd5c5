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

elseif(CASE STREQUAL "run-unavailable")
  file(WRITE "${folder}/ok.ini" "[Common]\nProgram=Kestrel\n")
  run_kestrel(-p "${folder}/ok.ini" -a Act)
  expect_result(1 "" "Cannot run \"Act\" (-a): command-line runs are not available in this build.\n")

else()
  message(FATAL_ERROR "unknown case ${CASE}")
endif()
