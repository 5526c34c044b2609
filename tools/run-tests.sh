#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test: the main
# build's ctest suite (unit, JVM, fuzzing, examples, stress), the unit suite
# again under the sanitizers, both Windows builds (x86-64, x86) under Wine,
# the Linux arm64 build under qemu (the part every run takes), and the JVM
# suites with the library built here in Debian 11 and 13 userlands (idem).
#   tools/run-tests.sh [ctest options for the main suite]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/tools/install-deps.sh"
build=${JWEB_BUILD_DIR:-$root/build}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j"$(nproc)"
(cd "$build" && ctest --output-on-failure -j"$(nproc)" "$@")

echo "== Unit suite under the sanitizers =="
"$root/tools/run-sanitizer-tests.sh"

echo "== Windows builds under Wine (x86-64, x86) =="
"$root/tools/run-windows-tests.sh"

echo "== Linux arm64 build under qemu =="
"$root/tools/run-arm64-tests.sh"

echo "== Debian 11 and 13 userlands (chroot) =="
"$root/tools/run-userland-tests.sh"
