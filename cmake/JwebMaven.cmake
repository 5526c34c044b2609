# The Maven side of the release (tools/make-maven-repo.sh lays out
# dist/maven/ from these, and from each target's natives jars):
#   maven/<artifact>.pom        the POMs, with the coordinates chosen here
#   maven/tsapi-sources.jar     tsapi's sources, the loader's included
#   maven/tsapi-javadoc.jar     its javadoc
# Artifacts: tsapi; jwebnative-natives (classifier <os>-<arch>: the
# library); jwebnative-standin (tsapi.standin.Engine); jwebnative-standin-natives
# (classifier <os>-<arch>: the stand-in engine and its control library).
include_guard(GLOBAL)

# Placeholders, as the packages' contact and home page: a release sets its own.
set(JWEB_MAVEN_GROUP_ID "invalid.example.jwebnative" CACHE STRING "Maven group id of the artifacts in dist/maven")
set(JWEB_SCM_URL "https://jwebnative.example.invalid/jwebnative.git" CACHE STRING "Source repository the POMs name")

set(jweb_maven_dir ${CMAKE_BINARY_DIR}/maven)
set(jweb_maven_artifacts
  "tsapi|jwebnative tsapi|The web replay engine's script interface for Java: tsapi.web and tsapi.exceptions.Abort, which load the jwebnative library from java.library.path or from a jwebnative-natives jar"
  "jwebnative-natives|jwebnative natives|The jwebnative JNI library for one operating system and processor (classifier linux-x86_64, linux-aarch64, windows-x86_64, windows-x86), for tsapi to load from the class path"
  "jwebnative-standin|jwebnative stand-in control|tsapi.standin.Engine: loads the stand-in replay engine for dry runs and controls its results and failures"
  "jwebnative-standin-natives|jwebnative stand-in natives|The stand-in replay engine and its control library for one operating system and processor (classifier as jwebnative-natives)")
foreach(row IN LISTS jweb_maven_artifacts)
  string(REPLACE "|" ";" fields "${row}")
  list(GET fields 0 artifact)
  list(GET fields 1 name)
  list(GET fields 2 description)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/maven/pom.xml.in ${jweb_maven_dir}/${artifact}.pom @ONLY)
endforeach()

# Sources and javadoc of tsapi, from what the jar is compiled from; dated as
# every jar of the release (cmake/date_jar.cmake).
set(tsapi_sources
  ${PROJECT_SOURCE_DIR}/java/tsapi/web.java ${PROJECT_SOURCE_DIR}/java/tsapi/package-info.java
  ${PROJECT_SOURCE_DIR}/java/tsapi/exceptions/Abort.java ${PROJECT_SOURCE_DIR}/java/tsapi/exceptions/package-info.java
  ${CMAKE_BINARY_DIR}/java/generated/tsapi/NativeLibrary.java)
add_custom_command(OUTPUT ${jweb_maven_dir}/tsapi-sources.jar
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${jweb_maven_dir}/sources
  COMMAND ${CMAKE_COMMAND} -E make_directory ${jweb_maven_dir}/sources/tsapi/exceptions
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/java/tsapi/web.java ${PROJECT_SOURCE_DIR}/java/tsapi/package-info.java
          ${CMAKE_BINARY_DIR}/java/generated/tsapi/NativeLibrary.java ${jweb_maven_dir}/sources/tsapi/
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/java/tsapi/exceptions/Abort.java
          ${PROJECT_SOURCE_DIR}/java/tsapi/exceptions/package-info.java ${jweb_maven_dir}/sources/tsapi/exceptions/
  COMMAND ${Java_JAR_EXECUTABLE} --create --file ${jweb_maven_dir}/tsapi-sources.jar -C ${jweb_maven_dir}/sources tsapi
  COMMAND ${CMAKE_COMMAND} -DJAR_TOOL=${Java_JAR_EXECUTABLE} -DJAR=${jweb_maven_dir}/tsapi-sources.jar -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
          -P ${PROJECT_SOURCE_DIR}/cmake/date_jar.cmake
  DEPENDS ${tsapi_sources}
  COMMENT "tsapi-sources.jar" VERBATIM)
add_custom_command(OUTPUT ${jweb_maven_dir}/tsapi-javadoc.jar
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${jweb_maven_dir}/javadoc
  COMMAND ${Java_JAVADOC_EXECUTABLE} -quiet --release 11 -Xdoclint:all -Werror -notimestamp
          -d ${jweb_maven_dir}/javadoc -sourcepath ${jweb_maven_dir}/sources tsapi tsapi.exceptions
  COMMAND ${Java_JAR_EXECUTABLE} --create --file ${jweb_maven_dir}/tsapi-javadoc.jar -C ${jweb_maven_dir}/javadoc .
  COMMAND ${CMAKE_COMMAND} -DJAR_TOOL=${Java_JAR_EXECUTABLE} -DJAR=${jweb_maven_dir}/tsapi-javadoc.jar -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
          -P ${PROJECT_SOURCE_DIR}/cmake/date_jar.cmake
  DEPENDS ${jweb_maven_dir}/tsapi-sources.jar
  COMMENT "tsapi-javadoc.jar" VERBATIM)
add_custom_target(tsapi_maven_jars ALL DEPENDS ${jweb_maven_dir}/tsapi-sources.jar ${jweb_maven_dir}/tsapi-javadoc.jar)
