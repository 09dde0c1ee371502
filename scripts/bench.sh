#!/usr/bin/env bash
# Installs what the benchmarks need (KDE's KContacts for the import's comparison),
# builds the Linux preset and runs the benchmarks: the host store, the contact export,
# the contact import, the address books of both shapes, the event export and the
# calendar import. Everything they print goes to stdout.
#   scripts/bench.sh [counts...]    (default 10000 100000: the export, import and address
#                                    book benchmarks)
# MIREO_BENCH_REPEAT=R takes each store and import timing R times and shows the fastest
# (default 1).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"

bash scripts/setup.sh --bench
mkdir -p build/logs
log="$here/build/logs/bench-build.log"
if ! { cmake --preset linux && cmake --build --preset linux -j "${MIREO_JOBS:-$(nproc)}"; } >"$log" 2>&1; then
  tail -n 40 "$log"
  echo "bench: the build failed (log: $log)"
  exit 1
fi
bin="$here/build/linux/bin"

status=0
repeat="${MIREO_BENCH_REPEAT:-1}"
echo "== Host store (store_bench --repeat $repeat)"
"$bin/store_bench" --repeat "$repeat" 2>&1 || status=1
echo
echo "== Contact export (mireo_bench_vcard_export $*)"
"$bin/mireo_bench_vcard_export" "$@" 2>&1 || status=1
echo
echo "== Contact import (mireo_bench_vcard_import --repeat $repeat $*)"
"$bin/mireo_bench_vcard_import" --repeat "$repeat" "$@" 2>&1 || status=1
echo
echo "== Address books, lean and rich (mireo_bench_address_book --repeat $repeat $*)"
"$bin/mireo_bench_address_book" --repeat "$repeat" "$@" 2>&1 || status=1
echo
echo "== Event export (mireo_bench_event_export $*; libical serialising the same events beside it)"
"$bin/mireo_bench_event_export" "$@" 2>&1 || status=1
echo
echo "== Calendar import (mireo_bench_vcal_import --repeat $repeat $*)"
"$bin/mireo_bench_vcal_import" --repeat "$repeat" "$@" 2>&1 || status=1
exit $status
