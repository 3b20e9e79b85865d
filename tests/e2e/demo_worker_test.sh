#!/usr/bin/env bash
# The demo worker on its own under Wine: it creates the record and publishes through the
# flags, waits for them to be served before it rewrites, refuses a second instance,
# ends on WM_CLOSE and by itself after --seconds, and rewrites at full speed with --stress.
# Usage: demo_worker_test.sh vandrel-demo-worker.exe vandrel_share_probe.exe
set -u
worker="$1"
probe_exe="$2"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/lib.sh"
e2e_on_exit e2e_cleanup
e2e_prefix "${VANDREL_E2E_PREFIX:?}"
# The worker's window (WM_CLOSE) needs a display.
e2e_xvfb 640x480 || { echo "skipped: no X server could be started"; exit 77; }
start=$SECONDS


"$WINE" "$worker" --seconds 4 >/dev/null 2>&1 &
worker_pid=$!
first=$(probe wait userInfoDirty 1 10)
check "the record appears with user info flagged" [ $? = 0 ]
check "the user's name is published" [ "$(field userName "$first")" = "Demo Observer" ]
check "every part is flagged" [ "$(field dataInfoDirty "$first")$(field progressDirty "$first")$(field gaussianDirty "$first")$(field plotAxesDirty "$first")" = 1111 ]
check "the plot has 203 rows" [ "$(field plotRowCount "$first")" = 203 ]
check "rows are flagged as they come" [ "$(field rowsFlagged "$first")" -ge 1 ]

t0=$SECONDS
"$WINE" "$worker" --seconds 30 >/dev/null 2>&1
code=$?
check "a second instance exits at once with code 2 (got $code)" [ "$code" = 2 ] && [ $((SECONDS - t0)) -le 3 ]

# Unserved flags hold the data still; served ones bring new values.
sleep 0.5
held=$(probe serve)
sleep 1
moved=$(probe)
check "progress waits while its flag is set" [ "$(field progressFraction "$first")" = "$(field progressFraction "$held")" ]
check "served progress comes back flagged and further on" \
    awk -v a="$(field progressFraction "$held")" -v b="$(field progressFraction "$moved")" \
    -v f="$(field progressDirty "$moved")" 'BEGIN { exit !(f == 1 && b > a) }'
check "more rows are filled after serving" \
    [ "$(field rowsFilled "$moved")" -gt "$(field rowsFilled "$held")" ]
check "user info is not rewritten without a reason" [ "$(field userInfoDirty "$moved")" = 0 ]

wait_exit 10 "$worker_pid"
check "--seconds 4 ends by itself with code 0 (got $E2E_CODE)" [ "$E2E_CODE" = 0 ]
probe >/dev/null
check "the record is gone with the worker" [ $? = 3 ]

"$WINE" "$worker" -min >/dev/null 2>&1 &
worker_pid=$!
probe wait userInfoDirty 1 10 >/dev/null
probe close-worker
check "the worker's window takes WM_CLOSE" [ $? = 0 ]
wait_exit 10 "$worker_pid"
check "WM_CLOSE ends the worker with code 0 (got $E2E_CODE)" [ "$E2E_CODE" = 0 ]

# Full speed: flags come back at once after being served, without the 100 ms pace.
"$WINE" "$worker" --stress --seconds 3 >/dev/null 2>&1 &
worker_pid=$!
probe wait userInfoDirty 1 10 >/dev/null
stress=$(probe serve; probe)
check "--stress sets user info again right after it was served" \
    [ "$(sed -n 's/^userInfoDirty=//p' <<<"$stress" | tail -1)" = 1 ]
wait_exit 10 "$worker_pid"
check "--stress ends by itself with code 0 (got $E2E_CODE)" [ "$E2E_CODE" = 0 ]

echo "demo worker: $E2E_FAILURES failure(s) in $((SECONDS - start)) s"
[ "$E2E_FAILURES" = 0 ]
