#!/usr/bin/env bash
# Builds and runs every test of every build: native Linux, Windows under Wine, the
# sanitizers and the fuzzers; ends with one table of them all. Installs missing Debian
# packages first (needs root for that).
#   --quick   the native build and its tests only (for development; the README's command
#             is the whole run)
set -uo pipefail
cd "$(dirname "$0")/.."
quick=0
case "${1:-}" in
    --quick) quick=1 ;;
    "") ;;
    *) echo "test.sh: unknown argument $1 (try --quick)" >&2; exit 2 ;;
esac
scripts/install-deps.sh || exit 1
source scripts/xvfb.sh
vandrel_start_xvfb 800x600x24 || exit 1
jobs=$(nproc)
rows=()
total_passed=0 total_failed=0 total_skipped=0 failed_builds=0

# Runs one build's step ($2...) and adds its row: ctest's counts read from its summary.
run_build() {
    local name=$1 log start minutes passed=0 failed=0 skipped=0 total status
    shift
    log="build/test-$name.log"
    mkdir -p build
    echo "== $name"
    start=$(date +%s)
    "$@" 2>&1 | tee "$log"
    status=${PIPESTATUS[0]}
    minutes=$(awk -v s=$(($(date +%s) - start)) 'BEGIN { printf "%.1f", s / 60 }')
    if read -r failed total < <(sed -nE 's/.* tests passed, ([0-9]+) tests failed out of ([0-9]+)/\1 \2/p' "$log" | tail -1); then
        skipped=$(grep -cE '^[[:space:]]*[0-9]+ - .*\(Skipped\)' "$log")
    else  # the fuzzers: a target each
        total=$(grep -c '^== fuzzing' "$log")
        failed=$(grep -c '^FINDING in' "$log")
    fi
    passed=$((total - failed - skipped))
    [ "$status" -ne 0 ] && [ "$failed" -eq 0 ] && failed=1  # a build or a finding
    rows+=("$(printf '%-10s %7d %7d %8d %8s' "$name" "$passed" "$failed" "$skipped" "$minutes")")
    total_passed=$((total_passed + passed))
    total_failed=$((total_failed + failed))
    total_skipped=$((total_skipped + skipped))
    [ "$status" -ne 0 ] && failed_builds=$((failed_builds + 1))
    return 0
}

native() {
    cmake --preset linux >/dev/null && cmake --build --preset linux -j"$jobs" &&
        ctest --preset linux -j"$jobs"
}
windows() {
    cmake --preset windows >/dev/null && cmake --build --preset windows -j"$jobs" || return 1
    export VANDREL_WINEPREFIX="$PWD/build/windows/wineprefix"
    cmake/wine-run.sh cmd.exe /c exit 0 >/dev/null 2>&1 || true
    # One persistent wineserver for the whole run saves a second per Wine start.
    WINEPREFIX="$VANDREL_WINEPREFIX" /usr/lib/wine/wineserver -w
    WINEPREFIX="$VANDREL_WINEPREFIX" /usr/lib/wine/wineserver -p || true
    # Its services, started by the first program, keep that program's stderr open for as
    # long as the server lives: a test started first would never be seen to end.
    cmake/wine-run.sh cmd.exe /c exit 0 >/dev/null 2>&1 </dev/null || true
    ctest --preset windows
    local status=$?
    WINEPREFIX="$VANDREL_WINEPREFIX" /usr/lib/wine/wineserver -k 2>/dev/null || true
    return $status
}
sanitized() {
    cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j"$jobs" &&
        ctest --preset "$1" -j"$jobs"
}

run_build native native
if [ "$quick" = 0 ]; then
    run_build windows windows
    run_build asan sanitized asan
    run_build tsan sanitized tsan
    run_build fuzz scripts/fuzz.sh
fi

echo
printf '%-10s %7s %7s %8s %8s\n' build passed failed skipped minutes
printf '%s\n' "${rows[@]}"
echo "total: $total_passed passed, $total_failed failed, $total_skipped skipped"
if [ "$failed_builds" -ne 0 ]; then
    echo "$failed_builds of the builds above failed." >&2
    exit 1
fi
echo "All tests of every build passed."
