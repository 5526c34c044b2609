#!/usr/bin/env bash
# Runs the JVM tests in one engine mode under -Xcheck:jni. Fails when JUnit
# fails, or when the JVM printed any warning (a line starting with WARNING or
# Warning), since -Xcheck:jni reports misuse only that way.
#   run_jvm_tests.sh MODE [--libjsig] [JUnit selectors, e.g. --select-class=...]
# From the environment: JAVA, JAVA_OPTIONS (what that JDK needs, may be empty),
# EMULATOR (what runs JAVA in a cross build or another userland's root, else
# empty), JDK_HOME (JAVA's JDK as JAVA sees it), JUNIT_CONSOLE,
# TESTS_JAR, CLASSPATH_JARS, LIBRARY_DIRS, ENGINE_FULL, ENGINE_NO_REVERT.
set -uo pipefail
mode=$1
shift
libjsig=""
if [ "${1:-}" = "--libjsig" ]; then
  libjsig=$1
  shift
fi
# Without selectors every test class in the jar.
[ $# -gt 0 ] || set -- --scan-class-path="$TESTS_JAR"
preload=()
in_root_preload=()
java_home=${JDK_HOME:-$(dirname "$(dirname "$(readlink -f "$JAVA")")")}
if [ -n "$libjsig" ]; then
  # Under emulation too: qemu's user mode is linked statically and passes
  # the environment on to the emulated JVM's loader. In another userland's
  # root the library is there only: set inside, past chroot.
  case "${EMULATOR:-}" in
    chroot\ *) in_root_preload=(env "LD_PRELOAD=$java_home/lib/libjsig.so") ;;
    *) preload=(env "LD_PRELOAD=$java_home/lib/libjsig.so") ;;
  esac
fi

case "$mode" in
  no_revert) engine=$ENGINE_NO_REVERT ;;
  *) engine=$ENGINE_FULL ;;
esac

out=$(mktemp)
trap 'rm -f "$out"' EXIT
"${preload[@]}" ${EMULATOR:-} "${in_root_preload[@]}" "$JAVA" ${JAVA_OPTIONS:-} -Xcheck:jni -XX:+AllowUserSignalHandlers \
  -Djava.library.path="$LIBRARY_DIRS" \
  -Djweb.mode="$mode" -Djweb.engine="$engine" -Djweb.libjsig="$libjsig" \
  -jar "$JUNIT_CONSOLE" --class-path "$CLASSPATH_JARS" \
  --disable-banner --disable-ansi-colors --fail-if-no-tests \
  --details=tree "$@" >"$out" 2>&1
status=$?
cat "$out"
if grep -nE '^(WARNING|Warning)' "$out"; then
  echo "FAILED: the JVM printed warnings (above)"
  exit 1
fi
exit $status
