# Which companions this machine can build. The converter needs nothing beyond the standard
# library and always builds; korvane-inspect needs CLI11 and zlib (the pictures of its
# --report page are PNG images), korvane-prepare CLI11 and nlohmann-json, and
# korvane-inspect --openpmd the HDF5 C library. A missing library leaves
# its tool out and says so in one block, never a configure error, so that a fresh machine
# runs both README commands before anything is installed.
#
# Sets korvane_build_inspect, korvane_build_prepare and korvane_hdf5_found (ON or OFF) and,
# when HDF5 is found, the imported target PkgConfig::KORVANE_HDF5_PC.

# Everything the tool set and its tests use: h5py reads the openPMD files back in the tests,
# hdf5-tools gives h5dump to look into them by hand.
set(korvane_all_packages libcli11-dev zlib1g-dev nlohmann-json3-dev libhdf5-dev hdf5-tools
    python3-h5py)

# The ThreadSanitizer preset turns them off: none of their code runs on threads, and
# building them there would only lengthen CI.
option(KORVANE_COMPANIONS
       "Build korvane-inspect and korvane-prepare where their libraries are found" ON)

set(korvane_inspect_lacks "")
set(korvane_prepare_lacks "")
if(KORVANE_COMPANIONS)
  find_package(CLI11 CONFIG QUIET)
  find_package(nlohmann_json CONFIG QUIET)
  find_package(ZLIB QUIET)
  if(NOT CLI11_FOUND)
    list(APPEND korvane_inspect_lacks CLI11)
  endif()
  set(korvane_prepare_lacks ${korvane_inspect_lacks})
  if(NOT ZLIB_FOUND)
    list(APPEND korvane_inspect_lacks zlib)
  endif()
  if(NOT nlohmann_json_FOUND)
    list(APPEND korvane_prepare_lacks nlohmann-json)
  endif()
else()
  set(korvane_inspect_lacks KORVANE_COMPANIONS)
  set(korvane_prepare_lacks KORVANE_COMPANIONS)
endif()
set(korvane_build_inspect OFF)
if(NOT korvane_inspect_lacks)
  set(korvane_build_inspect ON)
endif()
set(korvane_build_prepare OFF)
if(NOT korvane_prepare_lacks)
  set(korvane_build_prepare ON)
endif()

# HDF5 through pkg-config: Debian's libhdf5-dev ships hdf5.pc.
option(KORVANE_HDF5 "Build korvane-inspect --openpmd with the HDF5 C library when found" ON)
set(korvane_hdf5_found OFF)
if(KORVANE_HDF5 AND korvane_build_inspect)
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    pkg_check_modules(KORVANE_HDF5_PC QUIET IMPORTED_TARGET hdf5)
    set(korvane_hdf5_found ${KORVANE_HDF5_PC_FOUND})
  endif()
endif()

# The block: what is left out, for want of which library, and the one line that adds all.
set(korvane_left_out "")
if(NOT KORVANE_COMPANIONS)
  message(STATUS "korvane: KORVANE_COMPANIONS=OFF: only the converter is built")
  return()
endif()
foreach(tool IN ITEMS inspect prepare)
  if(korvane_${tool}_lacks)
    list(JOIN korvane_${tool}_lacks " and " lacks)
    string(APPEND korvane_left_out "  korvane-${tool}: not built, needs ${lacks}\n")
  endif()
endforeach()
if(KORVANE_HDF5 AND korvane_build_inspect AND NOT korvane_hdf5_found)
  string(APPEND korvane_left_out "  korvane-inspect --openpmd: not built, needs HDF5\n")
endif()
if(korvane_left_out)
  list(JOIN korvane_all_packages " " packages)
  message(NOTICE
    "korvane: the converter is built; some companions are not:\n"
    "${korvane_left_out}"
    "  To build the whole tool set and run all of its tests, install\n"
    "    sudo apt-get install ${packages}\n"
    "  and run the same command again.")
elseif(korvane_hdf5_found)
  message(STATUS "korvane: korvane, korvane-inspect (with --openpmd, HDF5 "
                 "${KORVANE_HDF5_PC_VERSION}) and korvane-prepare are built")
else()
  message(STATUS "korvane: korvane, korvane-inspect (without --openpmd: KORVANE_HDF5=OFF) "
                 "and korvane-prepare are built")
endif()
