#!/usr/bin/env bash
# Fails when a C or C++ file of the checkout is not laid out as .clang-format
# says, or names a constant or enumerator kName rather than snake_case, the
# one part of the style clang-format cannot state. The layout is clang-format
# 14's, Debian 12's; other versions break some lines otherwise, so without it
# the check is skipped (exit 77), as it is outside a git checkout.
#   check_format.sh SOURCE_DIR
set -uo pipefail
cd "$1" || exit 2
format=$(command -v clang-format-14) || { echo "clang-format-14 not found: layout not checked"; exit 77; }
files=$(git ls-files '*.c' '*.cpp' '*.h' 2>/dev/null) || { echo "not a git checkout: layout not checked"; exit 77; }
bad=0
# --dry-run names each place that differs; -i would rewrite it.
xargs "$format" --dry-run --Werror <<<"$files" || bad=1
if xargs grep -nE '\bk[A-Z][A-Za-z0-9]*\b' <<<"$files"; then
  echo "constants and enumerators are snake_case: the kName above should be renamed"
  bad=1
fi
[ "$bad" -eq 0 ] && echo "$(wc -l <<<"$files") files as .clang-format says"
exit "$bad"
