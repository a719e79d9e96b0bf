# Converts an example in a folder of the build tree and shows the run log. Two roads:
# - KORVANE_PREPARE set: the whole road. korvane-prepare reads the example's export as the
#   solver saved it and drafts the table and korvane.dat in RUN_DIR, then korvane -C RUN_DIR.
# - KORVANE_PREPARE empty (korvane-prepare not built): korvane -C RUN_DIR on a copy of the
#   example's shipped table and control file, which korvane-prepare drafted from the same
#   export, so both roads give the same map. LACKS and PACKAGES say what the other road needs.
# With KORVANE_INSPECT set, the map is then read back, measured against the table and shown
# on one page, report.html beside it (korvane-inspect --check --source --report), the
# road's last step; without it the last lines say what korvane-inspect needs
# (INSPECT_LACKS).
#   cmake -DKORVANE=... [-DKORVANE_PREPARE=...] [-DKORVANE_INSPECT=...] -DEXAMPLE_DIR=...
#         -DRUN_DIR=... [-DLACKS=... -DINSPECT_LACKS=... -DPACKAGES=...] -P run_example.cmake
file(REMOVE_RECURSE "${RUN_DIR}")
file(GLOB exports "${EXAMPLE_DIR}/*_export.txt")
if(NOT exports)
  message(FATAL_ERROR "no *_export.txt in ${EXAMPLE_DIR}")
endif()
list(GET exports 0 export)

if(KORVANE_PREPARE)
  execute_process(COMMAND "${KORVANE_PREPARE}" "${export}" --dir "${RUN_DIR}"
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "korvane-prepare ended with status ${status}")
  endif()
else()
  file(GLOB shipped LIST_DIRECTORIES false "${EXAMPLE_DIR}/*")
  list(FILTER shipped EXCLUDE REGEX "_export\\.txt$")
  file(COPY ${shipped} DESTINATION "${RUN_DIR}")
endif()

execute_process(COMMAND "${KORVANE}" -C "${RUN_DIR}" RESULT_VARIABLE status)
file(READ "${RUN_DIR}/korvane.log" log)
string(REPLACE "\r" "" log "${log}")
message("${log}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "korvane ended with status ${status}")
endif()
file(GLOB field_files RELATIVE "${RUN_DIR}" "${RUN_DIR}/eh_EMS.#*")

if(KORVANE_INSPECT)
  execute_process(COMMAND "${KORVANE_INSPECT}" "${field_files}" --check --source korvane.dat
                          --report report.html
                  WORKING_DIRECTORY "${RUN_DIR}" OUTPUT_VARIABLE report RESULT_VARIABLE status)
  if(status GREATER 1 OR NOT status MATCHES "^[0-9]+$")
    message(FATAL_ERROR "korvane-inspect ended with status ${status}")
  endif()
  string(REGEX MATCH "source departure: [^\n]*" departure "${report}")
  message("Read back and measured against the table (korvane-inspect ${field_files} --check "
          "--source korvane.dat --report report.html, status ${status}): ${departure}, relative "
          "to the table's largest field magnitude.")
endif()

if(KORVANE_PREPARE)
  message("Whole road: korvane-prepare drafted table.txt and korvane.dat from ${export}, and "
          "korvane converted them into ${field_files}, all in ${RUN_DIR}.\n"
          "The other road, without korvane-prepare: korvane -C on a copy of ${EXAMPLE_DIR}, "
          "whose shipped table and korvane.dat give the same map.")
else()
  message("Shipped road: korvane converted the shipped table with its korvane.dat (drafted by "
          "korvane-prepare from ${export}) into ${field_files}, in ${RUN_DIR}.\n"
          "The whole road, from the raw export, needs korvane-prepare, which was not built: it "
          "needs ${LACKS}. Install the libraries of the whole tool set with\n"
          "  sudo apt-get install ${PACKAGES}\n"
          "and run cmake --workflow --preset example again.")
endif()

# The road ends with the page: where it is, or how to get it.
if(KORVANE_INSPECT)
  message("The map, its checks and its departure from the table, with pictures, on one page: "
          "open ${RUN_DIR}/report.html in a browser.")
else()
  message("The page report.html, which shows the map, its checks and its departure from the "
          "table with pictures, is written by korvane-inspect, which was not built: it needs "
          "${INSPECT_LACKS}. With the libraries above installed, the same command writes it to "
          "${RUN_DIR}/report.html.")
endif()
