# Writes jweb_version.h with the project's version and the commit the sources
# are at; rewritten only when either changes, so a build recompiles nothing
# when neither did.
#   cmake -DSOURCE_DIR= -DVERSION= -DOUTPUT= -P write_version_header.cmake
set(JWEB_VERSION ${VERSION})
set(JWEB_GIT_COMMIT unknown)  # sources outside a git checkout
find_package(Git QUIET)
if(GIT_FOUND)
  # --exclude '*': the commit itself, never a tag's name; -dirty for changed files.
  execute_process(COMMAND ${GIT_EXECUTABLE} -C ${SOURCE_DIR} describe --always --dirty --abbrev=7 --exclude=*
    OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE status)
  if(status EQUAL 0 AND commit)
    set(JWEB_GIT_COMMIT ${commit})
  endif()
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/jweb_version.h.in ${OUTPUT} @ONLY)
