#!/usr/bin/env bash
# The JVM suites in an older and a newer userland, with the library built
# here: Debian 11 (glibc 2.31) on its JDK 11 and 17, Debian 13 (glibc 2.41)
# on its JDK 21 and 25. Each root is made once with debootstrap from the
# Debian mirror apt uses and kept in .userland/ (delete a root's folder to
# make it again); the tests are ctest's configuration "userland"
# (cmake/JwebJdks.cmake), each JVM started inside its root with chroot. Every
# run takes bound, absent, libjsig, reload, stress_short, the examples and
# the README's java commands;
# JWEB_USERLAND_FULL=1 runs all the suites in a JVM (label userland-full too).
#   tools/run-userland-tests.sh [ctest options]
# Runs as root (debootstrap, mount, chroot); expects the build folder built,
# as tools/run-tests.sh leaves it.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
build=$root/build  # the default preset's
cache=$root/.userland
userlands=(
  "debian11 bullseye openjdk-11-jre-headless,openjdk-17-jre-headless"
  "debian13 trixie openjdk-21-jre-headless,openjdk-25-jre-headless"
)

if [ "$(id -u)" -ne 0 ]; then
  exec sudo --preserve-env=JWEB_USERLAND_FULL "$0" "$@"
fi

# The second part runs in a mount namespace of its own: the mounts in the
# roots end with it, whatever ends the run.
if [ -z "${JWEB_USERLAND_MOUNTS:-}" ]; then
  install_packages debootstrap
  mirror=$(debian_mirror)
  roots=()
  for userland in "${userlands[@]}"; do
    read -r name suite packages <<<"$userland"
    dir=$cache/$name
    roots+=("$name=$dir")
    [ -e "$dir/.complete" ] && continue
    if grep -qF " $dir" /proc/mounts; then
      echo "$dir has something mounted in it: not made again" >&2
      exit 1
    fi
    echo "making the $name root ($suite: $packages) from $mirror"
    start=$SECONDS
    rm -rf "$dir.tmp"
    mkdir -p "$cache"
    if ! debootstrap --variant=minbase --include="$packages" "$suite" "$dir.tmp" "$mirror" >"$cache/$name.log" 2>&1; then
      tail -20 "$cache/$name.log"
      exit 1
    fi
    mkdir -p "$dir.tmp$root" "$dir.tmp/usr/share/java"
    touch "$dir.tmp/.complete"
    mv "$dir.tmp" "$dir"
    echo "made the $name root in $((SECONDS - start)) s"
  done
  list=$(IFS=';'; echo "${roots[*]}")
  configure_and_build default "-DJWEB_USERLAND_ROOTS=$list"
  JWEB_USERLAND_MOUNTS=1 exec unshare --mount --propagation private "$0" "$@"
fi

# Inside a root, the JVM sees /proc, this tree and the build tree, /tmp (the
# tests' scratch files) and the build machine's JUnit in /usr/share/java at
# the places the tests name them.
mounted=()
unmount_all() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount "${mounted[$i]}" || true; done
}
trap unmount_all EXIT
mount_in() {  # mount_in TARGET mount arguments...
  local target=$1
  shift
  mount "$@" "$target"
  mounted+=("$target")
}
for userland in "${userlands[@]}"; do
  read -r name _ <<<"$userland"
  dir=$cache/$name
  mount_in "$dir/proc" -t proc proc
  mount_in "$dir$root" --bind "$root"
  mount_in "$dir/tmp" --bind /tmp
  mount_in "$dir/usr/share/java" --bind -o ro /usr/share/java
  echo "$name: $(chroot "$dir" /bin/sh -c '. /etc/os-release; echo "$PRETTY_NAME"'), $(chroot "$dir" ldd --version | head -1)"
done

exclude=(-LE userland-full)
[ -z "${JWEB_USERLAND_FULL:-}" ] || exclude=()
cd "$build"
ctest -C userland -L userland "${exclude[@]}" --output-on-failure -j"$(nproc)" "$@"
