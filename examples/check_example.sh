#!/usr/bin/env bash
# Runs one example script against the stand-in engine under -Xcheck:jni and
# compares the engine's trace with the expected one. Fails when the script
# fails, when the trace differs (what the engine receives changed), or when the
# JVM printed any warning line, which is how -Xcheck:jni reports misuse.
# With TSW_STANDIN_TRACE_FORMAT=text-tid or json the trace is checked for what
# that format adds, then compared with the text form's expected trace.
#   check_example.sh SCRIPT EXPECTED_TRACE
# From the environment: JAVA, JAVA_OPTIONS (what that JDK needs, may be empty),
# EMULATOR (what runs JAVA in a cross build, else empty), CLASSPATH,
# LIBRARY_DIR, ENGINE.
set -uo pipefail
. "$(dirname "$0")/../tools/lib.sh"
script=$1
expected=$2
expected_name=$(basename "$expected")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if ! TSW_STANDIN_TRACE="$work/trace" checked_jvm ${EMULATOR:-} "$JAVA" ${JAVA_OPTIONS:-} -Xcheck:jni \
  -XX:+AllowUserSignalHandlers -Djava.library.path="$LIBRARY_DIR" -Dtsw.engine="$ENGINE" \
  -cp "$CLASSPATH" RunScript "$script"; then
  echo "FAILED: $script"
  exit 1
fi
# A script is one virtual user: every line names one thread.
one_thread() {
  if [ "$(sort -u "$1" | wc -l)" -ne 1 ] || [ "$(wc -l <"$1")" -ne "$(wc -l <"$expected")" ]; then
    echo "FAILED: the trace's lines do not all name one thread, as they should:"
    cat "$work/trace"
    exit 1
  fi
}
case "${TSW_STANDIN_TRACE_FORMAT:-text}" in
  text) compared=$work/trace ;;
  text-tid)
    # "[tid N] " before the text form's line.
    sed -nE 's/^\[tid ([0-9]+)\] .*/\1/p' "$work/trace" >"$work/tids"
    one_thread "$work/tids"
    sed -E 's/^\[tid [0-9]+\] //' "$work/trace" >"$work/compared"
    compared=$work/compared ;;
  json)
    # Version 1, seq from 1 up by one, mono_us never going back; the calls
    # and their results in the text form's order.
    envelope='^\{"v":1,"seq":([0-9]+),"mono_us":([0-9]+),"entry":"([A-Za-z_]+)","thread":([0-9]+),.*"result":(-?[0-9]+)\}$'
    sed -nE "s/$envelope/\\4/p" "$work/trace" >"$work/tids"
    one_thread "$work/tids"
    if ! sed -nE "s/$envelope/\\1 \\2/p" "$work/trace" |
      awk '$1 != NR || $2 < last { bad = 1 } { last = $2 } END { exit bad }'; then
      echo "FAILED: seq does not count up from 1 or mono_us goes back:"
      cat "$work/trace"
      exit 1
    fi
    sed -nE "s/$envelope/\\3 = \\5/p" "$work/trace" >"$work/compared"
    sed -E 's/^([A-Za-z_]+)\(.* = (-?[0-9]+)( \/\*.*\*\/)?$/\1 = \2/' "$expected" >"$work/expected"
    expected=$work/expected
    compared=$work/compared ;;
  *) echo "FAILED: no comparison for TSW_STANDIN_TRACE_FORMAT=$TSW_STANDIN_TRACE_FORMAT"; exit 1 ;;
esac
if ! diff -u "$expected" "$compared"; then
  echo "FAILED: the engine received something else than $expected_name shows (diff above)"
  exit 1
fi
echo "$script: the engine received exactly the calls in $expected_name"
