#!/usr/bin/env bash
# What a full disk does to the counts and the files, on a small tmpfs: the store on a
# disk with 48 KB free, the store on a disk that fills during a large import, and
# exports that replace files on a full disk. Every count the command line prints must
# be what the store holds or the folder has. Needs root (mount); skips otherwise.
#   scripts/full-disk.sh [path/to/mireo]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
mireo="${1:-$here/build/linux/bin/mireo}"
if [[ $(id -u) -ne 0 ]]; then
  echo "full-disk: skipped (mounting a tmpfs needs root)"
  exit 0
fi
[[ -x "$mireo" ]] || { echo "full-disk: no $mireo (build the linux preset)"; exit 1; }

work="$(mktemp -d /tmp/mireo_full_disk.XXXXXX)"
disk="$work/disk"
mkdir -p "$disk"
cleanup() {
  umount "$disk" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export MIREO_REGISTRY="$work/registry.reg" MIREO_LOG="$work/mireo.log"
failures=0
check() {  # check WHAT EXPECTED ACTUAL
  if [[ "$2" == "$3" ]]; then echo "  ok: $1 ($3)"; else echo "  FAILED: $1: expected $2, got $3"; failures=$((failures + 1)); fi
}
cards() {  # cards COUNT NOTE_BYTES FILE
  python3 - "$@" <<'PY'
import sys
n, note, path = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
with open(path, "w", newline="") as f:
    for i in range(n):
        f.write("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Person%d;Test\r\nEMAIL:p%d@example.org\r\nNOTE:%s\r\nEND:VCARD\r\n"
                % (i, i, "x" * note))
PY
}
stored() {  # the contacts the store holds
  "$mireo" --store "$disk/store.db" store dump Contacts | python3 -c 'import json,sys; print(len(json.load(sys.stdin)))'
}
imported() { sed -n 's/^  Successfully imported: *//p' "$1"; }
fill_leaving() {  # fill_leaving KB: a file takes all but KB of the disk
  rm -f "$disk/fill"
  local avail
  avail=$(df --output=avail -k "$disk" | tail -1)
  if (( avail > $1 )); then head -c $(( (avail - $1) * 1024 )) /dev/zero >"$disk/fill" 2>/dev/null || true; fi
}

mount -t tmpfs -o size=8m tmpfs "$disk"

echo "== 25 cards, 48 KB free"
"$mireo" --store "$disk/store.db" store folders >/dev/null
cards 25 2000 "$work/c25.vcf"
fill_leaving 48
set +e
"$mireo" --store "$disk/store.db" import-contacts "$work/c25.vcf" >"$work/out1" 2>"$work/err1"
status=$?
set -e
cat "$work/out1" "$work/err1" | sed 's/^/    /'
rm -f "$disk/fill"
check "exit status" 1 "$status"
check "imported as printed = stored" "$(stored)" "$(imported "$work/out1")"

echo "== 20,000 cards on a disk that fills part-way"
rm -f "$disk"/store.db*
"$mireo" --store "$disk/store.db" store folders >/dev/null
cards 20000 300 "$work/c20k.vcf"
fill_leaving 3000
set +e
"$mireo" --store "$disk/store.db" import-contacts "$work/c20k.vcf" >"$work/out2" 2>"$work/err2"
status=$?
set -e
cat "$work/out2" "$work/err2" | grep -v '^Importing' | sed 's/^/    /'
rm -f "$disk/fill"
check "exit status" 1 "$status"
check "imported as printed = stored" "$(stored)" "$(imported "$work/out2")"
check "store integrity" ok "$(sqlite3 "$disk/store.db" 'PRAGMA integrity_check')"

echo "== exports that replace files on a full disk"
rm -f "$disk"/store.db*
mkdir -p "$work/store"
"$mireo" --store "$work/store/store.db" import-contacts "$work/c25.vcf" >/dev/null
mkdir -p "$disk/out"
echo "the old file" >"$disk/out/Contacts.vcf"
echo "the old file" >"$disk/out/Person1, Test.vcf"
fill_leaving 0
for mode in --one-file --file-per-contact; do
  set +e
  "$mireo" --store "$work/store/store.db" export-contacts --to "$disk/out" $mode --overwrite >"$work/out3" 2>&1
  status=$?
  set -e
  check "$mode: exit status" 1 "$status"
done
check "the old single file is whole" "the old file" "$(cat "$disk/out/Contacts.vcf")"
check "the old contact file is whole" "the old file" "$(cat "$disk/out/Person1, Test.vcf")"
check "nothing half-written beside them" 2 "$(ls -A "$disk/out" | wc -l)"
rm -f "$disk/fill"

echo
if (( failures > 0 )); then echo "full-disk: $failures check(s) failed"; exit 1; fi
echo "full-disk: all checks passed"
