#!/usr/bin/env bash
# Kill -9 at random moments of a large import, then import again: the store must hold
# exactly the cards of the file (none lost, none twice) and pass SQLite's integrity
# check. Takes a few minutes; not part of the tests.
#   scripts/kill-loop.sh [CARDS [KILLS [path/to/mireo]]]     (default 100000 20)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
count="${1:-100000}"
kills="${2:-20}"
mireo="${3:-$here/build/linux/bin/mireo}"
[[ -x "$mireo" ]] || { echo "kill-loop: no $mireo (build the linux preset)"; exit 1; }

work="$(mktemp -d /tmp/mireo_kill_loop.XXXXXX)"
trap 'rm -rf "$work"' EXIT
export MIREO_STORE="$work/store.db" MIREO_REGISTRY="$work/registry.reg" MIREO_LOG="$work/mireo.log"
python3 - "$count" "$work/cards.vcf" <<'PY'
import sys
n, path = int(sys.argv[1]), sys.argv[2]
with open(path, "w", newline="") as f:
    for i in range(n):
        f.write("BEGIN:VCARD\r\nVERSION:2.1\r\nN:Person%d;Test\r\nORG:Company %d\r\nEMAIL:p%d@example.org\r\n"
                "TEL;WORK;VOICE:555 %05d\r\nEND:VCARD\r\n" % (i, i % 97, i, i))
PY
"$mireo" store folders >/dev/null

# How long one whole import takes, to spread the kills over it.
start=$(date +%s.%N)
"$mireo" import-contacts "$work/cards.vcf" >/dev/null 2>&1 || true
full=$(python3 -c "import time; print(max(1.0, time.time() - $start))")
rm -f "$MIREO_STORE" "$MIREO_STORE-wal" "$MIREO_STORE-shm"
"$mireo" store folders >/dev/null
echo "kill-loop: $count cards, one import takes ${full%.*} s; $kills kills at random moments"

for ((k = 1; k <= kills; k++)); do
  # Within the first half of a whole import: each run first passes over what the
  # runs before stored (quicker than storing), so the kills land while it stores.
  delay=$(python3 -c "import random; print(round(random.uniform(0.2, $full / 2), 2))")
  "$mireo" import-contacts "$work/cards.vcf" >/dev/null 2>&1 &
  pid=$!
  sleep "$delay"
  kill -9 "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  have=$(sqlite3 "$MIREO_STORE" "SELECT COUNT(*) || ' stored, ' || COUNT(DISTINCT fullname_key) || ' distinct' FROM items WHERE folder_id = 5")
  echo "  kill $k after ${delay} s: $have"
done

"$mireo" import-contacts "$work/cards.vcf" >"$work/last" 2>&1 || true
grep -v '^Importing' "$work/last" | sed 's/^/  /'
total=$(sqlite3 "$MIREO_STORE" "SELECT COUNT(*) FROM items WHERE folder_id = 5")
distinct=$(sqlite3 "$MIREO_STORE" "SELECT COUNT(DISTINCT fullname_key) FROM items WHERE folder_id = 5")
integrity=$(sqlite3 "$MIREO_STORE" "PRAGMA integrity_check")
echo "kill-loop: stored $total, distinct names $distinct, integrity $integrity"
[[ "$total" == "$count" && "$distinct" == "$count" && "$integrity" == "ok" ]]
echo "kill-loop: passed"
