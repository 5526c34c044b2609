#!/usr/bin/env bash
# Makes the release set into dist/ and checks it: for Linux x86-64 and arm64
# the .deb and .rpm packages of both components with their symbol packages
# and a .tar.gz of everything; a .zip for Windows x86-64 and x86; rpmlint's
# settings (packaging/rpmlint.toml); SHA256SUMS; maven/, a Maven repository
# (tools/make-maven-repo.sh).
# Each comes from the build folder the test command's part for that target
# makes (build/, build-arm64/, build-windows/, build-windows-x86/): a folder
# that is there is brought up to date, one that is not is made as that part
# makes it. tests/check_release.sh then checks every file (docs/releasing.md).
# Every file is the same, byte for byte, wherever and whenever the set is
# made from one commit: every time in it is SOURCE_DATE_EPOCH, else the
# commit's time.
#   tools/make-release.sh            JWEB_DIST_DIR chooses the folder (dist/)
#   tools/make-release.sh --check-reproducible [--target FOLDER]...
#       makes the set twice, from two clones of the commit at different
#       paths, under different umasks, time zones and locales, and compares
#       the two: fails on the first file that differs, with diffoscope's
#       account of it. --target limits the set to those build folders (e.g.
#       --target build: the x86-64 packages, made without the tests).
# Signs the set when given the publisher's keys (tools/sign-release.sh names
# them: JWEB_SIGN_GPG_KEY, JWEB_SIGN_CERT, JWEB_SIGN_KEY); without them the
# set is unsigned, and it says so.
# (--target and --no-check, which leaves out the check, serve the comparison.)
set -euo pipefail
. "$(dirname "$0")/lib.sh"
all_targets=(build build-arm64 build-windows build-windows-x86)
targets=() check_reproducible="" check=1
while [ $# -gt 0 ]; do
  case $1 in
    --check-reproducible) check_reproducible=1 ;;
    --target) [ $# -ge 2 ] || { echo "--target needs a build folder (${all_targets[*]})" >&2; exit 2; }
              targets+=("$2"); shift ;;
    --no-check) check="" ;;
    *) echo "unknown option: $1 (see the comment at the top of $0)" >&2; exit 2 ;;
  esac
  shift
done
[ ${#targets[@]} -gt 0 ] || targets=("${all_targets[@]}")
for t in "${targets[@]}"; do
  [[ " ${all_targets[*]} " == *" $t "* ]] || { echo "unknown build folder: $t (${all_targets[*]})" >&2; exit 2; }
done
dist=${JWEB_DIST_DIR:-$root/dist}
started=$SECONDS

install_packages  # cmake, rpm and the checks' tools
# The modes of the folders and the ar members CPack makes follow the umask.
umask 022
# Every time written into the set: CPack (the .deb files and the archives),
# rpmbuild and the jars (cmake/date_jar.cmake) read it.
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}
export SOURCE_DATE_EPOCH

# check_reproducible: the set made twice and compared (the comment above).
check_reproducible() {
  local commit run options=() name
  commit=$(git -C "$root" rev-parse HEAD)
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  for t in "${targets[@]}"; do options+=(--target "$t"); done
  install_packages diffoscope-minimal
  echo "== the set of $commit (SOURCE_DATE_EPOCH $SOURCE_DATE_EPOCH) made twice: ${targets[*]}"
  # Each run: its folder, umask, time zone and locale.
  for run in "one/jwebnative 022 UTC C.UTF-8" "two/a/longer/path/jweb 077 Pacific/Kiritimati C"; do
    read -r name umask_ tz locale <<<"$run"
    local took=$SECONDS
    if ! (umask "$umask_" && git clone -q --no-checkout "$root" "$work/$name" && cd "$work/$name" &&
          git checkout -q --detach "$commit" && env -u JWEB_SIGN_GPG_KEY -u JWEB_SIGN_CERT TZ="$tz" LC_ALL="$locale" JWEB_RELEASE_NO_TESTS=1 \
          JWEB_DIST_DIR="$work/$name/dist" tools/make-release.sh --no-check "${options[@]}") >"$work/${name%%/*}.log" 2>&1; then
      cat "$work/${name%%/*}.log"
      echo "FAILED: the set could not be made in $work/$name"
      return 1
    fi
    echo "made in $work/$name (umask $umask_, TZ=$tz, LC_ALL=$locale) in $((SECONDS - took)) s"
  done
  local one=$work/one/jwebnative/dist two=$work/two/a/longer/path/jweb/dist
  files() { (cd "$1" && find . -type f -printf '%P\n' | LC_ALL=C sort); }
  if ! diff <(files "$one") <(files "$two"); then
    echo "FAILED: the two sets hold different files (above)"
    return 1
  fi
  # The bills of materials and SHA256SUMS, which list the others' sums, last:
  # the first file that differs is the one to explain.
  for file in $(files "$one" | grep -v -e '\.spdx\.json$' -e '^SHA256SUMS$') \
      $(cd "$one" && ls -- *.spdx.json) SHA256SUMS; do
    if ! cmp "$one/$file" "$two/$file"; then
      echo "FAILED: $file differs; diffoscope's account:"
      diffoscope --no-progress "$one/$file" "$two/$file" || true
      local kept
      kept=$(mktemp -d)
      cp -a "$one" "$kept/one" && cp -a "$two" "$kept/two" && echo "(both sets are kept in $kept)"
      return 1
    fi
  done
  echo "the same, byte for byte, in both sets: $(files "$one" | wc -l) files"
  echo "SHA256SUMS of both: $(sha256sum <"$one/SHA256SUMS" | cut -c1-64)"
  sed 's/^/  /' "$one/SHA256SUMS"
}
if [ -n "$check_reproducible" ]; then
  check_reproducible
  exit
fi

# bring_up_to_date FOLDER COMMAND...: builds FOLDER, or makes it with COMMAND.
bring_up_to_date() {
  local build=$1
  shift
  if [ -f "$build/cmake_install.cmake" ]; then  # configured and generated
    echo "== $build: brought up to date"
    cmake --build "$build" -j"$(nproc)" >/dev/null
  else
    echo "== $build: made"
    "$@"
  fi
}
for t in "${targets[@]}"; do
  case $t in
    # Without the tests when the comparison makes it: they are not shipped.
    build) bring_up_to_date "$root/$t" configure_and_build default ${JWEB_RELEASE_NO_TESTS:+-DBUILD_TESTING=OFF -DJWEB_BENCHMARKS=OFF} ;;
    build-arm64) bring_up_to_date "$root/$t" env JWEB_BUILD_ONLY=1 "$root/tools/run-arm64-tests.sh" ;;
    build-windows) bring_up_to_date "$root/$t" env JWEB_BUILD_ONLY=1 JWEB_WINDOWS_ARCHS=x86_64 "$root/tools/run-windows-tests.sh" ;;
    build-windows-x86) bring_up_to_date "$root/$t" env JWEB_BUILD_ONLY=1 JWEB_WINDOWS_ARCHS=x86 "$root/tools/run-windows-tests.sh" ;;
  esac
done
built=$SECONDS

# CPack makes every file; its staging folders stay out of dist/.
staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
rm -rf "$dist"
mkdir -p "$dist"
for t in "${targets[@]}"; do
  out=$staging/$t
  # (TZ: a zip entry's DOS time is a local time.)
  if ! TZ=UTC cpack --config "$root/$t/CPackConfig.cmake" -B "$out" >"$out.log" 2>&1; then
    cat "$out.log"
    exit 1
  fi
  mapfile -t made < <(cd "$out" && find . -maxdepth 1 -type f \
    \( -name '*.deb' -o -name '*.rpm' -o -name '*.tar.gz' -o -name '*.zip' \) -printf '%f\n' | LC_ALL=C sort)
  (cd "$out" && mv -t "$dist" "${made[@]}")
  # The packages signed before anything lists their sums (the DLLs were, as
  # CPack installed them: cmake/split_debug.cmake).
  if [ -n "${JWEB_SIGN_GPG_KEY:-}" ]; then
    (cd "$dist" && "$root/tools/sign-release.sh" $(printf '%s\n' "${made[@]}" | grep -E '\.(deb|rpm)$'))
  fi
  # Its bill of materials, named after its archive (the .tar.gz or the .zip).
  sbom=$(printf '%s\n' "${made[@]}" | sed -nE 's/\.(tar\.gz|zip)$/.spdx.json/p')
  (cd "$dist" && /usr/bin/python3 "$root/tools/make-sbom.py" "$root/$t" "$sbom" "${made[@]}")
done
# rpmlint's settings for these packages, for whoever lints them again.
cp "$root/packaging/rpmlint.toml" "$dist/"
(cd "$dist" && export LC_ALL=C && sha256sum -- * >SHA256SUMS)  # in the C locale's order
# The Maven repository, with its own checksums beside each file.
"$root/tools/make-maven-repo.sh" "$dist/maven" "${targets[@]/#/$root/}"
if [ -n "${JWEB_SIGN_GPG_KEY:-}" ]; then
  "$root/tools/sign-release.sh" "$dist/SHA256SUMS"
else
  echo "== unsigned: no JWEB_SIGN_GPG_KEY (the packages, SHA256SUMS)"
fi
[ -n "${JWEB_SIGN_CERT:-}" ] || echo "== unsigned: no JWEB_SIGN_CERT and JWEB_SIGN_KEY (the DLLs)"
echo "== $dist: built in $((built - started)) s, packaged in $((SECONDS - built)) s"
(cd "$dist" && ls -l --time-style=+ -- * | awk '{printf "%10d  %s\n", $5, $NF}')

[ -z "$check" ] || "$root/tests/check_release.sh" "$dist"
