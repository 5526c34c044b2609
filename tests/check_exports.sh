#!/usr/bin/env bash
# The library exports exactly the native methods that tsapi.web declares
# (as javac lists them in the header it generates), 54 of them, and nothing else.
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
