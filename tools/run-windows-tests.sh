#!/usr/bin/env bash
# The Windows build and its tests: installs mingw-w64 and Wine (Debian
# packages), cross-builds jwebnative.dll, the stand-in TswReplayMain.dll and
# the Windows test program, and runs the tests under Wine through ctest.
# Fails unless ctest passes AND every test program run under Wine closed with
# its own summary line reporting no failure: Wine can exit 0 after a crash.
#   tools/run-windows-tests.sh [ctest options]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${JWEB_WINDOWS_BUILD_DIR:-$root/build-windows}

# Both Windows builds: the 32-bit one runs under Wine's i386 loader, which
# needs the i386 architecture in dpkg.
packages=(cmake make openjdk-17-jdk-headless libgtest-dev g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
          wine64 wine32:i386)
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "adding the i386 architecture (for wine32)"
  $sudo dpkg --add-architecture i386
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

cmake -S "$root" -B "$build" --toolchain "$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j"$(nproc)"

log=$(mktemp)
trap 'rm -f "$log"' EXIT
cd "$build"
# Verbose into the log, to read the programs' own closing lines from it.
status=0
ctest -V -j"$(nproc)" "$@" > "$log" 2>&1 || status=$?
grep -E '^ *[0-9]+/[0-9]+ Test +#|tests passed|^[0-9]+: windows: ' "$log" || true
if [ "$status" -ne 0 ]; then
  echo "ctest failed (status $status); its whole output:"
  cat "$log"
  exit 1
fi

# Each program run under Wine must have closed with "windows: N passed, 0 failed".
expected=$(ctest -N -L wine -FA '.*' "$@" | grep -c 'Test *#' || true)
closing=$(grep -E '^[0-9]+: windows: [0-9]+ passed, [0-9]+ failed' "$log" || true)
reported=$(printf '%s' "$closing" | grep -c . || true)
failing=$(printf '%s' "$closing" | grep -vc ' 0 failed' || true)
if [ "$expected" -eq 0 ] || [ "$reported" -ne "$expected" ] || [ "$failing" -ne 0 ]; then
  echo "Windows test programs: $expected run under Wine, $reported closed with a summary, $failing with failures"
  exit 1
fi
echo "Windows test programs: all $expected closed with no failure"
