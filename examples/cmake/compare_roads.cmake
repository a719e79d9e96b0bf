# The field file in FIRST and the one in SECOND hold the same map: korvane-inspect --compare
# finds no difference (its default tolerance is 0).
#   cmake -DINSPECT=... -DFIRST=... -DSECOND=... -P compare_roads.cmake
file(GLOB first "${FIRST}/eh_EMS.#*")
file(GLOB second "${SECOND}/eh_EMS.#*")
list(LENGTH first n_first)
list(LENGTH second n_second)
if(NOT n_first EQUAL 1 OR NOT n_second EQUAL 1)
  message(FATAL_ERROR "want one field file in each road, found [${first}] and [${second}]")
endif()
execute_process(COMMAND "${INSPECT}" "${first}" --compare "${second}"
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the roads' maps differ (korvane-inspect status ${status}):\n${out}${err}")
endif()
