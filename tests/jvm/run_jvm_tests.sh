#!/usr/bin/env bash
# Runs the JVM tests in one engine mode under -Xcheck:jni. Fails when JUnit
# fails, or when the JVM printed any warning (a line starting with WARNING or
# Warning), since -Xcheck:jni reports misuse only that way.
#   run_jvm_tests.sh MODE [--libjsig] [--preload] [--no-signal-option] [--crash-reporter] [--profiler]
#                    [--host-invocation-stub] [JUnit selectors, e.g. --select-class=...]
#   --libjsig           the JDK's signal-chaining library preloaded
#   --crash-reporter    the engine installs a chaining crash reporter as it loads
#   --profiler          the sampling profiler's handlers in place before the library's
#   --host-invocation-stub  a JNI_CreateJavaVM of the host's own preloaded
#   --preload           the engine and the library preloaded, before the JVM exists
#   --no-signal-option  without -XX:+AllowUserSignalHandlers, and so without
#                       -Xcheck:jni, which then reports the library's handlers
# From the environment: JAVA, JAVA_OPTIONS (what that JDK needs, may be empty),
# EMULATOR (what runs JAVA in a cross build or another userland's root, else
# empty), JDK_HOME (JAVA's JDK as JAVA sees it), JUNIT_CONSOLE, TESTS_JAR,
# CLASSPATH_JARS, LIBRARY_DIRS, ENGINE_FULL, ENGINE_NO_REVERT, LIBRARY, HOST_DOUBLES.
set -uo pipefail
. "$(dirname "$0")/../../tools/lib.sh"
mode=$1
shift
libjsig=""
preloaded=()
checks=(-Xcheck:jni -XX:+AllowUserSignalHandlers)
reporter=0
profiler=later
stub=()
while [ $# -gt 0 ]; do
  case "$1" in
    --libjsig) libjsig=$1 ;;
    --preload) preloaded=("$ENGINE_FULL" "$LIBRARY") ;;
    --no-signal-option) checks=() ;;
    --crash-reporter) reporter=1 ;;
    --profiler) profiler=first ;;
    --host-invocation-stub) stub=("$HOST_DOUBLES") ;;
    *) break ;;
  esac
  shift
done
# Without selectors every test class in the jar.
[ $# -gt 0 ] || set -- --scan-class-path="$TESTS_JAR"
java_home=${JDK_HOME:-$(dirname "$(dirname "$(readlink -f "$JAVA")")")}
preload_list=()
[ -n "$libjsig" ] && preload_list+=("$java_home/lib/libjsig.so")
java_command "${preload_list[@]}" "${preloaded[@]}" "${stub[@]}"

case "$mode" in
  no_revert) engine=$ENGINE_NO_REVERT ;;
  *) engine=$ENGINE_FULL ;;
esac

# Read by the engine as it loads (through chroot and qemu alike).
export TSW_STANDIN_CRASH_REPORTER=$reporter

checked_jvm "${java_command[@]}" ${JAVA_OPTIONS:-} "${checks[@]}" \
  -Djava.library.path="$LIBRARY_DIRS" \
  -Djweb.mode="$mode" -Djweb.engine="$engine" -Djweb.libjsig="$libjsig" -Djweb.profiler="$profiler" \
  -jar "$JUNIT_CONSOLE" --class-path "$CLASSPATH_JARS" \
  --disable-banner --disable-ansi-colors --fail-if-no-tests \
  --details=tree "$@"
