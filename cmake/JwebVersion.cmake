# The one version of a build, project()'s, in every artifact:
#   - jweb_version.h (JWEB_VERSION, JWEB_GIT_COMMIT, JWEB_VERSION_TEXT), made
#     at each build by the target jweb_version_header, so that the commit is
#     the one built; the target jweb_version links it in. The library keeps
#     the text (bridge/library_version.cpp); jweb-check prints it.
#   - jweb_version_resource(<target> <file name> <description>): a Windows
#     DLL's or program's VERSIONINFO, compiled by the toolchain's windres.
#   - jweb_jar_manifest(<out> <title> <module>): a jar's manifest lines;
#     jweb_jar_remade_with_manifest(<target> <manifest>): the jar made again
#     when they change, its entries dated at the commit's time.
include_guard(GLOBAL)

set(JWEB_VENDOR "jwebnative project")
set(JWEB_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
add_custom_target(jweb_version_header
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DVERSION=${PROJECT_VERSION}
          -DOUTPUT=${JWEB_GENERATED_DIR}/jweb_version.h -P ${CMAKE_CURRENT_LIST_DIR}/write_version_header.cmake
  BYPRODUCTS ${JWEB_GENERATED_DIR}/jweb_version.h
  COMMENT "Version header: ${PROJECT_VERSION} and the commit")
add_library(jweb_version INTERFACE)
target_include_directories(jweb_version INTERFACE ${JWEB_GENERATED_DIR})
add_dependencies(jweb_version jweb_version_header)

function(jweb_version_resource target filename description)
  set(JWEB_RC_FILENAME ${filename})
  set(JWEB_RC_DESCRIPTION ${description})
  cmake_path(GET filename STEM JWEB_RC_INTERNAL_NAME)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL EXECUTABLE)
    set(JWEB_RC_FILETYPE VFT_APP)
  else()
    set(JWEB_RC_FILETYPE VFT_DLL)
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc)
  configure_file(${PROJECT_SOURCE_DIR}/platform/win32/version_info.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  target_link_libraries(${target} PRIVATE jweb_version)
endfunction()

function(jweb_jar_manifest out title module)
  set(JWEB_JAR_TITLE ${title})
  set(JWEB_JAR_MODULE ${module})
  configure_file(${PROJECT_SOURCE_DIR}/java/tsapi.manifest.in ${out} @ONLY)
endfunction()

# add_jar does not remake a jar whose manifest alone changed (a new version):
# the jar's command depends on it here. Its entries are then dated at the
# release's time, in name order (cmake/date_jar.cmake). Called where add_jar
# made <target>.
function(jweb_jar_remade_with_manifest target manifest)
  get_target_property(jar ${target} JAR_FILE)
  add_custom_command(OUTPUT ${jar} APPEND DEPENDS ${manifest}
    COMMAND ${CMAKE_COMMAND} -DJAR_TOOL=${Java_JAR_EXECUTABLE} -DJAR=${jar} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
      -P ${PROJECT_SOURCE_DIR}/cmake/date_jar.cmake)
endfunction()
