#!/usr/bin/env bash
# Sets up a fresh machine, builds every configuration and runs every test:
#   Linux (g++), Linux with AddressSanitizer and UBSan, the x86_64 Windows build with
#   its tests under wine64, the shipped i686 Windows build (compile and link only) and
#   the fuzz targets (built, and each run briefly).
# Usage: scripts/test.sh [--skip-setup] [--only linux|linux-asan|mingw64|mingw32|fuzz]...
set -uo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "$here"

skip_setup=0
only=()
while [ $# -gt 0 ]; do
  case "$1" in
    --skip-setup) skip_setup=1 ;;
    --only) shift; only+=("$1") ;;
    *) echo "usage: $0 [--skip-setup] [--only STAGE]..." >&2; exit 2 ;;
  esac
  shift
done
wanted() { [ ${#only[@]} -eq 0 ] && return 0; local s; for s in "${only[@]}"; do [ "$s" = "$1" ] && return 0; done; return 1; }

jobs="${MIREO_JOBS:-$(nproc)}"
total_passed=0
total_failed=0
failed_stages=()
start_all=$SECONDS

stage() { echo; echo "=== $1 ($(date +%H:%M:%S))"; }
record() {  # stage-name log-file exit-code
  local name="$1" log="$2" rc="$3" line p f
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1 || true)
  if [ -n "$line" ]; then
    f=$(echo "$line" | sed -E 's/.*passed, ([0-9]+) tests? failed out of ([0-9]+).*/\1/')
    p=$(( $(echo "$line" | sed -E 's/.*out of ([0-9]+).*/\1/') - f ))
    total_passed=$((total_passed + p))
    total_failed=$((total_failed + f))
  fi
  if [ "$rc" -ne 0 ]; then
    failed_stages+=("$name")
    [ -z "$line" ] && total_failed=$((total_failed + 1))
  fi
}

if [ $skip_setup -eq 0 ]; then
  stage "setup"
  bash scripts/setup.sh || { echo "setup failed"; exit 1; }
fi

logs="$here/build/logs"
mkdir -p "$logs"

for preset in linux linux-asan; do
  wanted "$preset" || continue
  stage "$preset: configure and build"
  t=$SECONDS
  if cmake --preset "$preset" >"$logs/$preset-configure.log" 2>&1 &&
     cmake --build --preset "$preset" -j "$jobs" >"$logs/$preset-build.log" 2>&1; then
    echo "built in $((SECONDS - t)) s"
    stage "$preset: tests"
    t=$SECONDS
    ASAN_OPTIONS=detect_leaks=1 ctest --preset "$preset" -j "$jobs" 2>&1 | tee "$logs/$preset-test.log"
    record "$preset" "$logs/$preset-test.log" "${PIPESTATUS[0]}"
    echo "tested in $((SECONDS - t)) s"
  else
    tail -n 40 "$logs/$preset-configure.log" "$logs/$preset-build.log" 2>/dev/null
    record "$preset build" /dev/null 1
  fi
done

if wanted mingw64; then
  stage "mingw64: configure and build"
  t=$SECONDS
  if cmake --preset mingw64 >"$logs/mingw64-configure.log" 2>&1 &&
     cmake --build --preset mingw64 -j "$jobs" >"$logs/mingw64-build.log" 2>&1; then
    echo "built in $((SECONDS - t)) s"
    stage "mingw64: tests under wine64"
    t=$SECONDS
    bash scripts/wine-tests.sh build/mingw64 2>&1 | tee "$logs/mingw64-test.log"
    record mingw64 "$logs/mingw64-test.log" "${PIPESTATUS[0]}"
    echo "tested in $((SECONDS - t)) s"
  else
    tail -n 40 "$logs/mingw64-configure.log" "$logs/mingw64-build.log" 2>/dev/null
    record "mingw64 build" /dev/null 1
  fi
fi

if wanted mingw32; then
  stage "mingw32: the shipped 32-bit build (compile and link only)"
  t=$SECONDS
  if cmake --preset mingw32 >"$logs/mingw32-configure.log" 2>&1 &&
     cmake --build --preset mingw32 -j "$jobs" >"$logs/mingw32-build.log" 2>&1; then
    echo "built in $((SECONDS - t)) s"
    # The shipped DLLs import only what Windows XP has, and the add-in's export table
    # holds exactly the four functions of a COM server (objdump; the build checks the
    # same after linking, but an up-to-date build does not link again).
    checks_ok=1
    for dll in Mireo LibKelvo; do
      cmake -DOBJDUMP=i686-w64-mingw32-objdump -DFILE="build/mingw32/bin/$dll.dll" \
            -P cmake/check-imports.cmake 2>&1 | sed 's/^-- //' || checks_ok=0
    done
    cmake -DOBJDUMP=i686-w64-mingw32-objdump -DFILE=build/mingw32/bin/Mireo.dll \
          "-DEXPORTS=DllCanUnloadNow;DllGetClassObject;DllRegisterServer;DllUnregisterServer" \
          -P cmake/check-exports.cmake 2>&1 | sed 's/^-- //' || checks_ok=0
    if [ $checks_ok -eq 1 ]; then
      total_passed=$((total_passed + 1))
    else
      record "mingw32 imports and exports" /dev/null 1
    fi
    # The installer, built from these files by makensis.
    setup=$(ls build/mingw32/Mireo-Setup-*.exe 2>/dev/null | head -n 1)
    if [ -n "$setup" ] && file "$setup" | grep -q 'PE32 executable'; then
      echo "installer: $setup, $(stat -c %s "$setup") bytes"
      total_passed=$((total_passed + 1))
    else
      echo "mingw32: no installer (makensis)"; record "mingw32 installer" /dev/null 1
    fi
    for f in build/mingw32/bin/*.dll build/mingw32/bin/*.exe; do
      [ -e "$f" ] && file "$f"
    done
    if file build/mingw32/bin/*.dll | grep -qv 'PE32 executable (DLL).*Intel 80386'; then
      echo "mingw32: a DLL is not PE32/i386"; record "mingw32 format" /dev/null 1
    else
      total_passed=$((total_passed + 1))
    fi
  else
    tail -n 40 "$logs/mingw32-configure.log" "$logs/mingw32-build.log" 2>/dev/null
    record "mingw32 build" /dev/null 1
  fi
fi

if wanted fuzz; then
  stage "fuzz: build the targets and run each briefly"
  t=$SECONDS
  if cmake --preset fuzz >"$logs/fuzz-configure.log" 2>&1 &&
     cmake --build --preset fuzz -j "$jobs" >"$logs/fuzz-build.log" 2>&1; then
    fuzz_ok=1
    for f in build/fuzz/bin/fuzz_*; do
      [ -x "$f" ] || continue
      if "$f" -max_total_time="${MIREO_FUZZ_SECONDS:-15}" -rss_limit_mb=2048 >"$logs/$(basename "$f").log" 2>&1; then
        echo "$(basename "$f"): clean"
      else
        echo "$(basename "$f"): FAILED"; tail -n 30 "$logs/$(basename "$f").log"; fuzz_ok=0
      fi
    done
    if [ $fuzz_ok -eq 1 ]; then total_passed=$((total_passed + 1)); else record fuzz /dev/null 1; fi
    echo "fuzzed in $((SECONDS - t)) s"
  else
    tail -n 40 "$logs/fuzz-configure.log" "$logs/fuzz-build.log" 2>/dev/null
    record "fuzz build" /dev/null 1
  fi
fi

echo
echo "=== done in $((SECONDS - start_all)) s"
if [ ${#failed_stages[@]} -gt 0 ]; then
  echo "failed: ${failed_stages[*]}"
fi
echo "summary: ${total_passed} passed, ${total_failed} failed"
[ ${#failed_stages[@]} -eq 0 ]
