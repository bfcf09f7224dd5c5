# Runs one driver scenario while the suite's Wine prefix says the screen has 144 DPI, and puts the
# prefix's setting back whether the scenario passed or not, so that no other scenario sees it.
# Usage: cmake -DWINE_RUN=<wine-run> -DDRIVER=<e2e_driver.exe> -DFOLDER=<scenario folder>
#              -DSTEPS=<driver arguments> -P dpi_start.cmake
set(key "HKCU\\Control Panel\\Desktop")
execute_process(COMMAND "${WINE_RUN}" reg.exe query "${key}" /v LogPixels
                OUTPUT_VARIABLE before ERROR_QUIET RESULT_VARIABLE queried)
set(old "")
if(queried EQUAL 0 AND before MATCHES "LogPixels[ \t]+REG_DWORD[ \t]+0x([0-9a-fA-F]+)")
  math(EXPR old "0x${CMAKE_MATCH_1}")
endif()

execute_process(COMMAND "${WINE_RUN}" reg.exe add "${key}" /v LogPixels /t REG_DWORD /d 144 /f
                OUTPUT_QUIET RESULT_VARIABLE added)
if(NOT added EQUAL 0)
  message(FATAL_ERROR "cannot set LogPixels in the prefix (${added})")
endif()

# The scenario's own time limit is well inside the test's, so that a scenario that hangs is
# stopped here and the setting is still put back.
execute_process(COMMAND "${WINE_RUN}" "${DRIVER}" ${STEPS} WORKING_DIRECTORY "${FOLDER}" RESULT_VARIABLE result
                TIMEOUT 80)

if(old STREQUAL "")
  execute_process(COMMAND "${WINE_RUN}" reg.exe delete "${key}" /v LogPixels /f OUTPUT_QUIET RESULT_VARIABLE restored)
else()
  execute_process(COMMAND "${WINE_RUN}" reg.exe add "${key}" /v LogPixels /t REG_DWORD /d ${old} /f
                  OUTPUT_QUIET RESULT_VARIABLE restored)
endif()
if(NOT restored EQUAL 0)
  message(FATAL_ERROR "cannot put LogPixels back in the prefix (${restored})")
endif()
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the scenario failed (${result})")
endif()
