#!/usr/bin/env bash
# What each platform step installs, on a machine whose mirror refuses every
# foreign-architecture package (as one does when its i386 or arm64 index
# lags the machine's own: "you have held broken packages"). Each row runs a
# script of tools/ from a copy of tools/ (so its build folders are made in a
# scratch tree), with shims first on the PATH: dpkg-query finds nothing
# installed, apt-get records what it is asked to install and refuses the
# foreign packages, dpkg refuses a foreign architecture, and cmake, ctest and
# qemu record and pass. apt-get with a package list of its own (the private
# downloads of unpack_foreign_packages) goes to the real one: those rows
# download from the mirror.
#   check_installs.sh [ROW...]      (the rows below by name; all by default)
set -uo pipefail
source_tools=$(cd "$(dirname "$0")/../tools" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tree" "$work/shims"
cp -r "$source_tools" "$work/tree/tools"
log=$work/calls.log
export JWEB_SHIM_LOG=$log

shim() {  # shim NAME BODY: a program NAME in the shims' folder running BODY (sh)
  printf '#!/bin/sh\n%s\n' "$2" >"$work/shims/$1"
  chmod +x "$work/shims/$1"
}
shim dpkg-query 'exit 1'
shim apt-get 'case " $* " in *" Dir::State::Lists="*" download "*)
  if [ -n "${JWEB_SHIM_NO_DOWNLOADS:-}" ]; then echo "E: Unable to locate package wine32" >&2; exit 100; fi ;;
esac
case " $* " in *" Dir::State::Lists="*) exec /usr/bin/apt-get "$@" ;; esac
echo "apt-get $*" >>"$JWEB_SHIM_LOG"
case " $* " in *" install "*)
  for a; do case $a in *::*) ;; *:*) echo "E: Unable to correct problems, you have held broken packages." >&2; exit 100 ;; esac; done ;;
esac'
shim dpkg 'case " $* " in
  *" --add-architecture "*) echo "dpkg $*" >>"$JWEB_SHIM_LOG"; echo "dpkg: refused in this test" >&2; exit 2 ;;
  *" --print-foreign-architectures "*) exit 0 ;;
esac
exec /usr/bin/dpkg "$@"'
shim sudo 'exec "$@"'
shim cmake 'echo "cmake $*" >>"$JWEB_SHIM_LOG"'
shim ctest 'echo "ctest $*" >>"$JWEB_SHIM_LOG"
case " $* " in *" -N "*) echo "  Test  #1: windows_unit" ;; *) echo "1: windows: 1 passed, 0 failed" ;; esac'
shim qemu-aarch64-static 'echo "qemu-aarch64-static $*" >>"$JWEB_SHIM_LOG"'
export PATH=$work/shims:$PATH

# Whether this machine runs the 32-bit loader: the x86 row's Wine runs
# happen only where it does.
runs_32bit=""
/lib/ld-linux.so.2 --version >/dev/null 2>&1 && runs_32bit=1
i386_libc=""
[ -e /lib/ld-linux.so.2 ] || i386_libc=" libc6-i386"

# NAME|COMMAND (run in the scratch tree)|STATUS|INSTALLED (sorted)|FILES THAT MUST BE THERE (scratch tree)
windows_build="cmake g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix gcc-mingw-w64-i686-posix gcc-mingw-w64-x86-64-posix libgtest-dev make openjdk-17-jdk-headless"
rows=(
  "windows_release_build|JWEB_BUILD_ONLY=1 tools/run-windows-tests.sh|0|$windows_build|"
  "windows_x86_64|JWEB_WINDOWS_ARCHS=x86_64 tools/run-windows-tests.sh|0|cmake g++-mingw-w64-x86-64-posix gcc-mingw-w64-i686-posix libgtest-dev make openjdk-17-jdk-headless wine64|"
  "arm64_build|JWEB_BUILD_ONLY=1 tools/run-arm64-tests.sh|0|cmake g++-aarch64-linux-gnu junit5 make openjdk-17-jdk-headless pkg-config qemu-user-static|build-arm64/target-root/lib/ld-linux-aarch64.so.1 build-arm64/target-root/usr/lib/aarch64-linux-gnu/libffi.a build-arm64/target-root/usr/lib/aarch64-linux-gnu/libgtest.a build-arm64/target-jdk/bin/java build-arm64/target-jdk/include/jni.h"
)
if [ -n "$runs_32bit" ]; then
  # A mirror that cannot give even the 32-bit Wine: skipped, with apt's words.
  rows+=("windows_x86_no_wine|JWEB_SHIM_NO_DOWNLOADS=1 JWEB_WINDOWS_ARCHS=x86 tools/run-windows-tests.sh|77|cmake g++-mingw-w64-i686-posix gcc-mingw-w64-x86-64-posix libgtest-dev make openjdk-17-jdk-headless$i386_libc|")
  rows+=("windows_x86|JWEB_WINDOWS_ARCHS=x86 tools/run-windows-tests.sh|0|cmake g++-mingw-w64-i686-posix gcc-mingw-w64-x86-64-posix libgtest-dev make openjdk-17-jdk-headless$i386_libc|build-windows-x86/wine32/usr/lib/wine/wine build-windows-x86/wine32/usr/lib/wine/wineserver32")
else
  rows+=("windows_x86|JWEB_WINDOWS_ARCHS=x86 tools/run-windows-tests.sh|77|cmake g++-mingw-w64-i686-posix gcc-mingw-w64-x86-64-posix libgtest-dev make openjdk-17-jdk-headless$i386_libc|")
fi

failed=0 ran=0
for row in "${rows[@]}"; do
  IFS='|' read -r name command status installed files <<<"$row"
  [ $# -eq 0 ] || [[ " $* " == *" $name "* ]] || continue
  ran=$((ran + 1))
  : >"$log"
  out=$(cd "$work/tree" && env $command 2>&1)
  got=$?
  problems=()
  [ "$got" -eq "$status" ] || problems+=("status $got, not $status")
  asked=$(sed -n 's/^apt-get .* install -y -qq --no-install-recommends //p' "$log" | tr ' ' '\n' | sort | tr '\n' ' ')
  [ "${asked% }" = "$installed" ] || problems+=("installed: ${asked% }; expected: $installed")
  ! grep -q -- '--add-architecture' "$log" || problems+=("added an architecture to dpkg")
  for file in $files; do
    [ -e "$work/tree/$file" ] || problems+=("no $file")
  done
  if [ "$status" -eq 77 ] && ! grep -q '^SKIPPED, NOT PASSED: Windows x86 under Wine: .* — .*[a-z]' <<<"$out"; then
    problems+=("skipped without a SKIPPED, NOT PASSED line naming the runs and the reason")
  fi
  if [ ${#problems[@]} -eq 0 ]; then
    echo "passed  $name"
  else
    failed=$((failed + 1))
    echo "FAILED  $name: $(IFS=';'; echo "${problems[*]}")"
    sed 's/^/    | /' <<<"$out"
  fi
done

# The private 32-bit Wine under the same refusals, wherever the kernel runs
# it or not: its loader, server and libraries need nothing the 32-bit C
# library does not hold, and its loader starts (under qemu where the kernel
# runs no 32-bit code and qemu is there).
if [ $# -eq 0 ] || [[ " $* " == *" wine32 "* ]]; then
  ran=$((ran + 1))
  wine32=$work/wine32
  problems=()
  out=$(. "$work/tree/tools/lib.sh" && unpack_foreign_packages i386 "$wine32" wine32 libwine 2>&1) ||
    problems+=("unpack_foreign_packages failed: $out")
  unix=$wine32/usr/lib/i386-linux-gnu/wine/i386-unix
  for object in "$wine32/usr/lib/wine/wine" "$wine32/usr/lib/wine/wineserver32" "$unix/ntdll.so"; do
    [ -e "$object" ] || { problems+=("no $object"); continue; }
    for needed in $(readelf -d "$object" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
      case $needed in libc.so.6 | libm.so.6 | libdl.so.2 | libpthread.so.0 | ntdll.so) ;;
        *) problems+=("$(basename "$object") needs $needed") ;;
      esac
    done
  done
  loader=()
  if [ -n "$runs_32bit" ]; then loader=(); elif command -v qemu-i386-static >/dev/null; then loader=(qemu-i386-static); fi
  if [ -n "$runs_32bit" ] || [ ${#loader[@]} -gt 0 ]; then
    version=$("${loader[@]}" "$wine32/usr/lib/wine/wine" --version 2>&1)
    grep -q '^wine-' <<<"$version" || problems+=("wine --version printed: $version")
  fi
  if [ ${#problems[@]} -eq 0 ]; then
    echo "passed  wine32 ($(du -sm "$wine32" | cut -f1) MB${version:+, $version})"
  else
    failed=$((failed + 1))
    echo "FAILED  wine32: $(IFS=';'; echo "${problems[*]}")"
  fi
fi

echo "installs: $((ran - failed)) passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$ran" -gt 0 ]
