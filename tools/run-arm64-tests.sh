#!/usr/bin/env bash
# The Linux arm64 build and its tests: installs the cross compiler and qemu's
# user-mode emulator, unpacks Debian's arm64 libraries and JDK 17 into the
# build folder's target root (never installed: dpkg gets no arm64
# architecture), cross-builds the library, the stand-in engines, the unit
# tests and jweb-check (the `arm64` preset, build-arm64/), and runs the tests
# under qemu through ctest: the unit and stand-in suites, and the JVM suites
# in the emulated arm64 JVM under -Xcheck:jni.
#   tools/run-arm64-tests.sh [ctest options]
# By default the part that every test run takes (`--preset arm64`, which
# leaves out the label arm64-full); JWEB_ARM64_FULL=1 runs all of it.
# JWEB_BUILD_ONLY=1 stops after the build (tools/make-release.sh).
set -euo pipefail
. "$(dirname "$0")/lib.sh"
build=$root/build-arm64
target=$build/target-root  # JWEB_TARGET_ROOT (cmake/aarch64-linux-gnu.cmake)

install_packages cmake make pkg-config openjdk-17-jdk-headless junit5 g++-aarch64-linux-gnu qemu-user-static

# What the cross compiler does not bring: libffi and GoogleTest to link; the
# C and C++ runtimes, zlib and a JDK 17 to run the tests on. Made once per
# build folder (delete target-root to make it again).
if [ ! -e "$target/.complete" ]; then
  echo "unpacking Debian's arm64 libraries and JDK 17 into $target"
  rm -rf "$target" "$build/target-jdk" "$build/arm64-jdk"  # arm64-jdk: where the JDK alone was unpacked before
  unpack_foreign_packages arm64 "$target" libc6 libgcc-s1 libstdc++6 zlib1g libffi8 libffi-dev libgtest-dev \
    openjdk-17-jre-headless openjdk-17-jdk-headless
  # The JDK's configuration links point into /etc; here they point into the
  # root's own etc/. The CA certificates come from another package: the
  # tests make no TLS connection.
  home=$target/usr/lib/jvm/java-17-openjdk-arm64
  find "$home" -type l -lname '/etc/*' | while read -r link; do
    destination=$(readlink "$link")
    if [ -e "$target$destination" ]; then ln -sfn "$target$destination" "$link"; else rm -f "$link"; fi
  done
  touch "$target/.complete"
fi
# target-jdk names the JDK's home (JWEB_TARGET_JDK).
mkdir -p "$build"
ln -sfn "$target/usr/lib/jvm/java-17-openjdk-arm64" "$build/target-jdk"
qemu-aarch64-static -L "$target" "$build/target-jdk/bin/java" -version 2>&1 | head -1

configure_and_build arm64
[ -z "${JWEB_BUILD_ONLY:-}" ] || exit 0
cd "$root"
if [ -n "${JWEB_ARM64_FULL:-}" ]; then
  ctest --preset arm64-full -j"$(nproc)" "$@"
else
  ctest --preset arm64 -j"$(nproc)" "$@"
fi
