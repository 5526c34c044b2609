# Install step of one binary (cmake/JwebPackaging.cmake, jweb_install_split),
# in two modes, one per component:
#   strip  the installed copy loses its DWARF and symbol table and gains a
#          debug link (file name and CRC) to the debug file; a DLL is then
#          signed when JWEB_SIGN_CERT names a certificate;
#   debug  the debug file itself is installed: on Linux as
#          lib/debug/.build-id/xx/yyyy.debug (xxyyyy the GNU build-id), where
#          gdb and addr2line look it up; on Windows as <file>.debug beside the
#          DLL, where gdb follows the debug link.
# The debug file is made once per build of the binary, into JWEB_SPLIT_WORK,
# so that both components carry the same one and the link's CRC matches it.
# objcopy writes the release's time into a PE header (the DLL's and its
# debug file's): it is SOURCE_DATE_EPOCH (cmake/source_date_epoch.cmake), and
# a debug file is made again for another one.
# Reads JWEB_SPLIT_MODE, _BINARY, _WORK, _DESTINATION, _WINDOWS, _SOURCE_DIR,
# JWEB_OBJCOPY and JWEB_READELF.

function(jweb_split_run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status ERROR_VARIABLE error)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed (${status}): ${error}")
  endif()
endfunction()

cmake_path(GET JWEB_SPLIT_BINARY FILENAME file_name)
if(JWEB_SPLIT_WINDOWS)
  set(debug_name ${file_name}.debug)
  set(debug_destination ${JWEB_SPLIT_DESTINATION})
else()
  execute_process(COMMAND ${JWEB_READELF} -n ${JWEB_SPLIT_BINARY} OUTPUT_VARIABLE notes RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT notes MATCHES "Build ID: ([0-9a-f][0-9a-f])([0-9a-f]+)")
    message(FATAL_ERROR "${JWEB_SPLIT_BINARY} has no GNU build-id")
  endif()
  set(debug_name ${CMAKE_MATCH_2}.debug)
  set(debug_destination lib/debug/.build-id/${CMAKE_MATCH_1})
endif()

set(SOURCE_DIR ${JWEB_SPLIT_SOURCE_DIR})
include(${CMAKE_CURRENT_LIST_DIR}/source_date_epoch.cmake)
set(debug_file ${JWEB_SPLIT_WORK}/${jweb_epoch}/${debug_name})
if(NOT EXISTS ${debug_file} OR ${JWEB_SPLIT_BINARY} IS_NEWER_THAN ${debug_file})
  # Made under a name of its own, then renamed: installs that run at once
  # (ctest's packages and installed_layout) never read a half-written file.
  file(MAKE_DIRECTORY ${JWEB_SPLIT_WORK}/${jweb_epoch})
  string(RANDOM LENGTH 12 unique)
  jweb_split_run(${JWEB_OBJCOPY} --only-keep-debug ${JWEB_SPLIT_BINARY} ${debug_file}.${unique})
  file(RENAME ${debug_file}.${unique} ${debug_file})
  # Those of earlier builds of the binary (other build-ids or times) are not needed.
  file(GLOB_RECURSE earlier ${JWEB_SPLIT_WORK}/*.debug)
  list(REMOVE_ITEM earlier ${debug_file})
  if(earlier)
    file(REMOVE ${earlier})
  endif()
endif()

if(JWEB_SPLIT_MODE STREQUAL strip)
  set(installed $ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${JWEB_SPLIT_DESTINATION}/${file_name})
  message(STATUS "Stripping: ${installed} (symbols in ${debug_name})")
  jweb_split_run(${JWEB_OBJCOPY} --strip-unneeded --add-gnu-debuglink=${debug_file} ${installed})
  if(JWEB_SPLIT_WINDOWS AND NOT "$ENV{JWEB_SIGN_CERT}" STREQUAL "")
    # Authenticode, with the publisher's certificate (tools/sign-release.sh).
    jweb_split_run(${CMAKE_CURRENT_LIST_DIR}/../tools/sign-release.sh ${installed})
  endif()
else()
  file(INSTALL ${debug_file} DESTINATION ${CMAKE_INSTALL_PREFIX}/${debug_destination}  # DESTDIR added
    PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endif()
