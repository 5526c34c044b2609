#!/usr/bin/env bash
# Builds the library, the stand-in engine and the unit tests with
# AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer (the
# `sanitize` preset, into build-sanitize/) and runs the unit suite under them.
# Any sanitizer report fails the test it happens in; exits non-zero then.
# ctest options may follow, e.g. tools/run-sanitizer-tests.sh -R Guard
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/tools/install-deps.sh"
cmake --preset sanitize >/dev/null
# Everything the preset builds: the unit suite's tests need the library, the
# stand-in engine and the tools they check, besides the unit tests themselves.
cmake --build --preset sanitize -j"$(nproc)"
# Every report ends the process with an error; leaks are checked at each exit.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --preset sanitize -j"$(nproc)" "$@"
