# Makes one page of korvane-inspect --report in a scratch folder and checks it in headless
# chromium with check_page.mjs; or, for CASE screenshot, writes the top of the quadrupole's
# page to SHOT.
#   cmake -DCASE=quadrupole|check_fault|large_departure|largest_map|screenshot
#         -DKORVANE=... -DKORVANE_INSPECT=... -DMAPS=... -DNODE=... -DCHROMIUM=...
#         -DLIBRARY_DIR=... -DSOURCE_DIR=... -DSCRATCH=... [-DSHOT=...] -P browser_page.cmake
# LIBRARY_DIR holds check_page.mjs beside the node_modules it imports from.
file(REMOVE_RECURSE "${SCRATCH}")
file(MAKE_DIRECTORY "${SCRATCH}")

function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY "${SCRATCH}" RESULT_VARIABLE status
                  OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(status "${status}" PARENT_SCOPE)
  set(out "${out}" PARENT_SCOPE)
  set(err "${err}" PARENT_SCOPE)
endfunction()

# The quadrupole example converted on the shipped road, for the cases that measure it.
function(convert_quadrupole)
  file(GLOB shipped LIST_DIRECTORIES false "${SOURCE_DIR}/examples/quadrupole/*")
  list(FILTER shipped EXCLUDE REGEX "_export\\.txt$")
  file(COPY ${shipped} DESTINATION "${SCRATCH}")
  run("${KORVANE}" -C "${SCRATCH}")
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "korvane ended with status ${status}: ${err}")
  endif()
endfunction()

set(expect "")
set(limits "")
set(statuses 0)
if(CASE STREQUAL "quadrupole" OR CASE STREQUAL "screenshot")
  convert_quadrupole()
  set(arguments "eh_EMS.#01" --source korvane.dat)
  list(APPEND expect "Checks: no fault found" "source departure: max" "within the tolerance")
elseif(CASE STREQUAL "large_departure")
  # The same map against its table read with fscale 1.3 times larger: a departure of 0.3.
  convert_quadrupole()
  file(READ "${SCRATCH}/korvane.dat" control)
  string(REGEX MATCH "\n([0-9]+)( +fscale)" line "${control}")
  if(NOT line)
    message(FATAL_ERROR "the example's korvane.dat has no whole-number fscale to change")
  endif()
  math(EXPR larger "${CMAKE_MATCH_1} * 13 / 10")
  string(REPLACE "${line}" "\n${larger}${CMAKE_MATCH_2}" control "${control}")
  file(WRITE "${SCRATCH}/larger.dat" "${control}")
  set(arguments "eh_EMS.#01" --source larger.dat)
  set(statuses 1)
  list(APPEND expect "source departure: max" "DEPARTS")
elseif(CASE STREQUAL "check_fault" OR CASE STREQUAL "largest_map")
  run("${MAPS}" "${SCRATCH}")
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "the test maps were not written: ${err}")
  endif()
  if(CASE STREQUAL "check_fault")
    set(arguments "nan.#01" --field H)
    set(statuses 1)
    list(APPEND expect "Checks: FAULT" "NaN or infinite")
  else()
    set(arguments "largest.#01")
    set(statuses 0 1)
    list(APPEND expect "Checks:")
    # The largest map korvane writes: the page under 4 MB, loaded within 2 s.
    set(limits --max-bytes 4000000 --max-load-ms 2000)
  endif()
else()
  message(FATAL_ERROR "no case ${CASE}")
endif()

run("${KORVANE_INSPECT}" ${arguments} --report report.html)
list(FIND statuses "${status}" known)
if(known EQUAL -1)
  message(FATAL_ERROR "korvane-inspect ${arguments} ended with status ${status}:\n${out}${err}")
endif()

# The script runs from the library's folder, where its import finds playwright-core.
set(check "${NODE}" "${LIBRARY_DIR}/check_page.mjs" --chromium "${CHROMIUM}"
          --page "${SCRATCH}/report.html")
if(CASE STREQUAL "screenshot")
  list(APPEND check --screenshot "${SHOT}" --height 1500)
else()
  foreach(text IN LISTS expect)
    list(APPEND check --expect "${text}")
  endforeach()
  list(APPEND check ${limits} --min-colours 100)
endif()
execute_process(COMMAND ${check} WORKING_DIRECTORY "${SCRATCH}" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the page of ${CASE} failed in chromium (status ${status})")
endif()
