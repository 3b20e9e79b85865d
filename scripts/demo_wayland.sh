#!/usr/bin/env bash
# Shows the Linux saver vandrel on a headless sway of its own with the native demo worker,
# the way an idle daemon starts it, and writes a screenshot to demo-wayland.png:
#   1. sway starts as an ordinary user (as root: the user vandrel-e2e, made if missing,
#      since sway refuses to run as root; making the user needs root, otherwise it runs
#      as you), with a home of its own whose vandrel.ini names the worker;
#   2. `vandrel` (WAYLAND_DISPLAY set, as swayidle runs it) finds no /vandrel_share-UID,
#      starts the demo worker with -min and covers the output with the dashboard;
#   3. after SECONDS the output's screenshot (grim), then a key ends the saver.
# Started by scripts/demo.sh --wayland, which reads the options.
# Usage: scripts/demo_wayland.sh SECONDS WxH OUT_FILE
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="$1"
size="$2"
out="$3"

source scripts/linux_demo_start.sh
source tests/e2e_wayland/lib_wayland.sh
if [ "$(id -u)" != 0 ]; then
    # Already the user: no setpriv, which needs root.
    exec_as_user() { exec env -i HOME="$E2E_HOME" USER="$E2E_USER" PATH=/usr/bin:/bin "$@"; }
fi
# The saver's home: the user's own settings stay untouched.
E2E_HOME="$stage/home"
DISPLAY=""
cleanup() {
    end_started "${saver:-}" 2
    end_demo_worker
    wl_cleanup
    rm -rf "$stage"
}
e2e_on_exit cleanup
write_settings "$E2E_HOME/.config/vandrel/vandrel.ini" 0 5 "$stage/vandrel-demo-worker" \
    "$stage/client"
chown -R "$E2E_USER:" "$E2E_HOME"
echo "   vandrel.ini: ClientPath=$stage/vandrel-demo-worker ClientDir=$stage/client"
if [ -e "$SHM" ] && [ "$(id -u)" = 0 ]; then
    echo "   removing a record left by an earlier run"
    clear_record
fi

echo "== 1. a headless sway of ${size} as $E2E_USER"
wl_sway "$size" || { echo "error: sway did not start" >&2; cat "$WL_RUNTIME/sway.log" >&2; exit 1; }
echo "   WAYLAND_DISPLAY=$WAYLAND_DISPLAY in $XDG_RUNTIME_DIR"

echo "== 2. vandrel: it starts the demo worker, then shows it"
(wl_exec_as_user "$stage/vandrel") >"$stage/vandrel.log" 2>&1 &
saver=$!
wait_for 15 '[ -n "$(pid_of "$E2E_USER" vandrel-demo-worker)" ]' ||
    { echo "error: the demo worker did not start" >&2; cat "$stage/vandrel.log" >&2; exit 1; }
echo "   worker: $(tr '\0' ' ' <"/proc/$(pid_of "$E2E_USER" vandrel-demo-worker)/cmdline")"
wait_for 15 '[ "$(rec_int 127140)" = 1 ]' ||
    { echo "error: vandrel did not attach to the record" >&2; exit 1; }
echo "   vandrel attached: plotWidth=$(rec_int 3900) plotHeight=$(rec_int 3904)"
sleep "$seconds"
grim -o HEADLESS-1 "$out"
echo "   wrote $out ($(identify -format '%wx%h' "$out"))"

echo "== 3. a key ends it"
# The seat gets its keyboard as wtype starts: the key waits until the saver has bound it.
wtype -s 500 q
wait_exit 5 "$saver" || true
saver=""
echo "== done: vandrel ended with exit code $E2E_CODE (saverAttached=$(rec_int 127140)); see $out"
