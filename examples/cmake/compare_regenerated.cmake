# Regenerates both examples into WORK_DIR and fails when any file differs
# from the one checked in under SOURCE_DIR.
file(REMOVE_RECURSE "${WORK_DIR}")
execute_process(COMMAND "${GENERATOR}" "${WORK_DIR}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the generator failed with status ${rc}")
endif()
file(GLOB_RECURSE generated RELATIVE "${WORK_DIR}" "${WORK_DIR}/*")
if(NOT generated)
  message(FATAL_ERROR "the generator wrote nothing into ${WORK_DIR}")
endif()
set(differ "")
foreach(f IN LISTS generated)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files
                          "${WORK_DIR}/${f}" "${SOURCE_DIR}/${f}"
                  RESULT_VARIABLE same)
  if(NOT same EQUAL 0)
    list(APPEND differ "${f}")
  endif()
endforeach()
if(differ)
  message(FATAL_ERROR "checked-in example files differ from the generator's: ${differ}\n"
                      "regenerate them with: korvane-generate-examples <source>/examples")
endif()
