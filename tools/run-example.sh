#!/usr/bin/env bash
# Installs what is needed, builds, and runs the example script against the
# stand-in engine, printing the engine's trace of every call it received.
#   tools/run-example.sh [ScriptClass]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh"
build=${JWEB_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target jwebnative standin_engine jweb_examples >/dev/null

script=${1:-ShopperVisit}
echo "== $script, against the stand-in engine; the engine's trace follows =="
TSW_STANDIN_TRACE=stderr java -XX:+AllowUserSignalHandlers \
  -Djava.library.path="$build" \
  -Dtsw.engine="$build/standin_engine/full/libTswReplayMain.so" \
  -cp "$build/java/tsapi.jar:$build/examples/jweb-examples.jar" \
  RunScript "$script" 2>&1
