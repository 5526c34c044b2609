#!/usr/bin/env bash
# Installs both components into a scratch prefix and uses them from there
# only: the example, as the installed executable jar, against the installed
# stand-in engine (its trace must be the expected one), and jweb-check on the
# installed engine that lacks an entry. The jar's manifest grants native
# access, so the JVM gets no option for it (JAVA_OPTIONS is not used).
#   check_installed.sh BUILD_DIR EXPECTED_TRACE
# From the environment: JAVA, CMAKE, and EMULATOR (what runs the target's
# programs in a cross build, else empty).
set -uo pipefail
. "$(dirname "$0")/../tools/lib.sh"
build=$1
expected=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
install_scratch "$build" "$prefix" || exit 1
find "$prefix" -type f | sed "s|^$prefix/||" | sort
lib=$(dirname "$(find "$prefix" -name libjwebnative.so)")
standin=$(find "$prefix" -path '*/standin/libTswReplayMain.so')
no_revert=$(find "$prefix" -path '*/standin-no-revert/libTswReplayMain.so')
examples_jar=$(find "$prefix" -name jweb-examples.jar)

TSW_STANDIN_TRACE="$prefix/trace" checked_jvm ${EMULATOR:-} "$JAVA" -Xcheck:jni -XX:+AllowUserSignalHandlers \
  -Djava.library.path="$lib" -Dtsw.engine="$standin" -jar "$examples_jar" ShopperVisit ||
  { echo "FAILED: the installed example"; exit 1; }
diff -u "$expected" "$prefix/trace" || { echo "FAILED: the installed example's trace differs"; exit 1; }

${EMULATOR:-} "$prefix/bin/jweb-check" "$no_revert" >"$prefix/check" 2>&1
status=$?
cat "$prefix/check"
[ $status -eq 1 ] || { echo "FAILED: installed jweb-check exited with $status, expected 1"; exit 1; }
grep -q "jweb_revert_auto_header(String header)  needs web_revert_auto_header" "$prefix/check" ||
  { echo "FAILED: installed jweb-check did not name the missing method"; exit 1; }
echo "the installed library, stand-in engines, jars and jweb-check work from $prefix"
