#!/usr/bin/env bash
# vandrel on a headless weston of its own, which has no layer shell: the saver falls back
# to a fullscreen toplevel. Run as the unprivileged user, showing a fixed record:
#   1. the whole 800x600 output (weston-screenshooter's shot, panel and desktop colour
#      included) equals the snapshot command's rendering of the record at (24, 77) on
#      black, 0 pixels differing: the toplevel covers the output, panel and all; --idle,
#      which finds no idle protocol there (and no X display), exits 1 naming them;
#   2. weston killed: vandrel ends with exit code 1 and saverAttached 0.
# Needs root (useradd, setpriv); exits 77, skipped, without it.
# Usage: weston_test.sh vandrel vandrel_record_holder vandrel-snapshot OUT_DIR
set -u
if [ "$(id -u)" != 0 ]; then
    echo "skipped: needs root to make a user and run weston as it"
    exit 77
fi
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../e2e/lib.sh"
source "$here/../e2e_linux/lib_linux.sh"
source "$here/lib_wayland.sh"
snapshot="$3"
out="$4"
rm -rf "$out"
mkdir -p "$out"
stage=$(e2e_stage "$1" "$2")
e2e_on_exit wl_end_test
wl_serve_record "$snapshot"
start=$SECONDS
wl_weston 800x600 || { echo "error: weston did not start"; cat "$WL_RUNTIME/weston.log"; exit 1; }

echo "# 1. the dashboard in a fullscreen toplevel"
(wl_exec_as_user "$stage/vandrel") >"$out/vandrel.log" 2>&1 &
saver=$!
check "vandrel attaches to the record" wait_for 10 '[ "$(rec_int 127140)" = 1 ]'
wl_shot headless "$out/weston.png"
wl_expected 800 600 "$out/reference.png" 24 77 1 "$out/expected.png"
diff=$(wl_diff "$out/weston.png" "$out/expected.png")
check "the output is the dashboard at 24,77 on black ($diff pixels differ)" [ "$diff" = 0 ]

# Weston offers no idle protocol and there is no X display: nothing to watch.
code=0
(wl_exec_as_user "$stage/vandrel" --idle 0.033) >"$out/idle.log" 2>&1 || code=$?
check "--idle: exit code 1 (got $code), naming the idle protocols weston lacks" \
    '[ $code = 1 ] && grep -q "neither ext_idle_notifier_v1 nor org_kde_kwin_idle" "$out/idle.log"'

echo "# 2. weston killed"
kill_started TERM "$WL_COMPOSITOR_PID"
wait_exit 3 "$saver"
check "vandrel ends with exit code 1 (got $E2E_CODE)" [ "$E2E_CODE" = 1 ]
saver=""
check "saverAttached is 0 afterwards" wait_for 2 '[ "$(rec_int 127140)" = 0 ]'

echo "weston end to end: $E2E_FAILURES failure(s) in $((SECONDS - start)) s; screenshots in $out"
[ "$E2E_FAILURES" = 0 ]
