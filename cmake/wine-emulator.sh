#!/usr/bin/env bash
# Runs one Windows test program under wine64 with a private prefix.
# scripts/wine-tests.sh prepares the prefix and keeps a wineserver running, so
# each program starts in a fraction of a second.
set -u
export WINEPREFIX="${MIREO_WINEPREFIX:-${HOME:-/root}/.cache/mireo/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    [ -f "$WINEPREFIX/system.reg" ] || /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
  ) 9>"$WINEPREFIX.lock"
fi
exec timeout --kill-after=10 "${MIREO_WINE_TIMEOUT:-300}" /usr/lib/wine/wine64 "$@"
