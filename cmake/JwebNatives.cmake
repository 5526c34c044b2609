# Natives jars: the build's libraries for the Java side to find on the class
# path (java/NativeLibrary.java.in), one jar per target, named by the target
# as the Java side names it: <os>-<arch>, os linux or windows, arch x86_64,
# aarch64 or x86.
#   jweb_natives_jar(<cmake target> <jar name> <library target>...)
#     makes ${CMAKE_BINARY_DIR}/natives/<jar name>-<target>.jar
include_guard(GLOBAL)

if(WIN32)
  set(jweb_natives_os windows)
else()
  set(jweb_natives_os linux)
endif()
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
  set(jweb_natives_arch x86_64)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
  set(jweb_natives_arch aarch64)
else()
  set(jweb_natives_arch x86)  # i686: the 32-bit Windows build
endif()
set(JWEB_NATIVES_TARGET ${jweb_natives_os}-${jweb_natives_arch})

function(jweb_natives_jar target jar_name)
  set(output ${CMAKE_BINARY_DIR}/natives/${jar_name}-${JWEB_NATIVES_TARGET}.jar)
  set(libraries "")  # bars between them: a list would become several arguments
  foreach(library IN LISTS ARGN)
    string(APPEND libraries "$<$<BOOL:${libraries}>:|>$<TARGET_FILE:${library}>")
  endforeach()
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DTARGET=${JWEB_NATIVES_TARGET} "-DLIBRARIES=${libraries}" -DOBJCOPY=${CMAKE_OBJCOPY}
            -DJAR=${Java_JAR_EXECUTABLE} -DWORK=${CMAKE_BINARY_DIR}/natives/${jar_name}
            -DOUTPUT=${output} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -P ${PROJECT_SOURCE_DIR}/cmake/natives_jar.cmake
    DEPENDS ${ARGN} ${PROJECT_SOURCE_DIR}/cmake/natives_jar.cmake ${PROJECT_SOURCE_DIR}/cmake/date_jar.cmake
    COMMENT "Natives jar ${jar_name}-${JWEB_NATIVES_TARGET}.jar" VERBATIM)
  add_custom_target(${target} ALL DEPENDS ${output})
  set_target_properties(${target} PROPERTIES JAR_FILE ${output})
endfunction()
