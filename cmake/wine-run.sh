#!/bin/sh
# Runs a Windows program under Wine, headless and quiet: wine-run.sh PROGRAM [ARGS...]
# WINEPREFIX chooses the prefix (ctest sets one inside the build folder).
# Debian's wine64 package puts its loader outside PATH.
for wine in "${WINE:-}" wine64 /usr/lib/wine/wine64 wine; do
  [ -n "$wine" ] && command -v "$wine" >/dev/null 2>&1 && break
done
command -v "$wine" >/dev/null 2>&1 || { echo "wine-run.sh: no wine64 (apt-get install wine64)" >&2; exit 127; }
export WINEDEBUG="${WINEDEBUG:--all}"
unset DISPLAY WAYLAND_DISPLAY
exec "$wine" "$@"
