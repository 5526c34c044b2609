# What the scripts of tools/ and tests/ share; sourced, never run:
#   . "$(dirname "$0")/lib.sh"        (from tools/; tests/ go up to it)
# Sets `root`, the source tree's top folder, and defines the functions below.
# Changes no shell option of the script that sources it.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# The Debian packages the build, the tests and the benchmarks need; the
# platform scripts name their own.
project_packages=(
  cmake g++ make rpm
  openjdk-17-jdk-headless
  libffi-dev
  libgtest-dev
  libbenchmark-dev
  libjna-java
  junit5
  clang libclang-rt-14-dev
  clang-format-14  # the layout check
  gdb lintian rpmlint libimage-exiftool-perl libarchive-zip-perl cpio unzip  # the release's checks
)

# as_root COMMAND...: COMMAND as root, through sudo unless this is root already.
as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# apt_get ARGS...: apt-get as root, asking nothing, waiting for dpkg's lock,
# which other installs may hold for a while.
apt_get() {
  as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 "$@"
}

# update_package_lists: apt-get update, again after a pause when a mirror is
# in the middle of a sync (an index of the wrong size), then on with the lists
# it has: the install that follows fails by itself if they lack a package.
update_package_lists() {
  local attempt
  for attempt in 1 2 3; do
    apt_get update -qq && return 0
    [ "$attempt" -lt 3 ] && { echo "apt-get update failed; again in 20 s"; sleep 20; }
  done
  echo "apt-get update failed 3 times: going on with the package lists there are"
}

# install_packages [--architecture ARCH]... [PACKAGE...]: installs what is
# missing of PACKAGE... (project_packages without any). --architecture adds
# a foreign architecture to dpkg first (multiarch packages, such as
# wine32:i386 or libffi-dev:arm64). Does nothing, and prints nothing, when
# everything is present.
install_packages() {
  local architectures=() new_architecture="" missing=() p
  while [ "${1:-}" = "--architecture" ]; do
    architectures+=("$2")
    shift 2
  done
  [ $# -gt 0 ] || set -- "${project_packages[@]}"
  for p in "${architectures[@]}"; do
    # No pipe into grep -q: under pipefail, dpkg's write after grep has
    # quit would fail the test and add the architecture again.
    if ! grep -qx "$p" <<<"$(dpkg --print-foreign-architectures)"; then
      echo "adding the $p architecture"
      as_root dpkg --add-architecture "$p" || return
      new_architecture=1
    fi
  done
  for p in "$@"; do
    [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" = "install ok installed" ] || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && [ -z "$new_architecture" ] && return 0
  update_package_lists
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "installing: ${missing[*]}"
  apt_get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# configure_and_build PRESET [CONFIGURE OPTIONS...] [-- BUILD OPTIONS...]:
# the configure and build steps of PRESET (CMakePresets.json), on every core,
# from the top folder (where cmake and ctest look for the presets). The
# configure step's report is left out; its errors still show.
configure_and_build() {
  local preset=$1 configure=()
  shift
  while [ $# -gt 0 ] && [ "$1" != -- ]; do
    configure+=("$1")
    shift
  done
  [ $# -eq 0 ] || shift
  (cd "$root" && cmake --preset "$preset" "${configure[@]}" >/dev/null &&
    cmake --build --preset "$preset" -j"$(nproc)" "$@")
}

# checked_jvm COMMAND...: runs COMMAND, which starts a JVM, and prints what it
# printed. Fails (status 1) when that holds a warning line (WARNING or
# Warning at the start), since -Xcheck:jni reports misuse only that way;
# else COMMAND's own status.
checked_jvm() {
  local output status=0
  output=$("$@" 2>&1) || status=$?
  printf '%s\n' "$output"
  if grep -nE '^(WARNING|Warning)' <<<"$output"; then
    echo "FAILED: the JVM printed warnings (above)"
    return 1
  fi
  [ "$status" -eq 0 ] || echo "FAILED: the JVM exited with status $status"
  return "$status"
}
