#!/usr/bin/env bash
# Runs one Java program and fails when it fails, or when the JVM printed any
# warning (a line starting with WARNING or Warning): -Xcheck:jni reports
# misuse only that way.
#   run_checked_java.sh [JVM options...] MAIN-CLASS [arguments...]
# JAVA, JAVA_OPTIONS (what that JDK needs, may be empty) and EMULATOR (what
# runs JAVA in a cross build, else empty) from the environment.
set -uo pipefail
. "$(dirname "$0")/../../tools/lib.sh"
checked_jvm ${EMULATOR:-} "$JAVA" ${JAVA_OPTIONS:-} "$@"
