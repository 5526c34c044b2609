#!/usr/bin/env bash
# Runs one example script against the stand-in engine under -Xcheck:jni and
# compares the engine's trace with the expected one. Fails when the script
# fails, when the trace differs (what the engine receives changed), or when the
# JVM printed any warning line, which is how -Xcheck:jni reports misuse.
#   check_example.sh SCRIPT EXPECTED_TRACE
# From the environment: JAVA, JAVA_OPTIONS (what that JDK needs, may be empty),
# EMULATOR (what runs JAVA in a cross build, else empty), CLASSPATH,
# LIBRARY_DIR, ENGINE.
set -uo pipefail
script=$1
expected=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

TSW_STANDIN_TRACE="$work/trace" ${EMULATOR:-} "$JAVA" ${JAVA_OPTIONS:-} -Xcheck:jni -XX:+AllowUserSignalHandlers \
  -Djava.library.path="$LIBRARY_DIR" -Dtsw.engine="$ENGINE" \
  -cp "$CLASSPATH" RunScript "$script" >"$work/out" 2>&1
status=$?
cat "$work/out"
if [ $status -ne 0 ]; then
  echo "FAILED: $script exited with $status"
  exit 1
fi
if grep -nE '^(WARNING|Warning)' "$work/out"; then
  echo "FAILED: the JVM printed warnings (above)"
  exit 1
fi
if ! diff -u "$expected" "$work/trace"; then
  echo "FAILED: the engine received something else than $expected shows (diff above)"
  exit 1
fi
echo "$script: the engine received exactly the calls in $(basename "$expected")"
