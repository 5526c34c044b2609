#!/usr/bin/env bash
# What a host sees when an engine failure that nothing can catch ends the
# JVM: runs jwebtests.CrashRun and prints its output, then the JVM's exit
# status and the problematic frame of the hs_err file it wrote (or that it
# wrote none), each on an "outcome:" line for the test's expression.
#   run_crash_outcome.sh [--libjsig] [--reporter=nochain] KIND[:BYTES] [main|java|virtual]
# The environment as run_jvm_tests.sh has it (JAVA, JAVA_OPTIONS, EMULATOR,
# JDK_HOME, LIBRARY_DIRS, CLASSPATH_JARS, ENGINE_FULL).
set -uo pipefail
. "$(dirname "$0")/../../tools/lib.sh"
libjsig=""
reporter=""
while [ $# -gt 0 ]; do
  case "$1" in
    --libjsig) libjsig=1 ;;
    --reporter=*) reporter=${1#--reporter=} ;;
    *) break ;;
  esac
  shift
done
java_home=${JDK_HOME:-$(dirname "$(dirname "$(readlink -f "$JAVA")")")}
libraries=()
[ -z "$libjsig" ] || libraries=("$java_home/lib/libjsig.so")
java_command "${libraries[@]}"
# In /tmp, which another userland's root sees at the same place.
dir=$(mktemp -d /tmp/jweb-crash.XXXXXX)
trap 'rm -rf "$dir"' EXIT
export TSW_STANDIN_CRASH_REPORTER=$reporter
# ulimit: no core file, which the kernel would write for a process ended by
# a fault's default action.
# The braces: bash's own note of a child ended by a signal stays out too.
{ (ulimit -c 0; exec "${java_command[@]}" ${JAVA_OPTIONS:-} -XX:+AllowUserSignalHandlers \
  -XX:ErrorFile="$dir/hs_err_pid%p.log" -Djava.library.path="$LIBRARY_DIRS" -Djweb.engine="$ENGINE_FULL" \
  -cp "$CLASSPATH_JARS" jwebtests.CrashRun "$@") >"$dir/output" 2>&1; } 2>/dev/null
status=$?
grep -v '^#' "$dir/output"
echo "outcome: exit status $status"
report=$(ls "$dir"/hs_err_pid*.log 2>/dev/null | head -1)
if [ -n "$report" ]; then
  echo "outcome: hs_err file, problematic frame: $(grep -A1 '^# Problematic frame:' "$report" | tail -1)"
else
  echo "outcome: no hs_err file"
fi
