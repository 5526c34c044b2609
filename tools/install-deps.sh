#!/usr/bin/env bash
# Installs Debian packages: by default those the build, the tests and the
# benchmarks need; the platform scripts name their own.
#   tools/install-deps.sh [--architecture ARCH]... [PACKAGE...]
# --architecture adds a foreign architecture to dpkg first (multiarch
# packages, such as wine32:i386 or libffi-dev:arm64). Idempotent: does
# nothing (and prints nothing) when everything is present.
set -euo pipefail

architectures=()
while [ "${1:-}" = "--architecture" ]; do
  architectures+=("$2")
  shift 2
done
packages=("$@")
if [ ${#packages[@]} -eq 0 ]; then
  packages=(
    cmake g++ make rpm
    openjdk-17-jdk-headless
    libffi-dev
    libgtest-dev
    libbenchmark-dev
    libjna-java
    junit5
    clang libclang-rt-14-dev
    gdb lintian rpmlint libimage-exiftool-perl libarchive-zip-perl cpio unzip  # the release's checks
  )
fi

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
# Other installs may hold dpkg's lock for a while: wait for it.
apt_get() { DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 "$@"; }

new_architecture=""
for architecture in "${architectures[@]}"; do
  if ! dpkg --print-foreign-architectures | grep -qx "$architecture"; then
    echo "adding the $architecture architecture"
    $sudo dpkg --add-architecture "$architecture"
    new_architecture=1
  fi
done
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && [ -z "$new_architecture" ] && exit 0

apt_get update -qq
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}"
apt_get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
