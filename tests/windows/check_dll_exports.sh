#!/usr/bin/env bash
# Each JNI DLL exports exactly the native methods its class declares (the
# header javac -h made), and the names given beside them, nothing else: the
# library DllMain and tsapi.web's 54, the stand-in's control library
# tsapi.standin.Engine's. Every DLL imports exactly IMPORTS, the system DLLs
# they may name: KERNEL32 and msvcrt, and ADVAPI32 where the stack
# protector's libssp seeds its canary from CryptGenRandom.
#   check_dll_exports.sh OBJDUMP "IMPORTS..." DLL|HEADER|EXTRA... -- OTHER_DLL...
set -euo pipefail
objdump=$1 allowed=$2
shift 2
exports() {  # the names in the export table
  "$objdump" -p "$1" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/^\t\[/ {print $NF}' | sort -u
}
imports() {
  "$objdump" -p "$1" | awk '/DLL Name:/ {print $3}' | sort -u
}
modules=()
while [ $# -gt 0 ] && [ "$1" != -- ]; do
  IFS='|' read -r dll header extra <<<"$1"
  declared=$( (grep -oE 'Java_[A-Za-z0-9_]+' "$header"; [ -z "$extra" ] || printf '%s\n' $extra) | sort -u)
  exported=$(exports "$dll")
  if [ "$declared" != "$exported" ]; then
    echo "exports of $dll differ from the native methods $header declares${extra:+ and $extra}:"
    diff <(echo "$declared") <(echo "$exported") || true
    exit 1
  fi
  echo "$(basename "$dll"): $(grep -c '^Java_' <<<"$exported") native methods${extra:+ and $extra} exported"
  modules+=("$dll")
  shift
done
[ $# -eq 0 ] || shift
for module in "${modules[@]}" "$@"; do
  got=$(imports "$module" | tr '\n' ' ')
  [ "$got" = "$(tr ' ' '\n' <<<"$allowed" | sort -u | tr '\n' ' ')" ] || { echo "$module imports: $got (not $allowed)"; exit 1; }
done
echo "imports only $allowed"
