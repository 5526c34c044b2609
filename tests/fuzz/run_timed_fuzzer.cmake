# Runs one fuzz target for 60 seconds on a working copy of its corpus.
# Inputs: FUZZER (the executable), CORPUS (checked-in seeds), WORK_DIR.
foreach(var FUZZER CORPUS WORK_DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "run_timed_fuzzer.cmake needs -D${var}=...")
  endif()
endforeach()

file(MAKE_DIRECTORY ${WORK_DIR}/corpus ${WORK_DIR}/artifacts)
file(COPY ${CORPUS}/ DESTINATION ${WORK_DIR}/corpus)

execute_process(
  COMMAND ${FUZZER} -max_total_time=60 -print_final_stats=1
          -artifact_prefix=${WORK_DIR}/artifacts/ ${WORK_DIR}/corpus
  WORKING_DIRECTORY ${WORK_DIR}
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${FUZZER} failed (${result}); crash inputs are in ${WORK_DIR}/artifacts")
endif()
