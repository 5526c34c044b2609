#!/bin/sh
# Runs a Windows program under Wine, headless and quiet: wine-run.sh PROGRAM [ARGS...]
# WINEPREFIX chooses the prefix (ctest sets one inside the build folder);
# WINE the loader: wine64 unless set (the x86 build's tests set the 32-bit
# Wine unpacked in its build folder). Debian puts wine64 outside PATH.
wine=${WINE:-}
if [ -z "$wine" ]; then
  for wine in wine64 /usr/lib/wine/wine64; do
    command -v "$wine" >/dev/null 2>&1 && break
  done
fi
command -v "$wine" >/dev/null 2>&1 || { echo "wine-run.sh: no $wine (tools/run-windows-tests.sh provides it)" >&2; exit 127; }
export WINEDEBUG="${WINEDEBUG:--all}"
unset DISPLAY WAYLAND_DISPLAY
exec "$wine" "$@"
