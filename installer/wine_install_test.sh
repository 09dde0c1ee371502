#!/usr/bin/env bash
# Installs and uninstalls Mireo under wine64 with the installer's own script, built
# for x86_64 from the files of the x86_64 build (wine64 runs no 32-bit program):
#   wine_install_test.sh MAKENSIS mireo.nsi BIN_DIR WORK_DIR WINE_RUNNER
# After a silent install the files are in the chosen folder byte for byte, the server
# is registered from there, the host's add-in list names it for the user and the
# system's list of programs has its uninstaller; after a silent uninstall none of it
# is left. Run by scripts/wine-tests.sh (one wine session), or on its own.
set -uo pipefail
makensis="$1" script="$2" bin="$3" work="$4" wine="$5"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
ok() { echo "ok: $*"; }

# Where wine puts C:\ of the prefix the runner uses.
prefix="${MIREO_WINEPREFIX:-${HOME:-/root}/.cache/mireo/wineprefix}"
target='C:\mireo-installer-test'
unix_target="$prefix/drive_c/mireo-installer-test"
addin_key='HKCU\Software\Microsoft\Office\Outlook\Addins\Mireo.Connect'
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Mireo'

# `reg query` with CR LF turned into LF; `exists KEY` by its exit status.
query() { "$wine" reg query "$@" 2>/dev/null | tr -d '\r'; }
exists() { "$wine" reg query "$1" >/dev/null 2>&1; }
# The data of one value ("NAME  REG_TYPE  DATA").
value() { query "$1" /v "$2" | sed -nE "s/^ +$2 +REG_[A-Z_]+ +(.*)$/\1/p"; }
default_value() { query "$1" /ve | sed -nE 's/^ +\(Default\) +REG_[A-Z_]+ +(.*)$/\1/p'; }

mkdir -p "$work"
setup="$work/Mireo-Setup-x86_64.exe"
if ! "$makensis" -V2 "-XTarget amd64-unicode" "-DBIN_DIR=$bin" -DVERSION=0.0.0 "-DOUT_FILE=$setup" "$script"; then
  echo "FAIL: makensis"; exit 1
fi
rm -rf "$unix_target"

# Install, silently, into a folder of our own (/D= is the last argument, unquoted).
"$wine" "$setup" /S "/D=$target" || fail "the installer's exit status"
for f in Mireo.dll LibKelvo.dll supportedEncodings.txt; do
  cmp -s "$bin/$f" "$unix_target/$f" && ok "installed $f" || fail "installed $f"
done
for page in "$bin"/help/*.htm; do
  cmp -s "$page" "$unix_target/help/$(basename "$page")" || fail "help page $(basename "$page")"
done
[ -f "$unix_target/Uninstall.exe" ] && ok "Uninstall.exe" || fail "no Uninstall.exe"

clsid=$(default_value 'HKCR\Mireo.Connect\CLSID')
[ -n "$clsid" ] && ok "Mireo.Connect is $clsid" || fail "Mireo.Connect not registered"
server=$(default_value "HKCR\\CLSID\\$clsid\\InprocServer32")
[ "$server" = "$target\\Mireo.dll" ] && ok "server $server" || fail "server '$server'"
[ "$(value "$addin_key" LoadBehavior)" = "0x3" ] && ok "LoadBehavior 3" || fail "LoadBehavior"
[ "$(value "$addin_key" FriendlyName)" = "Mireo" ] && ok "FriendlyName" || fail "FriendlyName"
[ -n "$(value "$addin_key" Description)" ] && ok "Description" || fail "Description"
[ "$(value "$uninstall_key" UninstallString)" = "\"$target\\Uninstall.exe\"" ] && ok "UninstallString" ||
  fail "UninstallString"

# Uninstall, silently. The uninstaller runs from a copy of itself in the temporary
# folder, so its work ends after the command returns: wait for its last step, the
# entry in the list of programs, to go.
"$wine" "$target\\Uninstall.exe" /S || fail "the uninstaller's exit status"
for _ in $(seq 1 60); do exists "$uninstall_key" || break; sleep 0.5; done
[ -d "$unix_target" ] && fail "the folder is left: $(ls -A "$unix_target" | tr '\n' ' ')" || ok "folder removed"
exists "$addin_key" && fail "add-in list entry left" || ok "add-in list entry removed"
exists 'HKCR\Mireo.Connect' && fail "ProgID left" || ok "ProgID removed"
[ -n "$clsid" ] && { exists "HKCR\\CLSID\\$clsid" && fail "class left" || ok "class removed"; }
exists "$uninstall_key" && fail "uninstall entry left" || ok "uninstall entry removed"

# The uninstaller's copies of itself stay in the temporary folder.
rm -rf "$unix_target" "$setup" "$prefix"/drive_c/users/*/Temp/~nsu*.tmp
echo "$failures failure(s)"
[ "$failures" -eq 0 ]
