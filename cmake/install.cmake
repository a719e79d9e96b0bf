# What `cmake --install` puts under the prefix, and the Debian package made from it: the
# tools that were built (the converter, and the companions whose libraries were found), their
# man pages, the user guides and the examples. No library and no headers: korvane has no
# public C++ API.
include(GNUInstallDirs)

set(korvane_tools korvane)
foreach(companion IN ITEMS korvane-inspect korvane-prepare)
  if(TARGET ${companion})
    list(APPEND korvane_tools ${companion})
  endif()
endforeach()
install(TARGETS ${korvane_tools} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

foreach(tool IN LISTS korvane_tools)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/man/${tool}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}
        PATTERN man EXCLUDE)
install(FILES ${PROJECT_SOURCE_DIR}/examples/README.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
# The runnable example folders (control file, table, raw export), not the generator.
file(GLOB korvane_example_dirs LIST_DIRECTORIES true ${PROJECT_SOURCE_DIR}/examples/*)
foreach(dir IN LISTS korvane_example_dirs)
  if(EXISTS ${dir}/korvane.dat)
    install(DIRECTORY ${dir} DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
  endif()
endforeach()

# cpack -G DEB from the build folder; the shared libraries the companions link become the
# package's dependencies through dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME korvane)
set(CPACK_PACKAGE_VENDOR "korvane developers")
set(CPACK_PACKAGE_CONTACT "korvane developers <korvane@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Converts exported 3D electromagnetic field tables into PELIX 3D field files")
set(CPACK_PACKAGE_DESCRIPTION
    "korvane converts a 3D field map exported by a field solver as a text table into a
PELIX 3D field-map file, unfolding symmetry planes and interpolating onto the output grid.
korvane-prepare turns a solver export as saved into a checked table and a drafted control
file; korvane-inspect reads a field file back, checks it and pictures it.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
