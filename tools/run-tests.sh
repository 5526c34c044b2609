#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test, in parts:
# the main build's ctest suite (unit, JVM, fuzzing, examples, stress), the
# unit suite again under the sanitizers, the Windows x86-64 and x86 builds
# under Wine, the Linux arm64 build under qemu (the part every run takes),
# the JVM suites, with the library built here, in Debian 11 and 13
# userlands (idem), and the release set made from those builds and checked
# (tools/make-release.sh).
# Each part runs whatever happened to the ones before it; the summary at the
# end gives each part's outcome and time, and the exit status is 0 only when
# every part passed. What could not run on this machine (the 32-bit Windows
# build's Wine runs, on a kernel that runs no 32-bit code) is named there as
# skipped, never counted as passed.
#   tools/run-tests.sh [ctest options for the main suite]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${JWEB_BUILD_DIR:-$root/build}

# (Chained with &&: `set -e` has no effect in a function whose status is tested.)
main_suite() {
  "$root/tools/install-deps.sh" &&
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
    cmake --build "$build" -j"$(nproc)" &&
    (cd "$build" && ctest --output-on-failure -j"$(nproc)" "$@")
}

summary=()
passed=0 failed=0 skipped=0
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# part NAME COMMAND...: runs one part in a subshell, so that its failure
# (or its `exit`) ends only that part. Status 77: the part passed everything
# it could run and printed a "SKIPPED, NOT PASSED: ..." line for the rest.
part() {
  local name=$1 started=$SECONDS status
  shift
  echo "== $name =="
  ( "$@" ) 2>&1 | tee "$log"
  status=${PIPESTATUS[0]}
  local took=$((SECONDS - started))
  case $status in
    0) passed=$((passed + 1)); summary+=("passed   $name ($took s)") ;;
    77) local lines
        lines=$(grep '^SKIPPED, NOT PASSED: ' "$log" || true)
        if [ -z "$lines" ]; then  # a skip must say what it skipped
          failed=$((failed + 1)); summary+=("FAILED   $name: skipped something without saying what ($took s)")
          return
        fi
        passed=$((passed + 1)); summary+=("passed   $name: all that could run here ($took s)")
        while IFS= read -r line; do
          skipped=$((skipped + 1)); summary+=("skipped  ${line#SKIPPED, NOT PASSED: }")
        done <<<"$lines" ;;
    *) failed=$((failed + 1)); summary+=("FAILED   $name: status $status ($took s)") ;;
  esac
}

part "Main suite" main_suite "$@"
part "Unit suite under the sanitizers" "$root/tools/run-sanitizer-tests.sh"
part "Windows x86-64" env JWEB_WINDOWS_ARCHS=x86_64 "$root/tools/run-windows-tests.sh"
part "Windows x86" env JWEB_WINDOWS_ARCHS=x86 "$root/tools/run-windows-tests.sh"
part "Linux arm64 under qemu" "$root/tools/run-arm64-tests.sh"
part "Debian 11 and 13 userlands" "$root/tools/run-userland-tests.sh"
part "Release set" "$root/tools/make-release.sh"

echo "== Summary =="
printf '%s\n' "${summary[@]}"
echo "parts: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
