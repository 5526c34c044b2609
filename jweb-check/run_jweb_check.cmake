# Runs jweb-check on one module; fails unless it exits with STATUS and prints
# each of the texts in EXPECTED (separated by "@@").
#   cmake -DTOOL= -DMODULE= -DSTATUS= -DEXPECTED= -P run_jweb_check.cmake
execute_process(COMMAND ${TOOL} ${MODULE} OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE status)
string(REPLACE "\r\n" "\n" out "${out}")  # a Windows console program's lines
message("${out}")
if(NOT status STREQUAL STATUS)
  message(FATAL_ERROR "jweb-check exited with ${status}, expected ${STATUS}")
endif()
string(REPLACE "@@" ";" texts "${EXPECTED}")
foreach(text IN LISTS texts)
  string(FIND "${out}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "jweb-check did not print: ${text}")
  endif()
endforeach()
