# The profile checker as a user runs it from a command prompt, with
#   cmake "-DKESTREL=<program>[;<its runner>]" -DFILE=<profile as the program names it>
#         -DEXPECTED=<expected report, "@PATH@" for the profile> -DCODE=<exit code> -P kestrel_check.cmake
# The report is the program's standard output, compared exactly; nothing goes to standard error.

cmake_minimum_required(VERSION 3.20)

execute_process(COMMAND ${KESTREL} -k -p ${FILE} RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err
                TIMEOUT 120)
file(READ "${EXPECTED}" expected)
string(REPLACE "@PATH@" "${FILE}" expected "${expected}")
if(NOT code STREQUAL "${CODE}" OR NOT out STREQUAL expected OR NOT err STREQUAL "")
  message(FATAL_ERROR "kestrel -k -p ${FILE}\n  exit code ${code} (expected ${CODE})\n"
                      "  stdout:\n${out}\n  expected:\n${expected}\n  stderr: [${err}]")
endif()
