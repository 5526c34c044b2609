# Runs the Windows test program under Wine; passes only when the program's own
# closing line reports tests passed and none failed, and the exit status is 0.
# Wine can end with status 0 after a crash, so the status alone proves nothing.
#   cmake -DWINE_RUN=... -DPROGRAM=... -DARGUMENTS=a|b|c -P run_checked.cmake
string(REPLACE "|" ";" arguments "${ARGUMENTS}")
execute_process(COMMAND ${WINE_RUN} ${PROGRAM} ${arguments}
  RESULT_VARIABLE status OUTPUT_VARIABLE output ECHO_OUTPUT_VARIABLE)
string(REGEX MATCH "(^|\n)windows: ([0-9]+) passed, ([0-9]+) failed" summary "${output}")
if(NOT summary)
  message(FATAL_ERROR "no closing line from the test program (crashed?); exit status ${status}")
endif()
set(passed ${CMAKE_MATCH_2})
set(failed ${CMAKE_MATCH_3})
if(NOT failed EQUAL 0 OR passed EQUAL 0 OR NOT status EQUAL 0)
  message(FATAL_ERROR "${passed} passed, ${failed} failed, exit status ${status}")
endif()
