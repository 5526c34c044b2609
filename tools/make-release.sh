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
#   tools/make-release.sh            JWEB_DIST_DIR chooses the folder (dist/)
set -euo pipefail
. "$(dirname "$0")/lib.sh"
dist=${JWEB_DIST_DIR:-$root/dist}
linux=("$root/build" "$root/build-arm64")
windows=("$root/build-windows" "$root/build-windows-x86")
started=$SECONDS

install_packages  # cmake, rpm and the checks' tools

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
bring_up_to_date "${linux[0]}" configure_and_build default
bring_up_to_date "${linux[1]}" env JWEB_BUILD_ONLY=1 "$root/tools/run-arm64-tests.sh"
bring_up_to_date "${windows[0]}" env JWEB_BUILD_ONLY=1 JWEB_WINDOWS_ARCHS=x86_64 "$root/tools/run-windows-tests.sh"
bring_up_to_date "${windows[1]}" env JWEB_BUILD_ONLY=1 JWEB_WINDOWS_ARCHS=x86 "$root/tools/run-windows-tests.sh"
built=$SECONDS

# CPack makes every file; its staging folders stay out of dist/.
staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
rm -rf "$dist"
mkdir -p "$dist"
for build in "${linux[@]}" "${windows[@]}"; do
  out=$staging/$(basename "$build")
  if ! cpack --config "$build/CPackConfig.cmake" -B "$out" >"$out.log" 2>&1; then
    cat "$out.log"
    exit 1
  fi
  find "$out" -maxdepth 1 -type f \( -name '*.deb' -o -name '*.rpm' -o -name '*.tar.gz' -o -name '*.zip' \) \
    -exec mv -t "$dist" {} +
done
# rpmlint's settings for these packages, for whoever lints them again.
cp "$root/packaging/rpmlint.toml" "$dist/"
(cd "$dist" && sha256sum -- * >SHA256SUMS)
# The Maven repository, with its own checksums beside each file.
"$root/tools/make-maven-repo.sh" "$dist/maven" "${linux[@]}" "${windows[@]}"
echo "== $dist: built in $((built - started)) s, packaged in $((SECONDS - built)) s"
(cd "$dist" && ls -l --time-style=+ -- * | awk '{printf "%10d  %s\n", $5, $NF}')

"$root/tests/check_release.sh" "$dist"
