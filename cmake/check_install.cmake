# Installs the build into a scratch prefix and runs the installed tools from there: the
# version, the shipped example converted by the installed korvane in a scratch folder, the
# companions' help, and every installed man page rendered by man without a warning.
#   cmake -DBUILD_DIR=... -DSCRATCH=... -P check_install.cmake
file(REMOVE_RECURSE "${SCRATCH}")
set(prefix "${SCRATCH}/prefix")
execute_process(COMMAND ${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${prefix}"
                OUTPUT_QUIET RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install failed with status ${status}")
endif()

function(run_installed)
  cmake_parse_arguments(RUN "" "DIR" "COMMAND" ${ARGN})
  if(NOT RUN_DIR)
    set(RUN_DIR "${SCRATCH}")
  endif()
  execute_process(COMMAND ${RUN_COMMAND} WORKING_DIRECTORY "${RUN_DIR}"
                  RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${RUN_COMMAND} ended with status ${status}:\n${out}${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

set(bin "${prefix}/bin")
run_installed(COMMAND "${bin}/korvane" --version)
if(NOT out MATCHES "^korvane [0-9]")
  message(FATAL_ERROR "unexpected version line: ${out}")
endif()
run_installed(COMMAND "${bin}/korvane-inspect" --help)
if(EXISTS "${bin}/korvane-prepare")
  run_installed(COMMAND "${bin}/korvane-prepare" --help)
endif()

# The example as installed, converted from outside its folder.
file(COPY "${prefix}/share/doc/korvane/examples/quadrupole" DESTINATION "${SCRATCH}/case")
run_installed(COMMAND "${bin}/korvane" -C "${SCRATCH}/case/quadrupole")
file(GLOB field_files "${SCRATCH}/case/quadrupole/eh_EMS.#*")
if(NOT field_files)
  message(FATAL_ERROR "the installed korvane wrote no field file")
endif()
run_installed(COMMAND "${bin}/korvane-inspect" ${field_files} --field H)

file(GLOB pages "${prefix}/share/man/man1/*.1")
list(LENGTH pages page_count)
if(page_count LESS 2)
  message(FATAL_ERROR "man pages missing: ${pages}")
endif()
foreach(page IN LISTS pages)
  execute_process(COMMAND man -l --warnings ${page}
                  RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE err)
  if(NOT status EQUAL 0 OR NOT err STREQUAL "")
    message(FATAL_ERROR "man -l ${page}: status ${status}\n${err}")
  endif()
endforeach()
foreach(doc README.md guide.md inspect.md)
  if(NOT EXISTS "${prefix}/share/doc/korvane/${doc}")
    message(FATAL_ERROR "${doc} is not installed")
  endif()
endforeach()
file(REMOVE_RECURSE "${SCRATCH}")
