# Runs korvane on one example in a scratch folder, as a user would: a copy
# of the example's folder as working directory, no arguments. Then checks
# the ends of the run and the field file against the analytic field.
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")
file(GLOB inputs "${SOURCE_DIR}/${EXAMPLE}/*")
file(COPY ${inputs} DESTINATION "${WORK_DIR}")

execute_process(COMMAND "${KORVANE}" WORKING_DIRECTORY "${WORK_DIR}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "korvane ended with status ${rc}:\n${err}")
endif()
if(NOT out STREQUAL "" OR NOT err STREQUAL "")
  message(FATAL_ERROR "a normal run prints nothing, but korvane printed:\n${out}${err}")
endif()
if(NOT EXISTS "${WORK_DIR}/korvane.log")
  message(FATAL_ERROR "korvane left no korvane.log")
endif()

execute_process(COMMAND "${GENERATOR}" --check "${EXAMPLE}" "${WORK_DIR}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the field file of ${EXAMPLE} does not match the analytic field")
endif()
