#!/usr/bin/env bash
# The library exports DllMain and exactly the native methods tsapi.web declares
# (54), nothing else; the library and the engines import exactly IMPORTS, the
# system DLLs they may name: KERNEL32 and msvcrt, and ADVAPI32 where the stack
# protector's libssp seeds its canary from CryptGenRandom.
#   check_dll_exports.sh OBJDUMP "IMPORTS..." LIBRARY GENERATED_HEADER ENGINE...
set -euo pipefail
objdump=$1 allowed=$2 library=$3 header=$4
shift 4
exports() {  # the names in the export table
  "$objdump" -p "$1" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/^\t\[/ {print $NF}' | sort -u
}
imports() {
  "$objdump" -p "$1" | awk '/DLL Name:/ {print $3}' | sort -u
}
declared=$( (grep -oE 'Java_tsapi_web_[A-Za-z0-9_]+' "$header"; echo DllMain) | sort -u)
exported=$(exports "$library")
if [ "$declared" != "$exported" ]; then
  echo "exports of $library differ from DllMain and the declared native methods:"
  diff <(echo "$declared") <(echo "$exported") || true
  exit 1
fi
count=$(echo "$exported" | grep -c '^Java_')
[ "$count" -eq 54 ] || { echo "expected 54 native methods, found $count"; exit 1; }
for module in "$library" "$@"; do
  got=$(imports "$module" | tr '\n' ' ')
  [ "$got" = "$(tr ' ' '\n' <<<"$allowed" | sort -u | tr '\n' ' ')" ] || { echo "$module imports: $got (not $allowed)"; exit 1; }
done
echo "DllMain and 54 native methods exported; imports only $allowed"
