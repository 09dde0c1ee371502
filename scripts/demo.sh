#!/usr/bin/env bash
# Sets up the machine, builds the Linux command line and runs Mireo's main job on the
# bundled sample data, in a scratch folder (build/demo) so your own store and
# registry are left alone.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"

bash scripts/setup.sh --linux
cmake --preset linux >/dev/null
cmake --build --preset linux -j "$(nproc)" --target mireo LibKelvo >/dev/null

demo="$here/build/demo"
rm -rf "$demo"
mkdir -p "$demo"
export MIREO_STORE="$demo/store.db"
export MIREO_REGISTRY="$demo/registry.reg"
export MIREO_LOG="$demo/mireo.log"
mireo="$here/build/linux/bin/mireo"

echo "== $("$mireo" --version)"
echo
echo "== Supported encodings"
"$mireo" encodings
echo
echo "== Settings (registry file $MIREO_REGISTRY)"
"$mireo" settings
echo
echo "== The host store ($MIREO_STORE) with the bundled sample contacts"
"$mireo" store add Contacts testdata/hoststore/sample-contacts.json
"$mireo" store folders
