#!/usr/bin/env bash
# The shared objects load on glibc 2.17 and later: fails when one needs a
# symbol version newer than GLIBC_2.17, GLIBCXX_3.4.19 and CXXABI_1.3.7 (GCC
# 4.8's libstdc++), GCC_4.8.0 (its libgcc_s), or a library other than the C
# library's own, libstdc++ and libgcc_s, or when one that uses the static TLS
# block (initial-exec thread-locals, flag STATIC_TLS) takes more of it than
# the 32 bytes the docs promise: a host loading it late, after others took
# the block's spare room, gets "cannot allocate memory in static TLS block".
# Prints, per object, what it needs and the highest version of each.
#   check_glibc_versions.sh OBJDUMP OBJECT...
set -euo pipefail
objdump=$1
shift

# version name -> the highest allowed
declare -A limit=([GLIBC]=2.17 [GLIBCXX]=3.4.19 [CXXABI]=1.3.7 [GCC]=4.8.0)
allowed_needed='^(libc\.so\.6|libm\.so\.6|libdl\.so\.2|libpthread\.so\.0|librt\.so\.1|ld-linux-x86-64\.so\.2|ld-linux-aarch64\.so\.1|libstdc\+\+\.so\.6|libgcc_s\.so\.1)$'

newer() { [ "$1" != "$2" ] && [ "$(printf '%s\n%s\n' "$1" "$2" | sort -V | tail -1)" = "$1" ]; }

failed=0
for object in "$@"; do
  echo "== $(basename "$(dirname "$object")")/$(basename "$object")"
  headers=$("$objdump" -p "$object")
  needed=$(awk '$1 == "NEEDED" {print $2}' <<<"$headers")
  echo "   needed: $(echo $needed)"
  for library in $needed; do
    if ! [[ $library =~ $allowed_needed ]]; then
      echo "   FAILED: needs $library"
      failed=1
    fi
  done
  flags=$(awk '$1 == "FLAGS" {print $2}' <<<"$headers")
  if [ -n "$flags" ] && (( flags & 0x10 )); then  # DF_STATIC_TLS
    tls=$(awk '$1 == "TLS" {getline; print $4}' <<<"$headers")  # memsz, on the line after
    echo "   static TLS: $((tls)) bytes (at most 32)"
    if [ $((tls)) -gt 32 ]; then
      echo "   FAILED: $((tls)) bytes of static TLS"
      failed=1
    fi
  fi
  # "Version References": the versions the object needs, per library.
  versions=$(awk '/^Version References:/ {on = 1; next} on && NF == 4 {print $4} on && NF == 0 {on = 0}' <<<"$headers" | sort -u)
  symbols=$("$objdump" -T "$object")
  for name in "${!limit[@]}"; do
    highest=$(grep -E "^${name}_[0-9.]+$" <<<"$versions" | sed "s/^${name}_//" | sort -V | tail -1 || true)
    [ -n "$highest" ] || continue
    echo "   highest ${name}: $highest (at most ${limit[$name]})"
    for version in $(grep -E "^${name}_[0-9.]+$" <<<"$versions" | sed "s/^${name}_//"); do
      if newer "$version" "${limit[$name]}"; then
        users=$(awk -v v="${name}_${version}" '$0 ~ /\*UND\*/ && ($(NF-1) == v || $(NF-1) == "(" v ")") {print $NF}' <<<"$symbols")
        echo "   FAILED: ${name}_${version}, for: $(echo $users)"
        failed=1
      fi
    done
  done
done
exit $failed
