#!/usr/bin/env bash
# The Linux arm64 build and its tests: installs the cross compiler, qemu's
# user-mode emulator and Debian's arm64 libraries (multiarch), unpacks an
# arm64 JDK 17 into the build folder, cross-builds the library, the stand-in
# engines, the unit tests and jweb-check (the `arm64` preset, build-arm64/),
# and runs the tests under qemu through ctest: the unit and stand-in suites,
# and the JVM suites in the emulated arm64 JVM under -Xcheck:jni.
#   tools/run-arm64-tests.sh [ctest options]
# By default the part that every test run takes (`--preset arm64`, which
# leaves out the label arm64-full); JWEB_ARM64_FULL=1 runs all of it.
# JWEB_BUILD_ONLY=1 stops after the build (tools/make-release.sh).
set -euo pipefail
. "$(dirname "$0")/lib.sh"
build=$root/build-arm64
jdk=$build/target-jdk

install_packages --architecture arm64 cmake make pkg-config openjdk-17-jdk-headless junit5 \
  g++-aarch64-linux-gnu qemu-user-static libffi-dev:arm64 libgtest-dev:arm64 libstdc++6:arm64 zlib1g:arm64

# Debian's arm64 JDK, unpacked rather than installed: installing it would
# move the machine's own JDK to the same version and take over /usr/bin/java.
# Its configuration links point into /etc; here they point into the unpacked
# tree's own etc/. Made once per build folder; target-jdk names its home.
if [ ! -x "$jdk/bin/java" ]; then
  echo "unpacking an arm64 JDK 17 into $build/arm64-jdk"
  tree=$build/arm64-jdk
  rm -rf "$tree" "$jdk"
  mkdir -p "$tree/debs"
  download() { (cd "$tree/debs" && apt-get download -qq openjdk-17-jre-headless:arm64 openjdk-17-jdk-headless:arm64); }
  download 2>/dev/null || { apt_get update -qq && download; }  # the package lists may be stale
  for deb in "$tree"/debs/*.deb; do dpkg-deb -x "$deb" "$tree"; done
  rm -rf "$tree/debs"
  home=$tree/usr/lib/jvm/java-17-openjdk-arm64
  find "$home" -type l -lname '/etc/*' | while read -r link; do
    target=$(readlink "$link")
    # The CA certificates come from another package: the tests make no TLS connection.
    if [ -e "$tree$target" ]; then ln -sfn "$tree$target" "$link"; else rm -f "$link"; fi
  done
  ln -sfn "$home" "$jdk"
fi
qemu-aarch64-static "$jdk/bin/java" -version 2>&1 | head -1

configure_and_build arm64
[ -z "${JWEB_BUILD_ONLY:-}" ] || exit 0
cd "$root"
if [ -n "${JWEB_ARM64_FULL:-}" ]; then
  ctest --preset arm64-full -j"$(nproc)" "$@"
else
  ctest --preset arm64 -j"$(nproc)" "$@"
fi
