#!/usr/bin/env bash
# The library exports exactly the native methods that tsapi.web declares
# (as javac lists them in the header it generates), 54 of them, and nothing else.
# And what profilers see of it: every unit compiled with frame pointers, and
# no guard frame (the frames under every engine call) named with a template
# argument that is a class-type value or an expression (mangled X...E), which
# profilers' demanglers give up on.
#   check_exports.sh LIBRARY GENERATED_HEADER
set -euo pipefail
library=$1
header=$2
declared=$(grep -oE 'Java_tsapi_web_[A-Za-z0-9_]+' "$header" | sort -u)
exported=$(nm -D --defined-only "$library" | awk '{print $3}' | sort -u)
if [ "$declared" != "$exported" ]; then
  echo "exports differ from the declared native methods:"
  diff <(echo "$declared") <(echo "$exported") || true
  exit 1
fi
count=$(echo "$exported" | wc -l)
if [ "$count" -ne 54 ]; then
  echo "expected 54 native methods, found $count"
  exit 1
fi
echo "54 exports, exactly the declared native methods"
producers=$(readelf --debug-dump=info "$library" 2>/dev/null | grep DW_AT_producer | grep 'GNU C' || true)
if [ -n "$producers" ]; then  # built with debug information
  without=$(grep -vc -- -fno-omit-frame-pointer <<<"$producers" || true)
  if [ "$without" -ne 0 ]; then
    echo "$without compilation units without frame pointers"
    exit 1
  fi
  echo "every compilation unit keeps frame pointers"
fi
unreadable=$(nm "$library" | awk '{print $NF}' | grep -E 'call_guarded|call_below_band' | grep -E '^_Z.*X(tl|ad)' || true)
if [ -n "$unreadable" ]; then
  echo "guard frames whose names profilers cannot demangle:"
  echo "$unreadable" | head -5
  exit 1
fi
echo "every guard frame's name demangles plainly"
