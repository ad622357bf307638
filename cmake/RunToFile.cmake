# cmake -DPROGRAM=<file> -DARGS=<a;b> -DOUTPUT=<file> -P RunToFile.cmake
# Runs a program and keeps its standard output in a file (the manual pages
# and completions the programs write about themselves); fails with it.
execute_process(COMMAND ${PROGRAM} ${ARGS} OUTPUT_FILE ${OUTPUT}.part RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE ${OUTPUT}.part)
  message(FATAL_ERROR "${PROGRAM} ${ARGS} failed: ${status}")
endif()
file(RENAME ${OUTPUT}.part ${OUTPUT})
