#!/usr/bin/env bash
# Runs every libFuzzer target for a bounded time each (default 60 s; first argument or
# VANDREL_FUZZ_SECONDS), starting from the seeds in fuzz/corpus. Any finding fails.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-${VANDREL_FUZZ_SECONDS:-60}}"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)"
# A worker-writes program of a few dozen operations is enough; longer ones only run slower.
declare -A maxlen=([fuzz_update_cycle]=131072 [fuzz_worker_writes]=128 [fuzz_bitmap_file]=70000)
# See fuzz/lsan.supp: a false report from the font configuration, not from our code.
export LSAN_OPTIONS="suppressions=$PWD/fuzz/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
status=0
for target in fuzz_update_cycle fuzz_worker_writes fuzz_bitmap_file fuzz_command_line fuzz_settings fuzz_format; do
    corpus="build/fuzz/corpus/$target"
    seeds="fuzz/corpus/$target"
    mkdir -p "$corpus" "$seeds" build/fuzz/artifacts
    echo "== fuzzing $target for ${seconds}s"
    if ! build/fuzz/fuzz/"$target" -max_total_time="$seconds" -max_len="${maxlen[$target]:-4096}" \
            -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
            -artifact_prefix="build/fuzz/artifacts/$target-" "$corpus" "$seeds" \
            >"build/fuzz/$target.log" 2>&1; then
        echo "FINDING in $target:"
        tail -40 "build/fuzz/$target.log"
        status=1
    fi
    grep -E 'stat::number_of_executed_units|DONE' "build/fuzz/$target.log" | tail -2
done
exit $status
