#!/usr/bin/env bash
# Runs the x86_64 Windows tests under wine64, headless.
#   scripts/wine-tests.sh [build-dir]     (default build/mingw64)
# One wine session for the whole run: a private prefix, a persistent wineserver and
# wine's services started before CTest (otherwise CTest waits on pipes the services
# inherit, or every test pays seconds of start-up), all inside one Xvfb display.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build/mingw64}"
build="$(cd "$build" && pwd)"

if [ -z "${MIREO_INSIDE_XVFB:-}" ]; then
  export MIREO_INSIDE_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$build"
fi

export WINEPREFIX="${MIREO_WINEPREFIX:-$build/wineprefix}"
export MIREO_WINEPREFIX="$WINEPREFIX"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64

/usr/lib/wine/wineserver -k 2>/dev/null || true
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "wine-tests: creating the wine prefix"
  $wine wineboot --init >/dev/null 2>&1
fi
/usr/lib/wine/wineserver -w
# A persistent server; started before any other wine program, which would start its own.
/usr/lib/wine/wineserver -p
# No window manager here: unmanaged windows hide at once instead of after 2 s.
$wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
$wine cmd /c exit </dev/null >/dev/null 2>&1

# The driven wizards photograph every dialog here; no picture of an earlier run stays.
rm -rf "$build/screenshots"
status=0
ctest --test-dir "$build" --output-on-failure --timeout 300 -j1 || status=$?
/usr/lib/wine/wineserver -k 2>/dev/null || true
# The pictures as PNG files and the sheet of all of them (a build artefact;
# docs/screenshots keeps the set the README shows).
if [ -d "$build/screenshots" ]; then
  python3 "$here/scripts/contact_sheet.py" "$build/screenshots" "$build/screenshots/png" || status=1
fi
exit $status
