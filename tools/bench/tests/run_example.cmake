# Runs a bench script and compares what it printed with the expected output;
# both must also appear word for word in the README, which shows them.
# -DBENCH= -DSCRIPT= -DEXPECTED= -DREADME=
execute_process(COMMAND ${BENCH} --keep-going ${SCRIPT} OUTPUT_VARIABLE actual RESULT_VARIABLE status)
file(READ ${EXPECTED} expected)
if(NOT actual STREQUAL expected)
  message(FATAL_ERROR "the script printed:\n${actual}\nexpected:\n${expected}")
endif()
file(READ ${README} readme)
file(READ ${SCRIPT} script)
foreach(part script expected)
  string(FIND "${readme}" "${${part}}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "README.md does not show the example's ${part} as it stands in ${SCRIPT} / ${EXPECTED}")
  endif()
endforeach()
