#!/usr/bin/env bash
# The golden files of the add-in's runs under wine (testdata/addin), as the command
# line writes them under Linux from the same contacts and the same choices. Checks
# that the command line still writes exactly them, or with --write writes them anew.
#   addin/tests/reference.sh MIREO TESTDATA [--write]
set -euo pipefail
mireo="$1"
data="$2/addin"
write="${3:-}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export MIREO_LOG="$work/mireo.log" MIREO_HOST_VERSION=11.0.0.0
registry="$work/registry.reg"
store="$work/export.db"
run() { "$mireo" --store "$store" --registry "$registry" "$@" >/dev/null 2>>"$work/progress.log"; }

run store add Contacts "$data/contacts.json"
mkdir "$work/export-21-utf8" "$work/export-30-cp1252"
common=(--no-overwrite --include-private --any-categories)
run export-contacts --to "$work/export-21-utf8" --file-per-contact --format 2.1 --encoding UTF-8 "${common[@]}"
run export-contacts --to "$work/export-30-cp1252" --one-file --format 3.0 \
    --encoding "Western European (Windows-1252)" "${common[@]}"
if [ "$write" = "--write" ]; then
  rm -rf "$data/export-21-utf8" "$data/export-30-cp1252"
  cp -r "$work/export-21-utf8" "$work/export-30-cp1252" "$data/"
fi

# The import reads the golden files of the first export into an empty store.
store="$work/import.db"
run import-contacts --folder Contacts --conflict keep-both --include-private --any-categories "$data/export-21-utf8"
"$mireo" --store "$store" --registry "$registry" store dump Contacts > "$work/import-21-utf8.json"
if [ "$write" = "--write" ]; then
  cp "$work/import-21-utf8.json" "$data/"
  echo "written: $data"
  exit 0
fi

status=0
for d in export-21-utf8 export-30-cp1252; do
  diff -r "$data/$d" "$work/$d" >/dev/null || { echo "$d: the command line writes other files:"; diff -r "$data/$d" "$work/$d" | head -20; status=1; }
done
cmp -s "$data/import-21-utf8.json" "$work/import-21-utf8.json" || {
  echo "import-21-utf8.json: the command line stores other contacts:"; diff "$data/import-21-utf8.json" "$work/import-21-utf8.json" | head -20; status=1; }
[ $status -eq 0 ] && echo "the command line writes the golden files of the add-in"
exit $status
