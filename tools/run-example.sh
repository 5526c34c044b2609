#!/usr/bin/env bash
# Installs what is needed, builds, and runs example scripts against the
# stand-in engine, printing the engine's trace of every call it received.
#   tools/run-example.sh [Script ...]     (default ShopperVisit; others: AccountLogin OrderApi)
# TSW_STANDIN_TRACE_FORMAT=json or text-tid prints the trace in that format (docs/trace-format.md).
# The JDK that runs them (11 or later): JAVA_HOME's, else the java on the
# PATH, else Debian's JDK 17 for this machine's processor.
# The examples' jar is executable and grants itself native access, so the
# same command works on every JDK.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
install_packages
build=$root/build  # the default preset's
configure_and_build default -- --target jwebnative standin_engine standin_engine_no_revert jweb_examples jweb_check >/dev/null

if [ -n "${JAVA_HOME:-}" ]; then
  java=$JAVA_HOME/bin/java
elif command -v java >/dev/null; then
  java=$(command -v java)
else  # Debian names its JDKs by its own name for the processor (amd64, arm64, ...)
  java=/usr/lib/jvm/java-17-openjdk-$(dpkg --print-architecture)/bin/java
fi
[ -x "$java" ] || { echo "no java at $java: set JAVA_HOME to a JDK 11 or later" >&2; exit 1; }
[ $# -gt 0 ] || set -- ShopperVisit
for script in "$@"; do
  echo "== $script, against the stand-in engine; its output and the engine's trace follow =="
  TSW_STANDIN_TRACE=stderr "$java" -XX:+AllowUserSignalHandlers \
    -Djava.library.path="$build" \
    -Dtsw.engine="$build/standin_engine/full/libTswReplayMain.so" \
    -jar "$build/examples/jweb-examples.jar" "$script" 2>&1
done
