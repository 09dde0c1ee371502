#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when they are missing.
#   scripts/setup.sh            everything: Linux, sanitizer, Windows cross builds and wine
#   scripts/setup.sh --linux    only what the Linux build and the demo need
#   scripts/setup.sh --bench    the Linux packages and the benchmarks' comparison library
set -euo pipefail

linux_pkgs=(cmake ninja-build g++ pkg-config googletest libgtest-dev libgmock-dev libsqlite3-dev libzstd-dev
            nlohmann-json3-dev libbenchmark-dev python3 python3-vobject python3-dateutil python3-icalendar
            unicode-cldr-core tzdata libical-dev)
full_pkgs=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix g++-mingw-w64-i686-win32 mingw-w64-tools
           binutils-mingw-w64-i686 binutils-mingw-w64-x86-64 wine64 xvfb xauth file clang libclang-rt-14-dev
           nsis)
# KDE's KContacts and libical (with libicalvcal): the benchmarks' comparisons
# (mireo_bench_kcontacts_parse, mireo_bench_libical_parse, the event export's
# serialising); only scripts/bench.sh asks for them, the tests do not need them.
bench_pkgs=(libkf5contacts-dev libical-dev)

want=("${linux_pkgs[@]}")
case "${1:-}" in
  --linux) ;;
  --bench) want+=("${bench_pkgs[@]}") ;;
  *) want+=("${full_pkgs[@]}") ;;
esac

missing=()
for p in "${want[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

echo "setup: installing ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "setup: done"
