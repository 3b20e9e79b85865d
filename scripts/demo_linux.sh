#!/usr/bin/env bash
# Shows the Linux saver vandrel run by xscreensaver with the native demo worker, on an
# Xvfb of its own, and writes a screenshot to demo-linux.png:
#   1. the daemon starts as an ordinary user (as root: the user vandrel-e2e, made if
#      missing; the daemon launches no display modes as root), with a home of its own
#      whose ~/.xscreensaver runs "vandrel --root" and whose vandrel.ini names the worker;
#   2. xscreensaver-command -activate: vandrel finds no /vandrel_share-UID, starts the demo
#      worker with -min and shows the dashboard once the record is there.
# Started by scripts/demo.sh --linux, which reads the options.
# Usage: scripts/demo_linux.sh SECONDS WxH OUT_FILE
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="$1"
size="$2"
out="$3"

source scripts/linux_demo_start.sh
# The daemon's home: the user's own ~/.xscreensaver stays untouched.
E2E_HOME="$stage/home"
mkdir -p "$E2E_HOME"
if [ "$(id -u)" = 0 ]; then
    as_user() {
        runuser -u "$E2E_USER" -- env -i HOME="$E2E_HOME" USER="$E2E_USER" \
            DISPLAY="$DISPLAY" PATH=/usr/bin:/bin "$@"
    }
else
    as_user() { env -i HOME="$E2E_HOME" USER="$E2E_USER" DISPLAY="$DISPLAY" PATH=/usr/bin:/bin "$@"; }
fi
# Each step may fail without skipping the rest (set -e).
cleanup() {
    as_user xscreensaver-command -exit >/dev/null 2>&1 || true
    end_demo_worker
    rm -rf "$stage"
    e2e_cleanup
}
e2e_on_exit cleanup
e2e_xvfb "$size"
echo "== Xvfb of ${size} on $DISPLAY; the daemon runs as $E2E_USER with the home $E2E_HOME"

write_xscreensaver_settings "$E2E_HOME/.xscreensaver" "$stage/vandrel"
write_settings "$E2E_HOME/.config/vandrel/vandrel.ini" 0 5 "$stage/vandrel-demo-worker" \
    "$stage/client"
echo "   vandrel.ini: ClientPath=$stage/vandrel-demo-worker ClientDir=$stage/client"
chown -R "$E2E_USER:" "$E2E_HOME"
if [ -e "$SHM" ] && [ "$(id -u)" = 0 ]; then
    echo "   removing a record left by an earlier run"
    clear_record
fi

echo "== 1. xscreensaver starts"
as_user xscreensaver -no-splash >"$stage/xscreensaver.log" 2>&1 &
wait_for 15 'as_user xscreensaver-command -time >/dev/null 2>&1' ||
    { echo "error: xscreensaver did not start" >&2; cat "$stage/xscreensaver.log" >&2; exit 1; }

echo "== 2. xscreensaver-command -activate: vandrel starts the demo worker, then shows it"
as_user xscreensaver-command -activate >/dev/null
wait_for 15 '[ -n "$(pid_of "$E2E_USER" vandrel-demo-worker)" ]' ||
    { echo "error: the demo worker did not start" >&2; exit 1; }
echo "   worker: $(tr '\0' ' ' <"/proc/$(pid_of "$E2E_USER" vandrel-demo-worker)/cmdline")"
wait_for 15 '[ "$(rec_int 127140)" = 1 ]' ||
    { echo "error: vandrel did not attach to the record" >&2; exit 1; }
echo "   vandrel attached: plotWidth=$(rec_int 3900) plotHeight=$(rec_int 3904)"
sleep "$seconds"
shot "$out"
echo "   wrote $out ($(identify -format '%wx%h' "$out"))"

as_user xscreensaver-command -deactivate >/dev/null
wait_for 10 '[ -z "$(pid_of "$E2E_USER" vandrel)" ]' || true
echo "== done: -deactivate ended vandrel (saverAttached=$(rec_int 127140)); see $out"
