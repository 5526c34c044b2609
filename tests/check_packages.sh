#!/usr/bin/env bash
# The .deb and .rpm packages of both components and of their symbols: made into a folder of their
# own, they name no libffi (it is inside the library) and, the .rpm files,
# no C library version newer than GLIBC_2.17 (rpmbuild lists what the files
# need). Prints each package's requirements.
#   check_packages.sh CPACK BUILD_DIR
set -euo pipefail
cpack=$1
build=$2
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$cpack" --config "$build/CPackConfig.cmake" -G "DEB;RPM" -B "$out" >"$out/cpack.log" 2>&1 || {
  cat "$out/cpack.log"
  exit 1
}
failed=0
count=0
for package in "$out"/*.deb "$out"/*.rpm; do
  [ -e "$package" ] || continue
  count=$((count + 1))
  case "$package" in
    *.deb) needs=$(dpkg-deb -f "$package" Depends | tr ',' '\n' | sed 's/^ *//') ;;
    *.rpm) needs=$(rpm -qpR "$package") ;;
  esac
  echo "== $(basename "$package")"
  sed 's/^/   /' <<<"$needs"
  if grep -qi ffi <<<"$needs"; then
    echo "   FAILED: needs libffi"
    failed=1
  fi
  newest=$(grep -oE 'GLIBC_[0-9.]+' <<<"$needs" | sed 's/GLIBC_//' | sort -V | tail -1 || true)
  if [ -n "$newest" ] && [ "$(printf '%s\n2.17\n' "$newest" | sort -V | tail -1)" != 2.17 ]; then
    echo "   FAILED: needs GLIBC_$newest"
    failed=1
  fi
done
if [ "$count" -ne 8 ]; then
  echo "FAILED: expected 8 packages (2 .deb, 2 .rpm, and the symbols of each), made $count"
  failed=1
fi
exit $failed
