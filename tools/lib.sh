# What the scripts of tools/ and tests/ share; sourced, never run:
#   . "$(dirname "$0")/lib.sh"        (from tools/; tests/ go up to it)
# Sets `root`, the source tree's top folder, and defines the functions below.
# Changes no shell option of the script that sources it.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# The Debian packages the build, the tests and the benchmarks need; the
# platform scripts name their own.
project_packages=(
  cmake g++ make pkg-config rpm
  git  # the commit in every artifact's version text
  openjdk-17-jdk-headless
  libffi-dev
  libgtest-dev
  libbenchmark-dev
  libjna-java
  junit5
  clang libclang-rt-14-dev
  clang-format-14  # the layout check
  gdb lintian rpmlint libimage-exiftool-perl libarchive-zip-perl cpio unzip  # the release's checks
  maven maven-debian-helper libmaven-dependency-plugin-java libmaven-deploy-plugin-java gradle  # the Maven and Gradle consumer, offline
  python3 python3-jsonschema  # the release's bills of materials (tools/make-sbom.py) and their check
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

# install_packages [PACKAGE...]: installs what is missing of PACKAGE...
# (project_packages without any), all of this machine's own architecture:
# another architecture's packages come from unpack_foreign_packages. Does
# nothing, and prints nothing, when everything is present.
install_packages() {
  local missing=() p
  [ $# -gt 0 ] || set -- "${project_packages[@]}"
  for p in "$@"; do
    [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null)" = "install ok installed" ] || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  update_package_lists
  echo "installing: ${missing[*]}"
  apt_get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# debian_mirror: the Debian mirror apt uses here, else Debian's own.
debian_mirror() {
  local mirror
  mirror=$(sed -nE 's/^URIs: *([^ ]*\/debian)\/?$/\1/p' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -1)
  [ -n "$mirror" ] || mirror=$(sed -nE 's/^deb +([^ ]*\/debian)\/? .*/\1/p' /etc/apt/sources.list 2>/dev/null | head -1)
  echo "${mirror:-http://deb.debian.org/debian}"
}

# unpack_foreign_packages ARCH DEST PACKAGE...: Debian's ARCH builds of
# PACKAGE... (just those: no dependencies) unpacked into DEST, never
# installed. They come from this release's main suite alone, through a
# package list of their own in $root/.packages/ARCH: dpkg gets no foreign
# architecture, and nothing depends on the mirror's ARCH indexes agreeing
# with this machine's own versions, which multiarch requires and a mirror in
# the middle of a sync (or a security index that lags) breaks. On failure
# prints apt's own words, leaves them in `unpack_failure`, and returns 1.
unpack_foreign_packages() {
  local arch=$1 dest=$2 state=$root/.packages/$1 suite attempt output deb
  shift 2
  suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$suite" ] || { unpack_failure="no VERSION_CODENAME in /etc/os-release"; echo "$unpack_failure"; return 1; }
  mkdir -p "$state/lists/partial" "$state/cache/archives/partial" "$state/none.d" || return 1
  echo "deb [arch=$arch signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] $(debian_mirror) $suite main" \
    >"$state/sources.list"
  : >"$state/status"
  local apt=(apt-get -qq -o "APT::Architecture=$arch" -o "APT::Architectures::=$arch"
    -o "Dir::Etc::SourceList=$state/sources.list" -o "Dir::Etc::SourceParts=$state/none.d"
    -o "Dir::Etc::Preferences=$state/none.d/none" -o "Dir::Etc::PreferencesParts=$state/none.d"
    -o "Dir::State::Lists=$state/lists" -o "Dir::State::status=$state/status" -o "Dir::Cache=$state/cache"
    -o Debug::NoLocking=1)
  [ "$(id -u)" -ne 0 ] || apt+=(-o APT::Sandbox::User=root)
  # As update_package_lists: a failed update leaves the lists there are,
  # and the download below says what they lack.
  for attempt in 1 2 3; do
    output=$("${apt[@]}" update 2>&1) && break
    printf '%s\n' "$output"
    [ "$attempt" -lt 3 ] && { echo "apt-get update ($arch, $suite) failed; again in 20 s"; sleep 20; }
  done
  rm -rf "$state/debs"
  mkdir -p "$state/debs"
  if ! output=$(cd "$state/debs" && "${apt[@]}" download "$@" 2>&1); then
    unpack_failure=$(grep -E '^E: ' <<<"$output" | head -3 | tr '\n' ' ')
    unpack_failure=${unpack_failure:-apt-get download $* failed}
    printf '%s\n' "$output"
    return 1
  fi
  mkdir -p "$dest"
  for deb in "$state/debs"/*.deb; do
    dpkg-deb -x "$deb" "$dest" || { unpack_failure="dpkg-deb -x $(basename "$deb") failed"; return 1; }
  done
  rm -rf "$state/debs"
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

# install_scratch BUILD_DIR PREFIX: installs both components of BUILD_DIR
# (the library and the stand-in) into PREFIX, as the packages lay them out.
install_scratch() {
  local component
  for component in library standin; do
    "${CMAKE:-cmake}" --install "$1" --prefix "$2" --component "$component" >/dev/null || return 1
  done
}

# java_command [LIBRARY...]: sets the array java_command to what starts $JAVA
# where it runs (${EMULATOR:-}: an emulator, or chroot into another
# userland's root), with LIBRARY... preloaded. qemu's user mode is linked
# statically and passes the environment on to the emulated JVM's loader, so
# the preload goes in front of it; in another userland's root the libraries
# are there only, so it goes inside, past chroot.
java_command() {
  local preload=""
  [ $# -eq 0 ] || preload="LD_PRELOAD=$(IFS=:; echo "$*")"
  case "${EMULATOR:-}" in
    chroot\ *) java_command=(${EMULATOR} ${preload:+env "$preload"} "$JAVA") ;;
    *) java_command=(${preload:+env "$preload"} ${EMULATOR:-} "$JAVA") ;;
  esac
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
