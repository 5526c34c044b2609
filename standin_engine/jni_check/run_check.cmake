# Runs StandinControlCheck in a JVM with -Xcheck:jni. Fails on a non-zero exit
# or on any JVM warning line, which is how -Xcheck:jni reports misuse.
#   cmake -DCLASSPATH= -DLIBRARY_DIR= -DENGINE= -DCALLER= -DMODE= -P run_check.cmake
# JAVA, JAVA_OPTIONS (what that JDK needs, may be empty) and EMULATOR (what
# runs JAVA in a cross build, else empty) from the environment.
separate_arguments(java_options UNIX_COMMAND "$ENV{JAVA_OPTIONS}")
separate_arguments(emulator UNIX_COMMAND "$ENV{EMULATOR}")
execute_process(
  COMMAND ${emulator} $ENV{JAVA} ${java_options} -Xcheck:jni -Djava.library.path=${LIBRARY_DIR}
    -cp ${CLASSPATH} StandinControlCheck ${MODE} ${ENGINE} ${CALLER}
  OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE status)
message("${out}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "StandinControlCheck ${MODE} exited with ${status}")
endif()
string(REGEX MATCH "(^|\n)(WARNING|Warning)[^\n]*" warning "${out}")
if(warning)
  message(FATAL_ERROR "the JVM printed a warning:${warning}")
endif()
