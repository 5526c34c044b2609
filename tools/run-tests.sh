#!/usr/bin/env bash
# Installs what is needed, builds everything and runs every test, in parts:
# the main build's ctest suite (unit, JVM, fuzzing, examples, stress), the
# unit suite again under the sanitizers, the Windows x86-64 and x86 builds
# under Wine, the Linux arm64 build under qemu (the part every run takes),
# the JVM suites, with the library built here, in Debian 11 and 13
# userlands (idem), and the release set made from those builds and checked
# (tools/make-release.sh), signed with throwaway keys, and its x86-64 part
# made twice more and compared byte for byte.
# Each part runs whatever happened to the ones before it; the summary at the
# end gives each part's outcome and time, and the exit status is 0 only when
# every part passed. What could not run on this machine (the 32-bit Windows
# build's Wine runs, on a kernel that runs no 32-bit code) is named there as
# skipped, never counted as passed.
#   tools/run-tests.sh [--only PART[,PART...]] [--dry-run] [-- CTEST OPTIONS...]
#   tools/run-tests.sh --list | --help
set -uo pipefail
. "$(dirname "$0")/lib.sh"

# The parts, in the order they run: name|summary title|takes ctest options|what it needs.
# Part NAME runs the function part_NAME (with _ for -).
parts=(
  "main|Main suite|yes|the build's Debian packages (tools/install-deps.sh; root or sudo)"
  "sanitize|Unit suite under the sanitizers|yes|the same packages (clang's sanitizer runtimes among them)"
  "windows|Windows x86-64|yes|mingw-w64 and wine64 (installed; root or sudo)"
  "windows-x86|Windows x86|yes|mingw-w64 and the 32-bit C library (installed), Debian's 32-bit Wine (unpacked); a kernel that runs 32-bit code, else its Wine runs are skipped"
  "arm64|Linux arm64 under qemu|yes|the arm64 cross compiler and qemu-user-static (installed), Debian's arm64 libraries and JDK 17 (unpacked)"
  "userlands|Debian 11 and 13 userlands|no|root (sudo), debootstrap and Debian's mirror (roots made once in .userland/)"
  "release|Release set|no|the main, arm64 and both Windows builds (made when missing); lintian, rpmlint, diffoscope, gpg, debsigs, osslsigncode; SPDX's schema in ../shared/spdx (else its check is skipped)"
)

# (Chained with &&: `set -e` has no effect in a function whose status is tested.)
part_main() {
  install_packages && configure_and_build default && ctest --preset default -j"$(nproc)" "$@"
}
part_sanitize() { "$root/tools/run-sanitizer-tests.sh" "$@"; }
part_windows() { JWEB_WINDOWS_ARCHS=x86_64 "$root/tools/run-windows-tests.sh" "$@"; }
part_windows_x86() { JWEB_WINDOWS_ARCHS=x86 "$root/tools/run-windows-tests.sh" "$@"; }
part_arm64() { "$root/tools/run-arm64-tests.sh" "$@"; }
part_userlands() { "$root/tools/run-userland-tests.sh"; }
# The set made and checked; signed with throwaway keys; its x86-64 part made
# twice more, from clones, and compared. (77: the set's check skipped something.)
part_release() {
  local status=0
  "$root/tools/make-release.sh" || status=$?
  [ "$status" -eq 0 ] || [ "$status" -eq 77 ] || return "$status"
  "$root/tests/check_signing.sh" "${JWEB_DIST_DIR:-$root/dist}" &&
    "$root/tools/make-release.sh" --check-reproducible --target build || return
  return "$status"
}

usage() {
  cat <<EOF
usage: tools/run-tests.sh [--only PART[,PART...]] [--dry-run] [-- CTEST OPTIONS...]
       tools/run-tests.sh --list | --help
Runs every part, or those --only names (in the order --list shows), and
prints a summary. CTEST OPTIONS go to each part that runs ctest, e.g.
  tools/run-tests.sh --only main -- -L unit
  tools/run-tests.sh --only main,sanitize -- -R GuardTest
--dry-run prints what would run and runs nothing.
Exit status: 0 when every part passed (a part that could not run everything
here says what it left out, and passes), 1 when one failed, 2 on a wrong option.
EOF
}

list_parts() {
  local name title takes needs
  printf '%-12s %-6s %s\n' part ctest "title: what it needs"
  for row in "${parts[@]}"; do
    IFS='|' read -r name title takes needs <<<"$row"
    printf '%-12s %-6s %s\n' "$name" "$takes" "$title: $needs"
  done
}

contains() {  # contains WORD LIST...
  local word=$1 item
  shift
  for item; do [ "$item" != "$word" ] || return 0; done
  return 1
}
names=()
for row in "${parts[@]}"; do names+=("${row%%|*}"); done
only="" dry_run=""
while [ $# -gt 0 ]; do
  case $1 in
    --list) list_parts; exit 0 ;;
    -h | --help) usage; exit 0 ;;
    --only) [ $# -ge 2 ] || { echo "--only needs a part (the parts: ${names[*]})" >&2; exit 2; }
            only+=,$2; shift ;;
    --only=*) only+=,${1#--only=} ;;
    --dry-run) dry_run=1 ;;
    --) shift; break ;;
    *) echo "unknown option: $1 (ctest options go after --, see --help)" >&2; exit 2 ;;
  esac
  shift
done

# Which parts run: all, or those named, each once, in the table's order.
selected=("${names[@]}")
if [ -n "$only" ]; then
  IFS=',' read -ra wanted <<<"${only#,}"
  for name in "${wanted[@]}"; do
    contains "$name" "${names[@]}" || { echo "unknown part: $name (the parts: ${names[*]})" >&2; exit 2; }
  done
  selected=()
  for name in "${names[@]}"; do
    ! contains "$name" "${wanted[@]}" || selected+=("$name")
  done
  [ ${#selected[@]} -gt 0 ] || { echo "--only names no part (the parts: ${names[*]})" >&2; exit 2; }
fi
if [ $# -gt 0 ]; then
  takers=0
  for row in "${parts[@]}"; do
    IFS='|' read -r name _ takes _ <<<"$row"
    [ "$takes" != yes ] || ! contains "$name" "${selected[@]}" || takers=$((takers + 1))
  done
  if [ "$takers" -eq 0 ]; then
    echo "none of the parts chosen (${selected[*]}) takes ctest options: --list shows which do" >&2
    exit 2
  fi
fi

summary=()
passed=0 failed=0 skipped=0
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# part TITLE COMMAND...: runs one part in a subshell, so that its failure
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

for row in "${parts[@]}"; do
  IFS='|' read -r name title takes _ <<<"$row"
  contains "$name" "${selected[@]}" || continue
  options=()
  [ "$takes" != yes ] || options=("$@")
  if [ -n "$dry_run" ]; then
    echo "$name: $title${options[*]:+, ctest options:$(printf ' %q' "${options[@]}")}"
  else
    part "$title" "part_${name//-/_}" "${options[@]}"
  fi
done
[ -z "$dry_run" ] || exit 0

echo "== Summary =="
printf '%s\n' "${summary[@]}"
echo "parts: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
