#!/usr/bin/env bash
# The Windows builds and their tests: installs mingw-w64 and Wine (Debian
# packages), cross-builds jwebnative.dll, the stand-in TswReplayMain.dll and
# the Windows test program twice, for x86-64 (build-windows/, run by wine64)
# and for 32-bit x86 (build-windows-x86/, run by wine32's loader), and runs
# each build's tests under Wine through ctest. Fails unless ctest passes AND
# every test program run under Wine closed with its own summary line
# reporting no failure: Wine can exit 0 after a crash.
#   tools/run-windows-tests.sh [ctest options, for both builds]
#   JWEB_WINDOWS_ARCHS="x86_64 x86" (the default) chooses the builds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
archs=${JWEB_WINDOWS_ARCHS:-x86_64 x86}

# Both Windows builds: the 32-bit one runs under Wine's i386 loader, which
# needs the i386 architecture in dpkg.
"$root/tools/install-deps.sh" --architecture i386 cmake make openjdk-17-jdk-headless libgtest-dev \
  g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine64 wine32:i386

logs=()
trap 'rm -f "${logs[@]}"' EXIT

# windows_build NAME TOOLCHAIN BUILD_DIR [ctest options]: configures, builds
# and tests one Windows build; prints how long each part took.
windows_build() {
  local name=$1 toolchain=$2 build=$3
  shift 3
  local started=$SECONDS
  echo "== Windows $name: $build =="
  cmake -S "$root" -B "$build" --toolchain "$root/cmake/$toolchain" -DCMAKE_BUILD_TYPE=RelWithDebInfo
  cmake --build "$build" -j"$(nproc)"
  local built=$SECONDS

  local log
  log=$(mktemp)
  logs+=("$log")
  # Verbose into the log, to read the programs' own closing lines from it.
  local status=0
  ctest --test-dir "$build" -V -j"$(nproc)" "$@" > "$log" 2>&1 || status=$?
  grep -E '^ *[0-9]+/[0-9]+ Test +#|tests passed|^[0-9]+: windows: ' "$log" || true
  if [ "$status" -ne 0 ]; then
    echo "Windows $name: ctest failed (status $status); its whole output:"
    cat "$log"
    exit 1
  fi

  # Each program run under Wine must have closed with "windows: N passed, 0 failed".
  local expected closing reported failing
  expected=$(ctest --test-dir "$build" -N -L wine -FA '.*' "$@" | grep -c 'Test *#' || true)
  closing=$(grep -E '^[0-9]+: windows: [0-9]+ passed, [0-9]+ failed' "$log" || true)
  reported=$(printf '%s' "$closing" | grep -c . || true)
  failing=$(printf '%s' "$closing" | grep -vc ' 0 failed' || true)
  if [ "$expected" -eq 0 ] || [ "$reported" -ne "$expected" ] || [ "$failing" -ne 0 ]; then
    echo "Windows $name test programs: $expected run under Wine, $reported closed with a summary, $failing with failures"
    exit 1
  fi
  echo "Windows $name test programs: all $expected closed with no failure"
  echo "Windows $name: built in $((built - started)) s, tested in $((SECONDS - built)) s"
}

for arch in $archs; do
  case $arch in
    x86_64) windows_build x86-64 mingw-w64-x86_64.cmake "${JWEB_WINDOWS_BUILD_DIR:-$root/build-windows}" "$@" ;;
    x86) windows_build x86 mingw-w64-i686.cmake "${JWEB_WINDOWS_X86_BUILD_DIR:-$root/build-windows-x86}" "$@" ;;
    *) echo "unknown Windows build: $arch (x86_64 or x86)"; exit 2 ;;
  esac
done
