# The options a tool's --help names and the options its man page names must be the same
# set, so the two texts cannot drift apart.
#   cmake -DTOOL=... -DPAGE=... -P check_man_page.cmake
execute_process(COMMAND "${TOOL}" --help OUTPUT_VARIABLE help RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${TOOL} --help ended with status ${status}")
endif()
file(READ "${PAGE}" page)
string(REPLACE "\\-" "-" page "${page}")

function(options_of text out)
  # Brackets would hold a CMake list together: usage lines lose them first.
  string(REPLACE "[" " " text "${text}")
  string(REPLACE "]" " " text "${text}")
  string(REGEX MATCHALL "(^|[ \t\n|(,])(--[a-z][a-z0-9-]*|-[A-Z])" found "${text}")
  set(options "")
  foreach(item IN LISTS found)
    string(REGEX MATCH "--?[A-Za-z][a-z0-9-]*" item "${item}")
    list(APPEND options "${item}")
  endforeach()
  list(REMOVE_DUPLICATES options)
  list(SORT options)
  set(${out} "${options}" PARENT_SCOPE)
endfunction()

options_of("${help}" help_options)
# make -C, named in the page as an analogy, is not an option of the tool.
string(REGEX MATCHALL "\n\\.TP\n\\.B[I]? -[-A-Za-z0-9]+" page_items "${page}")
set(page_options "")
foreach(item IN LISTS page_items)
  string(REGEX REPLACE ".*\\.B[I]? (-[-A-Za-z0-9]+)$" "\\1" item "${item}")
  list(APPEND page_options "${item}")
endforeach()
list(REMOVE_DUPLICATES page_options)
list(SORT page_options)
if(NOT help_options STREQUAL page_options)
  message(FATAL_ERROR "${TOOL}: --help names [${help_options}], the man page's OPTIONS name [${page_options}]")
endif()
