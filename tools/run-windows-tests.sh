#!/usr/bin/env bash
# The Windows builds and their tests: installs mingw-w64 and Wine (Debian
# packages), cross-builds jwebnative.dll, the stand-in TswReplayMain.dll and
# the Windows test program twice, for x86-64 (build-windows/, run by wine64)
# and for 32-bit x86 (build-windows-x86/, run by wine32's loader), and runs
# each build's tests under Wine through ctest. A build passes when ctest
# passes AND every test program run under Wine closed with its own summary
# line reporting no failure: Wine can exit 0 after a crash.
#   tools/run-windows-tests.sh [ctest options, for both builds]
#   JWEB_WINDOWS_ARCHS="x86_64 x86" (the default) chooses the builds.
#   JWEB_BUILD_ONLY=1 stops after building them (tools/make-release.sh).
# Some kernels run no 32-bit x86 code at all. There the x86 build is still
# made and its exports and imports checked, but its Wine runs cannot happen:
# the script names each of them and why, and exits 77 (skipped) rather than 0.
# Exit status: 0 when everything ran and passed, 77 when everything that ran
# passed but something could not run here, 1 on any failure.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
cd "$root"
archs=${JWEB_WINDOWS_ARCHS:-x86_64 x86}

# Both Windows builds: the 32-bit one runs under Wine's i386 loader, which
# needs the i386 architecture in dpkg.
install_packages --architecture i386 cmake make openjdk-17-jdk-headless libgtest-dev \
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine64 wine32:i386

logs=()
trap 'rm -f "${logs[@]}"' EXIT

# Whether this machine runs 32-bit x86 programs, found by running one: the
# i386 loader, which wine32 brings (libc6:i386). A kernel without IA-32
# emulation refuses it with ENOEXEC, which the shell reports as "Exec format
# error" (status 126); that leaves `refusal` set to what it printed. Any other
# failure is a broken install and fails the run: only that one cause may
# skip the Wine runs.
refusal=""
runs_32bit_code() {
  local probe=/lib/ld-linux.so.2 output status=0
  output=$("$probe" --version 2>&1) || status=$?
  [ "$status" -eq 0 ] && return 0
  if [ "$status" -eq 126 ] && grep -q 'Exec format error' <<<"$output"; then
    refusal="$probe --version: $(head -1 <<<"$output")"
    return 1
  fi
  echo "$probe --version failed (status $status), not for want of 32-bit support:"
  echo "$output"
  exit 1
}

skipped=""
# windows_build NAME PRESET WINE [ctest options]: configures, builds and
# tests one Windows build (its preset's steps); prints how long each part
# took. WINE is "run", or "skip" to run only the tests that need no Wine
# (label `wine`: the programs; `wine-prefix`: the prefix they share).
windows_build() {
  local name=$1 preset=$2 wine=$3
  shift 3
  local started=$SECONDS
  echo "== Windows $name: the $preset preset =="
  configure_and_build "$preset"
  local built=$SECONDS
  [ -z "${JWEB_BUILD_ONLY:-}" ] || return 0

  if [ "$wine" = skip ]; then
    ctest --preset "$preset" --no-tests=error -LE '^wine' "$@"
    local not_run
    not_run=$(ctest --preset "$preset" -N -L '^wine' "$@" | sed -n 's/^ *Test *#[0-9]*: *//p' | tr '\n' ' ')
    skipped+="SKIPPED, NOT PASSED: Windows $name under Wine: ${not_run% } — this kernel runs no 32-bit x86 code ($refusal)"$'\n'
    echo "Windows $name: built in $((built - started)) s, exports and imports checked in $((SECONDS - built)) s; its Wine runs skipped"
    return 0
  fi

  local log
  log=$(mktemp)
  logs+=("$log")
  # Verbose into the log, to read the programs' own closing lines from it.
  local status=0
  ctest --preset "$preset" -V -j"$(nproc)" "$@" > "$log" 2>&1 || status=$?
  grep -E '^ *[0-9]+/[0-9]+ Test +#|tests passed|^[0-9]+: windows: ' "$log" || true
  if [ "$status" -ne 0 ]; then
    echo "Windows $name: ctest failed (status $status); its whole output:"
    cat "$log"
    exit 1
  fi

  # Each program run under Wine must have closed with "windows: N passed, 0
  # failed". None run is a failure too, unless ctest options chose the tests.
  local expected closing reported failing
  expected=$(ctest --preset "$preset" -N -L '^wine$' -FA '.*' "$@" | grep -c 'Test *#' || true)
  closing=$(grep -E '^[0-9]+: windows: [0-9]+ passed, [0-9]+ failed' "$log" || true)
  reported=$(printf '%s' "$closing" | grep -c . || true)
  failing=$(printf '%s' "$closing" | grep -vc ' 0 failed' || true)
  if { [ "$expected" -eq 0 ] && [ $# -eq 0 ]; } || [ "$reported" -ne "$expected" ] || [ "$failing" -ne 0 ]; then
    echo "Windows $name test programs: $expected run under Wine, $reported closed with a summary, $failing with failures"
    exit 1
  fi
  echo "Windows $name test programs: all $expected closed with no failure"
  echo "Windows $name: built in $((built - started)) s, tested in $((SECONDS - built)) s"
}

for arch in $archs; do
  case $arch in
    x86_64) windows_build x86-64 windows run "$@" ;;
    x86)
      wine=run
      runs_32bit_code || wine=skip
      windows_build x86 windows-x86 $wine "$@" ;;
    *) echo "unknown Windows build: $arch (x86_64 or x86)"; exit 2 ;;
  esac
done
if [ -n "$skipped" ]; then
  printf '%s' "$skipped"
  exit 77
fi
