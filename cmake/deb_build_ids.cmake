# Run by CPack after each generator (CPACK_POST_BUILD_SCRIPTS): every
# -dbgsym .deb gets Debian's Build-Ids field, the GNU build-ids of the files
# whose DWARF it holds, by which debuginfod and apt tools find it. CPack
# writes that field only into the symbols packages it splits off itself, and
# ours are made by cmake/split_debug.cmake. The ids are read from the .debug
# files in the package, so the field lists exactly what it holds; the package
# is then built again by dpkg-deb, its files owned by root as CPack has them.
if(NOT CPACK_GENERATOR STREQUAL DEB)
  return()
endif()
find_program(JWEB_READELF readelf REQUIRED)
foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "-dbgsym_[^/]*\\.deb$")
    continue()
  endif()
  set(tree ${package}.tree)
  file(REMOVE_RECURSE ${tree})
  execute_process(COMMAND dpkg-deb --raw-extract ${package} ${tree} COMMAND_ERROR_IS_FATAL ANY)
  file(GLOB_RECURSE debug_files ${tree}/usr/lib/debug/.build-id/*.debug)
  set(ids "")
  foreach(file IN LISTS debug_files)
    # (Its complaint that a program's debug file has no interpreter's name is no matter.)
    execute_process(COMMAND ${JWEB_READELF} -n ${file} OUTPUT_VARIABLE notes ERROR_QUIET)
    if(NOT notes MATCHES "Build ID: ([0-9a-f]+)")
      message(FATAL_ERROR "${file} has no GNU build-id")
    endif()
    list(APPEND ids ${CMAKE_MATCH_1})
  endforeach()
  if(NOT ids)
    message(FATAL_ERROR "${package} holds no debug file")
  endif()
  list(SORT ids)
  list(JOIN ids " " ids)
  # After the last field, before the blank line CPack closes the paragraph with.
  file(READ ${tree}/DEBIAN/control control)
  string(STRIP "${control}" control)
  file(WRITE ${tree}/DEBIAN/control "${control}\nBuild-Ids: ${ids}\n")
  execute_process(COMMAND dpkg-deb --root-owner-group -Zgzip --build ${tree} ${package}
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${tree})
endforeach()
