#!/usr/bin/env bash
# The Windows builds and their tests: installs mingw-w64, cross-builds
# jwebnative.dll, the stand-in TswReplayMain.dll and the Windows test program
# twice, for x86-64 (build-windows/) and for 32-bit x86 (build-windows-x86/),
# and runs each build's tests under Wine through ctest: wine64, Debian's
# package, for x86-64; for x86 Debian's 32-bit Wine unpacked into the build
# folder (build-windows-x86/wine32), never installed, so that dpkg gets no
# i386 architecture and no run depends on the mirror's i386 indexes agreeing
# with this machine's own. A build passes when ctest passes AND every test
# program run under Wine closed with its own summary line reporting no
# failure: Wine can exit 0 after a crash.
#   tools/run-windows-tests.sh [ctest options, for both builds]
#   JWEB_WINDOWS_ARCHS="x86_64 x86" (the default) chooses the builds.
#   JWEB_BUILD_ONLY=1 stops after building them, and installs no Wine
#   (tools/make-release.sh).
# Where the x86 Wine runs cannot happen (a kernel that runs no 32-bit x86
# code; a 32-bit Wine that cannot be had from the mirror), the x86 build is
# still made and its exports and imports checked: the script names each Wine
# run it left out and why, and exits 77 (skipped) rather than 0.
# Exit status: 0 when everything ran and passed, 77 when everything that ran
# passed but something could not run here, 1 on any failure.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
cd "$root"
archs=${JWEB_WINDOWS_ARCHS:-x86_64 x86}

# Each step installs what it uses: the builds, mingw-w64 (and the other
# processor's C compiler, for a test DLL jweb-check must refuse); the x86-64 runs,
# wine64; the x86 runs, the 32-bit C library (libc6-i386, a package of this
# machine's own architecture) and the private Wine below.
packages=(cmake make openjdk-17-jdk-headless libgtest-dev)
for arch in $archs; do
  case $arch in
    x86_64) packages+=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-i686-posix) ;;
    x86) packages+=(g++-mingw-w64-i686-posix gcc-mingw-w64-x86-64-posix) ;;
    *) echo "unknown Windows build: $arch (x86_64 or x86)"; exit 2 ;;
  esac
done
if [ -z "${JWEB_BUILD_ONLY:-}" ]; then
  [[ " $archs " != *" x86_64 "* ]] || packages+=(wine64)
  [[ " $archs " != *" x86 "* ]] || [ -e /lib/ld-linux.so.2 ] || packages+=(libc6-i386)
fi
install_packages "${packages[@]}"

logs=()
trap 'rm -f "${logs[@]}"' EXIT

# Whether this machine runs 32-bit x86 programs, found by running one: the
# i386 loader, which libc6-i386 brings (or libc6:i386). A kernel without IA-32
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
    refusal="this kernel runs no 32-bit x86 code ($probe --version: $(head -1 <<<"$output"))"
    return 1
  fi
  echo "$probe --version failed (status $status), not for want of 32-bit support:"
  echo "$output"
  exit 1
}

# Debian's 32-bit Wine (wine32 and libwine, i386), unpacked into the x86
# build folder, where tests/windows/CMakeLists.txt runs it from; made once
# (delete the folder to make it again). Its loader, server and libraries
# need only the 32-bit C library. Leaves `refusal` set to apt's words when
# it cannot be had.
wine32=$root/build-windows-x86/wine32
provide_wine32() {
  [ ! -e "$wine32/.complete" ] || return 0
  echo "unpacking Debian's 32-bit Wine into $wine32"
  rm -rf "$wine32"
  if ! unpack_foreign_packages i386 "$wine32" wine32 libwine; then
    refusal="no 32-bit Wine from the mirror: $unpack_failure"
    rm -rf "$wine32"
    return 1
  fi
  touch "$wine32/.complete"
}

skipped=""
# windows_build NAME PRESET WINE [ctest options]: configures, builds and
# tests one Windows build (its preset's steps); prints how long each part
# took. WINE is "run", or "skip" to run only the tests that need no Wine
# (label `wine`: the programs; `wine-prefix`: the prefix they share), saying
# why from `refusal`.
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
    skipped+="SKIPPED, NOT PASSED: Windows $name under Wine: ${not_run% } — $refusal"$'\n'
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
      if [ -z "${JWEB_BUILD_ONLY:-}" ]; then
        runs_32bit_code && provide_wine32 || wine=skip
      fi
      windows_build x86 windows-x86 $wine "$@" ;;
  esac
done
if [ -n "$skipped" ]; then
  printf '%s' "$skipped"
  exit 77
fi
