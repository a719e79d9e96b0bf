# Runs the whole road on an example in a folder of the build tree: korvane-prepare reads the
# example's export as the solver saved it and drafts the table and korvane.dat in RUN_DIR,
# then korvane -C RUN_DIR converts it. Shows the report and the run log.
file(REMOVE_RECURSE "${RUN_DIR}")
file(GLOB exports "${EXAMPLE_DIR}/*_export.txt")
if(NOT exports)
  message(FATAL_ERROR "no *_export.txt in ${EXAMPLE_DIR}")
endif()
list(GET exports 0 export)
execute_process(COMMAND "${KORVANE_PREPARE}" "${export}" --dir "${RUN_DIR}"
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "korvane-prepare ended with status ${status}")
endif()
execute_process(COMMAND "${KORVANE}" -C "${RUN_DIR}" RESULT_VARIABLE status)
file(READ "${RUN_DIR}/korvane.log" log)
string(REPLACE "\r" "" log "${log}")
message("${log}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "korvane ended with status ${status}")
endif()
message("Converted ${export}: table, control file, run log and field file are in ${RUN_DIR}")
