#!/usr/bin/env bash
# Builds and runs every test of every build: native Linux, then Windows under Wine.
# Installs missing Debian packages first (needs root for that).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
source scripts/xvfb.sh
vandrel_start_xvfb 800x600x24

jobs=$(nproc)
echo "== native build and tests"
cmake --preset linux >/dev/null
cmake --build --preset linux -j"$jobs"
ctest --preset linux -j"$jobs"

echo "== Windows build and tests under Wine"
cmake --preset windows >/dev/null
cmake --build --preset windows -j"$jobs"
export VANDREL_WINEPREFIX="$PWD/build/windows/wineprefix"
cmake/wine-run.sh cmd.exe /c exit 0 >/dev/null 2>&1 || true
# One persistent wineserver for the whole run saves a second per Wine start.
WINEPREFIX="$VANDREL_WINEPREFIX" /usr/lib/wine/wineserver -w
WINEPREFIX="$VANDREL_WINEPREFIX" /usr/lib/wine/wineserver -p || true
trap 'WINEPREFIX="$VANDREL_WINEPREFIX" /usr/lib/wine/wineserver -k 2>/dev/null || true; end_started "${VANDREL_XVFB_PID:-}"' EXIT
ctest --preset windows
echo "== native tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset asan >/dev/null
cmake --build --preset asan -j"$jobs"
ctest --preset asan -j"$jobs"

echo "== native tests under ThreadSanitizer"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j"$jobs"
ctest --preset tsan -j"$jobs"

echo "== fuzzing"
scripts/fuzz.sh

echo "All tests of every build passed."
