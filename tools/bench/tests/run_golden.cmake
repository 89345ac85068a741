# Runs a bench script and compares what it printed with its expected output.
# -DBENCH= -DSCRIPT= -DEXPECTED=
execute_process(COMMAND ${BENCH} --keep-going ${SCRIPT} OUTPUT_VARIABLE actual RESULT_VARIABLE status)
file(READ ${EXPECTED} expected)
if(NOT actual STREQUAL expected)
  message(FATAL_ERROR "the script printed:\n${actual}\nexpected:\n${expected}")
endif()
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the script ended with status ${status}")
endif()
