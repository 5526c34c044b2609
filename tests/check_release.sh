#!/usr/bin/env bash
# Checks the release set that tools/make-release.sh writes: exactly the
# expected files, each with the project's version and processor in its name
# and its metadata; each package's exact contents; every shipped binary
# stripped, with a GNU build-id (ELF) and a debug link whose name and CRC
# match the debug file shipped for it, which has the same build-id; the
# version in the library, jweb-check, the jars and the DLLs' VERSIONINFO; the
# -dbgsym packages' Build-Ids; the folders each .rpm owns; no path of the
# build machine in any file; an hs_err-style offset of an exported method
# resolved, through the shipped symbols only, to the method and its source
# file, by gdb without a warning and as docs/releasing.md shows it; lintian,
# and rpmlint with the rpmlint.toml shipped beside the packages; and
# SHA256SUMS; the Maven repository in maven/ (tests/check_maven_repo.sh);
# each target's bill of materials: valid SPDX 2.3 (against the
# schema at ../shared/spdx/spdx-schema-2.3.json beside the source tree, or
# JWEB_SPDX_SCHEMA; skipped, and said so, when it is absent), listing that
# target's archives and every file in each with its SHA-256, and components
# that THIRD-PARTY-NOTICES names. Prints what it checked; exits 1 on the
# first failure, 77 when it skipped something (a "SKIPPED, NOT PASSED: " line).
#   tests/check_release.sh DIST_DIR
set -euo pipefail
. "$(dirname "$0")/../tools/lib.sh"
dist=$(cd "$1" && pwd)
# The tools it reads the set with (Debian's packages; the cross binutils come
# with the builds that made the set).
install_packages gdb lintian rpmlint rpm cpio unzip libimage-exiftool-perl
version=$(sed -nE 's/^project\(jwebnative VERSION ([0-9.]+).*/\1/p' "$root/CMakeLists.txt")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }  # also from inside $(...)
method=Java_tsapi_web_jweb_1url  # an exported method and the file that defines it
method_source=$(cd "$root" && grep -l "JNICALL $method(" methods/*.cpp)

# ---- the set: <target> <Debian/rpm/archive processor names> <binutils prefix> <emulator> ----
targets=(
  "linux-x86_64 amd64 x86_64 x86_64 - -"
  "linux-arm64 arm64 aarch64 arm64 aarch64-linux-gnu- qemu-aarch64-static"
)
expected=(SHA256SUMS rpmlint.toml "jwebnative-$version-Windows-x86_64.zip" "jwebnative-$version-Windows-x86.zip")
for t in "${targets[@]}"; do
  read -r _ deb rpm archive _ _ <<<"$t"
  for name in jwebnative jwebnative-dbgsym jwebnative-standin jwebnative-standin-dbgsym; do
    expected+=("${name}_${version}_$deb.deb")
  done
  for name in jwebnative jwebnative-debuginfo jwebnative-standin jwebnative-standin-debuginfo; do
    expected+=("$name-$version-1.$rpm.rpm")
  done
  expected+=("jwebnative-$version-Linux-$archive.tar.gz" "jwebnative-$version-Linux-$archive.spdx.json")
done
expected+=("jwebnative-$version-Windows-x86_64.spdx.json" "jwebnative-$version-Windows-x86.spdx.json")
expected+=(maven)  # a repository whose files have their checksums beside them
[ ! -f "$dist/SHA256SUMS.asc" ] || expected+=(SHA256SUMS.asc)  # signed (tools/sign-release.sh)
diff <(printf '%s\n' "${expected[@]}" | sort) <(ls "$dist" | sort) || fail "dist/ holds other files than the release set"
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "sha256sum -c SHA256SUMS"
diff <(printf '%s\n' "${expected[@]}" | grep -vxE 'SHA256SUMS(\.asc)?|maven' | sort) <(awk '{print $2}' "$dist/SHA256SUMS" | sort) ||
  fail "SHA256SUMS does not name every other file"
cmp -s "$dist/rpmlint.toml" "$root/packaging/rpmlint.toml" || fail "rpmlint.toml is not packaging/rpmlint.toml"
echo "dist/: the ${#expected[@]} files of release $version; sha256sum -c SHA256SUMS passes"
"$root/tests/check_maven_repo.sh" "$dist/maven" "$version" linux-x86_64 linux-aarch64 windows-x86_64 windows-x86

# ---- what each package holds besides debug symbols (paths under /usr) ----
library_files="bin/jweb-check lib/jni/libjwebnative.so share/jwebnative/tsapi.jar share/man/man1/jweb-check.1.gz
  share/doc/jwebnative/README.md share/doc/jwebnative/LICENSE share/doc/jwebnative/THIRD-PARTY-NOTICES
  share/doc/jwebnative/copyright share/doc/jwebnative/changelog.gz
  share/doc/jwebnative/docs/host-guide.md share/doc/jwebnative/docs/engine-failures.md
  share/doc/jwebnative/docs/platforms.md share/doc/jwebnative/docs/method-reference.md
  share/doc/jwebnative/docs/releasing.md"
standin_files="lib/jwebnative/standin/libTswReplayMain.so lib/jwebnative/standin-no-revert/libTswReplayMain.so
  lib/jni/libstandin_control.so share/jwebnative/standin-control.jar share/jwebnative/jweb-examples.jar
  share/doc/jwebnative-standin/README.md share/doc/jwebnative-standin/trace-format.md
  share/doc/jwebnative-standin/copyright
  share/doc/jwebnative-standin/changelog.gz"
# The symbols packages' documents, in their own doc folder: <package>-dbgsym
# in the .deb files and the archive, <package>-debuginfo in the .rpm files.
debug_docs() { echo "share/doc/$1/copyright share/doc/$1/changelog.gz"; }
# The folders each .rpm owns (under /usr), besides the .build-id/xx folders of
# its debug files: those no system package has, and /usr/lib/jni, which
# Debian's JVMs search but no rpm system's package owns.
library_rpm_dirs="lib/jni share/jwebnative share/doc/jwebnative share/doc/jwebnative/docs"
standin_rpm_dirs="lib/jni lib/jwebnative lib/jwebnative/standin lib/jwebnative/standin-no-revert share/jwebnative
  share/doc/jwebnative-standin"
windows_binaries="jwebnative.dll jweb-check.exe standin_control.dll standin/TswReplayMain.dll
  standin-no-revert/TswReplayMain.dll"
windows_files="$windows_binaries $(printf '%s.debug ' $windows_binaries) tsapi.jar standin-control.jar
  jweb-examples.jar run-example.cmd README.txt LICENSE THIRD-PARTY-NOTICES.txt standin/README.md
  standin/trace-format.md"

files_in() { (cd "$1" && find . -type f | sed 's|^\./||' | sort); }
same_files() {  # same_files WHAT DIR EXPECTED...
  local what=$1 dir=$2
  shift 2
  diff <(printf '%s\n' "$@" | sort) <(files_in "$dir") || fail "$what: other files than expected"
}
elf_files() { (cd "$1" && find . -type f ! -name '*.debug' -exec sh -c 'head -c4 "$1" | grep -q ELF' _ {} \; -print | sed 's|^\./||'); }
build_id() { readelf -n "$1" 2>/dev/null | sed -n 's/^ *Build ID: //p'; }
# The debug link's file name and its CRC (the 4 bytes after the name's padding), as 8 hex digits.
debug_link() {
  "${prefix}objcopy" --dump-section .gnu_debuglink="$work/link" "$1" 2>/dev/null || return 1
  local name
  name=$(tr '\0' '\n' <"$work/link" | head -1)
  local at=$(( (${#name} + 4) / 4 * 4 ))
  echo "$name $(od -An -tx1 -j "$at" -N4 "$work/link" | awk '{print $4 $3 $2 $1}')"
}
# owned_dirs RPM DIRS: the folders RPM owns are /usr/DIRS, no more, no fewer.
owned_dirs() {
  diff <(printf '%s\n' $2 | sed 's|^|/usr/|' | sort -u) \
    <(rpm -qp --qf '[%{FILEMODES:perms} %{FILENAMES}\n]' "$1" | awk '$1 ~ /^d/ {print $2}' | sort) ||
    fail "$(basename "$1"): owns other folders than expected"
}
# check_sbom SBOM ARCHIVE...: the bill of materials lists the ARCHIVEs of
# dist/ and the files each holds, as dpkg-deb, rpm2cpio, tar and unzip find
# them, with their SHA-256 (tests/check_sbom.py checks the rest).
spdx_schema=${JWEB_SPDX_SCHEMA:-$root/../shared/spdx/spdx-schema-2.3.json}
skipped=""
if [ ! -f "$spdx_schema" ]; then
  echo "SKIPPED, NOT PASSED: the bills of materials' validation against SPDX 2.3's JSON schema (no $spdx_schema; JWEB_SPDX_SCHEMA names it)"
  spdx_schema=- skipped=1
fi
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}
check_sbom() {
  local sbom=$1 archive listed held=$work/sbom-held
  shift
  listed=$(/usr/bin/python3 "$root/tests/check_sbom.py" "$sbom" "$dist" "$root/THIRD-PARTY-NOTICES" "$spdx_schema" \
    $(for archive; do basename "$archive"; done)) || fail "$(basename "$sbom") (above)"
  : >"$held"
  for archive; do
    rm -rf "$work/sbom" && mkdir "$work/sbom"
    case $archive in
      *.deb) dpkg-deb -x "$archive" "$work/sbom" ;;
      *.rpm) (cd "$work/sbom" && rpm2cpio "$archive" | cpio -idm --quiet) ;;
      *.tar.gz) tar -xzf "$archive" -C "$work/sbom" ;;
      *.zip) unzip -q "$archive" -d "$work/sbom" ;;
    esac
    (cd "$work/sbom" && find . -type f -exec sha256sum {} + | awk -v a="$(basename "$archive")" '{print a, $1, $2}') >>"$held"
  done
  diff <(LC_ALL=C sort "$held") <(LC_ALL=C sort <<<"$listed") || fail "$(basename "$sbom"): its files are not the archives' (above)"
  echo "$(basename "$sbom"): $(wc -l <"$held") files in $# archives, each with its SHA-256"
}

# (Whole outputs into grep -q: with pipefail, a writer cut off by grep's early exit fails the pipe.)
has_section() { grep -q " $2 " <<<"$("${prefix}objdump" -h "$1")"; }

# check_split WHAT BINARY DEBUG_FILE: stripped, linked to DEBUG_FILE by name and CRC.
check_split() {
  local what=$1 binary=$2 debug=$3
  [ -f "$debug" ] || fail "$what: no debug file $debug"
  ! has_section "$binary" .debug_info || fail "$what: not stripped"
  has_section "$debug" .debug_info || fail "$what: $debug holds no DWARF"
  local link
  link=$(debug_link "$binary") || fail "$what: no debug link"
  [ "$link" = "$(basename "$debug") $(crc32 "$debug")" ] || fail "$what: debug link $link does not match $debug"
}

# check_tree WHAT DIR DEBUG_ROOT: every ELF file in DIR has a build-id, and its
# debug file is DEBUG_ROOT/.build-id/xx/yyyy.debug; prints the debug files.
check_tree() {
  local what=$1 dir=$2 debug_root=$3 file id
  for file in $(elf_files "$dir"); do
    id=$(build_id "$dir/$file")
    [ -n "$id" ] || fail "$what: $file has no GNU build-id"
    check_split "$what: $file" "$dir/$file" "$debug_root/.build-id/${id:0:2}/${id:2}.debug"
    [ "$(build_id "$debug_root/.build-id/${id:0:2}/${id:2}.debug")" = "$id" ] || fail "$what: $file's debug file has another build-id"
    echo "lib/debug/.build-id/${id:0:2}/${id:2}.debug"
  done
}

check_manifest() {  # check_manifest WHAT JAR MODULE
  local manifest
  manifest=$(unzip -p "$2" META-INF/MANIFEST.MF | tr -d '\r')
  grep -qx "Implementation-Version: $version" <<<"$manifest" || fail "$1: $2 has no Implementation-Version $version"
  grep -q '^Implementation-Title: .' <<<"$manifest" || fail "$1: $2 has no Implementation-Title"
  [ "$3" = - ] || grep -qx "Automatic-Module-Name: $3" <<<"$manifest" || fail "$1: $2 has no Automatic-Module-Name $3"
}
check_library_version() {  # check_library_version WHAT LIBRARY
  grep -q "^jwebnative $version (git [0-9a-f]" <<<"$(strings "$2")" || fail "$1: $2 carries no version text"
}

# ---- Linux ----
for t in "${targets[@]}"; do
  read -r target deb rpm archive prefix emulator <<<"$t"
  [ "$prefix" != - ] || prefix=""
  [ "$emulator" != - ] || emulator=""
  for component in jwebnative jwebnative-standin; do
    case $component in
      jwebnative) files=$library_files rpm_dirs=$library_rpm_dirs ;;
      *) files=$standin_files rpm_dirs=$standin_rpm_dirs ;;
    esac
    for kind in deb rpm; do
      main=$work/$target-$component-$kind
      package_files=$files
      symbols=$main-debug
      mkdir -p "$main" "$symbols"
      if [ $kind = deb ]; then
        package=$dist/${component}_${version}_$deb.deb
        symbols_package=$dist/${component}-dbgsym_${version}_$deb.deb
        for p in "$package" "$symbols_package"; do
          [ "$(dpkg-deb -f "$p" Version) $(dpkg-deb -f "$p" Architecture)" = "$version $deb" ] ||
            fail "$p: version or architecture is not $version $deb"
          dpkg-deb -f "$p" Homepage | grep -q . || fail "$p: no Homepage"
        done
        dpkg-deb -x "$package" "$main"
        dpkg-deb -x "$symbols_package" "$symbols"
        debug_files=$(debug_docs "$component-dbgsym")
        [ "$component" = jwebnative ] || package_files+=" share/lintian/overrides/$component"  # the .deb's alone
      else
        package=$dist/$component-$version-1.$rpm.rpm
        symbols_package=$dist/$component-debuginfo-$version-1.$rpm.rpm
        for p in "$package" "$symbols_package"; do
          [ "$(rpm -qp --qf '%{VERSION} %{ARCH} %{LICENSE}' "$p")" = "$version $rpm Apache-2.0" ] ||
            fail "$p: version, architecture or licence is not $version $rpm Apache-2.0"
          [ "$(rpm -qp --qf '%{URL}' "$p")" != "(none)" ] || fail "$p: no URL"
        done
        (cd "$main" && rpm2cpio "$package" | cpio -idm --quiet)
        (cd "$symbols" && rpm2cpio "$symbols_package" | cpio -idm --quiet)
        debug_files=$(debug_docs "$component-debuginfo")
      fi
      same_files "$(basename "$package")" "$main/usr" $package_files
      debug=$(check_tree "$(basename "$package")" "$main/usr" "$symbols/usr/lib/debug")
      same_files "$(basename "$symbols_package")" "$symbols/usr" $debug $debug_files
      ids=$(sed -E 's|^lib/debug/\.build-id/(..)/(.*)\.debug$|\1\2|' <<<"$debug" | sort | tr '\n' ' ')
      if [ $kind = deb ]; then  # Debian's field that names the build-ids a symbols package holds
        [ "$(dpkg-deb -f "$symbols_package" Build-Ids) " = "$ids" ] ||
          fail "$(basename "$symbols_package"): Build-Ids is '$(dpkg-deb -f "$symbols_package" Build-Ids)', not '$ids'"
      else
        owned_dirs "$package" "$rpm_dirs"
        owned_dirs "$symbols_package" "$(sed -E 's|/[^/]*$||' <<<"$debug") share/doc/$component-debuginfo"
      fi
      # The DWARF and __FILE__ name the sources under /usr/src/jwebnative.
      ! grep -rlF -- "$root/" "$main" "$symbols" || fail "$(basename "$package"): files name the build machine's $root/"
    done
  done
  lib=$work/$target-jwebnative-deb/usr/lib/jni/libjwebnative.so

  # The archive: both packages' files and their symbols, under one folder.
  tarball=$dist/jwebnative-$version-Linux-$archive.tar.gz
  tar -xzf "$tarball" -C "$work" && top=$work/jwebnative-$version-Linux-$archive
  [ -d "$top" ] || fail "$tarball: no folder jwebnative-$version-Linux-$archive"
  debug=$(check_tree "$(basename "$tarball")" "$top" "$top/lib/debug")
  same_files "$(basename "$tarball")" "$top" $library_files $standin_files $(debug_docs jwebnative-dbgsym) \
    $(debug_docs jwebnative-standin-dbgsym) $debug
  cmp -s "$lib" "$top/lib/jni/libjwebnative.so" || fail "$tarball: another libjwebnative.so than the .deb's"
  ! grep -rlF -- "$root/" "$top" || fail "$(basename "$tarball"): files name the build machine's $root/"

  # Versions: the library's text, jweb-check, the jars.
  for dir in "$work/$target-jwebnative-deb/usr" "$work/$target-jwebnative-rpm/usr" "$top"; do
    check_library_version "$target" "$dir/lib/jni/libjwebnative.so"
    check_manifest "$target" "$dir/share/jwebnative/tsapi.jar" tsapi
  done
  check_manifest "$target" "$top/share/jwebnative/standin-control.jar" tsapi.standin
  check_manifest "$target" "$top/share/jwebnative/jweb-examples.jar" -
  if [ -z "$emulator" ] || command -v "$emulator" >/dev/null; then
    # Under qemu, with the arm64 build's target root for its loader and C library.
    out=$(QEMU_LD_PREFIX=$root/build-arm64/target-root $emulator "$top/bin/jweb-check" --version) || fail "$target: jweb-check --version exited $?"
    grep -qx "jweb-check $version" <<<"$out" && grep -q "of jwebnative $version (git " <<<"$out" ||
      fail "$target: jweb-check --version printed: $out"
    echo "$target: jweb-check --version: $(tr '\n' ' ' <<<"$out")"
  fi

  # An hs_err frame names libjwebnative.so+<offset>: the method's own address.
  offset=0x$(nm -D --defined-only "$lib" | awk -v m="$method" '$3 == m {print $1}' | sed 's/^0*//')
  [ "$offset" != 0x ] || fail "$target: $method is not exported"
  id=$(build_id "$lib")
  if [ -z "$prefix" ]; then  # gdb, as a host maker reads a crash, through the build-id folder only
    # Anything gdb says on its standard error is a fault of the symbols.
    resolved=$(gdb -batch -nx -iex "set debug-file-directory $work/$target-jwebnative-deb-debug/usr/lib/debug" \
      -ex "info line *$offset" "$lib" 2>"$work/gdb.err")
    [ ! -s "$work/gdb.err" ] || fail "$target: gdb warned: $(head -c 2000 "$work/gdb.err")"
    unresolved=$(gdb -batch -nx -iex "set debug-file-directory $work/none" -ex "info line *$offset" "$lib" 2>"$work/gdb.err")
    [ ! -s "$work/gdb.err" ] || fail "$target: gdb without the symbols warned: $(head -c 2000 "$work/gdb.err")"
    grep -q "No line number information" <<<"$unresolved" || fail "$target: the stripped library alone resolved $offset"
    # The sources' lines, from this tree, as docs/releasing.md tells how.
    listed=$(gdb -batch -nx -iex "set debug-file-directory $work/$target-jwebnative-deb-debug/usr/lib/debug" \
      -ex "set substitute-path /usr/src/jwebnative $root" -ex "list *$offset" "$lib" 2>&1)
    grep -q "JNICALL $method(" <<<"$listed" || fail "$target: gdb with substitute-path listed: $listed"
    # The guide's sample answer is gdb's, but for the addresses, offsets and
    # line number, which each build has its own of.
    shown=$(sed -nE "/^gdb -batch -ex 'info line \*0x[0-9a-f]+' /{n;s/^# //p;}" "$root/docs/releasing.md")
    numbers_out() { sed -E 's/0x[0-9a-f]+/0x_/g; s/^Line [0-9]+ /Line _ /; s/\+[0-9]+>/+_>/g'; }
    [ -n "$shown" ] && [ "$(numbers_out <<<"$shown")" = "$(numbers_out <<<"$resolved")" ] ||
      fail "$target: docs/releasing.md shows gdb printing: $shown; gdb prints: $resolved"
  else
    resolved=$("${prefix}addr2line" -f -e "$work/$target-jwebnative-deb-debug/usr/lib/debug/.build-id/${id:0:2}/${id:2}.debug" "$offset")
  fi
  grep -q "$method" <<<"$resolved" && grep -q "$method_source" <<<"$resolved" ||
    fail "$target: libjwebnative.so+$offset resolved to: $resolved"
  echo "$target: libjwebnative.so+$offset -> $(tr '\n' ' ' <<<"$resolved")"
  echo "$target: packages, their symbols and the archive as expected"
  check_sbom "$dist/jwebnative-$version-Linux-$archive.spdx.json" "$dist"/*_"$version"_"$deb".deb \
    "$dist"/*-"$version"-1."$rpm".rpm "$tarball"
done

# ---- Windows ----
for arch in x86_64 x86; do
  case $arch in
    x86_64) prefix=x86_64-w64-mingw32- ;;
    x86) prefix=i686-w64-mingw32- ;;
  esac
  zip=$dist/jwebnative-$version-Windows-$arch.zip
  (cd "$work" && unzip -q "$zip")
  top=$work/jwebnative-$version-Windows-$arch
  same_files "$(basename "$zip")" "$top" $windows_files
  ! grep -rlF -- "$root/" "$top" || fail "$(basename "$zip"): files name the build machine's $root/"
  check_manifest "Windows $arch" "$top/tsapi.jar" tsapi
  check_manifest "Windows $arch" "$top/standin-control.jar" tsapi.standin
  check_manifest "Windows $arch" "$top/jweb-examples.jar" -
  ! grep -qv $'\r$' "$top/run-example.cmd" || fail "$(basename "$zip"): run-example.cmd has lines without CRLF"
  check_library_version "Windows $arch" "$top/jwebnative.dll"
  for dll in $windows_binaries; do
    check_split "$(basename "$zip"): $dll" "$top/$dll" "$top/$dll.debug"
    info=$(exiftool -s -FileVersion -ProductVersion -OriginalFileName -FileDescription "$top/$dll")
    grep -qE "^FileVersion +: $version$" <<<"$info" && grep -qE "^ProductVersion +: $version \(git " <<<"$info" &&
      grep -qE "^OriginalFileName +: $(basename "$dll")$" <<<"$info" && grep -qE "^FileDescription +: ." <<<"$info" ||
      fail "$zip: $dll's VERSIONINFO: $info"
  done
  # A Windows crash names jwebnative.dll+<RVA>; addr2line takes image base + RVA.
  exports=$("${prefix}objdump" -p "$top/jwebnative.dll")
  ordinal=$(sed -nE "s/^\t\[ *([0-9]+)\] $method\$/\1/p" <<<"$exports")
  [ -n "$ordinal" ] || fail "$zip: $method not in the export table"
  rva=$(sed -nE "s/^\t\[ *$ordinal\] \+base\[ *[0-9]+\] +([0-9a-f]+) Export RVA\$/\1/p" <<<"$exports")
  base=$(awk '$1 == "ImageBase" {print $2}' <<<"$exports")
  address=$(printf '0x%x' $((0x$base + 0x$rva)))
  resolved=$("${prefix}addr2line" -f -e "$top/jwebnative.dll.debug" "$address")
  grep -q "$method" <<<"$resolved" && grep -q "$method_source" <<<"$resolved" ||
    fail "$zip: jwebnative.dll+0x$rva resolved to: $resolved"
  echo "Windows $arch: jwebnative.dll+0x$rva -> $(tr '\n' ' ' <<<"$resolved")"
  echo "Windows $arch: $(basename "$zip") as expected"
  check_sbom "$dist/jwebnative-$version-Windows-$arch.spdx.json" "$zip"
done

# ---- Debian's and rpm's own checks: no error; what is kept is in docs/releasing.md ----
# At its most thorough, lintian may say only these (docs/releasing.md says why).
lintian_allowed="binary-has-unneeded-section extra-license-file"
lintian --pedantic -I --fail-on error "$dist"/*.deb >"$work/lintian" 2>/dev/null || { cat "$work/lintian"; fail "lintian reports errors"; }
others=$(awk '{print $3}' "$work/lintian" | sort -u | grep -vxF -f <(tr ' ' '\n' <<<"$lintian_allowed") || true)
[ -z "$others" ] || { cat "$work/lintian"; fail "lintian says: $others"; }
echo "lintian: no error in $(ls "$dist"/*.deb | wc -l) packages; at --pedantic -I only $(awk '{print $3}' "$work/lintian" | sort -u | tr '\n' ' ')"
rpmlint -c "$dist/rpmlint.toml" "$dist"/*.rpm >"$work/rpmlint" 2>&1 || { cat "$work/rpmlint"; fail "rpmlint reports errors"; }
grep -E ': [EW]: |checked' "$work/rpmlint"
echo "release $version: all checked${skipped:+ but for what was skipped}"
[ -z "$skipped" ] || exit 77
