#!/usr/bin/env bash
# The library exports DllMain and exactly the native methods tsapi.web declares
# (54), nothing else; the library and the engines import only KERNEL32 and msvcrt.
#   check_dll_exports.sh OBJDUMP LIBRARY GENERATED_HEADER ENGINE...
set -euo pipefail
objdump=$1 library=$2 header=$3
shift 3
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
  [ "$got" = "KERNEL32.dll msvcrt.dll " ] || { echo "$module imports: $got"; exit 1; }
done
echo "DllMain and 54 native methods exported; imports only KERNEL32.dll and msvcrt.dll"
