# Builds the Debian package and checks what it holds: every tool, its man page, the guides,
# and a dependency list.
#   cmake -DBUILD_DIR=... -DSCRATCH=... -DTOOLS="korvane;..." -DDEPENDS="libstdc++6;..."
#         -P check_package.cmake
file(REMOVE_RECURSE "${SCRATCH}")
execute_process(COMMAND cpack -G DEB --config "${BUILD_DIR}/CPackConfig.cmake" -B "${SCRATCH}"
                WORKING_DIRECTORY "${BUILD_DIR}" RESULT_VARIABLE status
                OUTPUT_VARIABLE out ERROR_VARIABLE err)
file(GLOB package "${SCRATCH}/korvane_*.deb")
if(NOT status EQUAL 0 OR NOT package)
  message(FATAL_ERROR "cpack -G DEB failed (status ${status}):\n${out}${err}")
endif()
execute_process(COMMAND dpkg-deb -c ${package} OUTPUT_VARIABLE contents RESULT_VARIABLE status)
execute_process(COMMAND dpkg-deb --info ${package} OUTPUT_VARIABLE info)
set(wanted share/doc/korvane/guide.md share/doc/korvane/inspect.md
           share/doc/korvane/examples/quadrupole/korvane.dat)
foreach(tool IN LISTS TOOLS)
  list(APPEND wanted bin/${tool} share/man/man1/${tool}.1)
endforeach()
foreach(path IN LISTS wanted)
  string(FIND "${contents}" "./usr/${path}\n" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the package lacks /usr/${path}:\n${contents}")
  endif()
endforeach()
string(REGEX MATCH "\n Depends: [^\n]*" depends "${info}")
foreach(library IN LISTS DEPENDS)
  string(FIND "${depends}" "${library}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the package does not depend on ${library}:\n${info}")
  endif()
endforeach()
file(REMOVE_RECURSE "${SCRATCH}")
