#!/usr/bin/env bash
# vandrel run by the real xscreensaver daemon on an 800 x 600 Xvfb of its own, as an
# unprivileged user (the daemon launches no display modes as root):
#   1. a fixed record: the daemon starts vandrel with its window in XSCREENSAVER_WINDOW,
#      the dashboard equals the snapshot command's rendering of the same record (0 pixels
#      differing), and -deactivate ends it with saverAttached back to 0;
#   2. no record: vandrel starts the demo worker with -min, outside its process group,
#      and the dashboard appears; the worker killed with SIGKILL leaves vandrel running.
# Needs root (useradd, runuser); exits 77, skipped, without it.
# Usage: xscreensaver_test.sh vandrel vandrel-demo-worker vandrel_record_holder
#                             vandrel-snapshot OUT_DIR
set -u
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../e2e/lib.sh"
source "$here/lib_linux.sh"
need_root "to make a user and run the daemon as it"
need_programs xscreensaver xscreensaver-command runuser setpriv useradd xwininfo xwd convert
snapshot="$4"
out="$5"
rm -rf "$out"
mkdir -p "$out"
stage=$(e2e_stage "$1" "$2" "$3")
# What the daemon started runs as the test's own user, made for these tests alone.
cleanup() {
    as_user xscreensaver-command -exit >/dev/null 2>&1
    end_started "${holder:-}"
    for p in $(pids_of "$E2E_USER" vandrel-demo-worker) $(pids_of "$E2E_USER" vandrel); do
        kill_started KILL "$p"
    done
    clear_record
    rm -rf "$stage"
    e2e_cleanup
}
e2e_on_exit cleanup
e2e_xvfb 800x600 || { echo "skipped: no X server could be started"; exit 77; }
e2e_user
start=$SECONDS
cx=24 cy=77
purple() { [ "$(pixel "$1" $((cx + $2)) $((cy + $3)))" = "153 102 255" ]; }

write_xscreensaver_settings "$E2E_HOME/.xscreensaver" "$stage/vandrel"
write_settings "$E2E_HOME/.config/vandrel/vandrel.ini" 0 0 "$stage/vandrel-demo-worker" \
    "$stage/client"
chown -R "$E2E_USER:" "$E2E_HOME/.xscreensaver" "$E2E_HOME/.config"

clear_record
as_user xscreensaver -no-splash >"$out/xscreensaver.log" 2>&1 &
check "the daemon runs" wait_for 15 'as_user xscreensaver-command -time >/dev/null 2>&1'

# Activates the daemon and waits for vandrel and its attach; sets saver.
# The oldest vandrel that was not there before: for a moment, the children that start the
# worker are called vandrel too, and an earlier test's saver may still be on its way out
# (a sanitizer build ends slowly).
new_saver() {
    local all
    all=$(pgrep -d, -u "$E2E_USER" -x vandrel) || return 0
    ps -o pid= --sort=start_time -p "$all" | tr -d ' ' | grep -vxF -e "${before:-none}" | head -1
}
activate() {
    before=$(pgrep -u "$E2E_USER" -x vandrel)
    as_user xscreensaver-command -activate >/dev/null
    wait_for 15 '[ -n "$(new_saver)" ]'
    saver=$(new_saver)
    check "$1: the daemon started vandrel (pid ${saver:-none})" [ -n "$saver" ]
}
deactivate() {
    as_user xscreensaver-command -deactivate >/dev/null
    check "$1: -deactivate ends vandrel" wait_for 10 'started_pid "$saver" && ! is_running "$saver"'
    wait_for 5 '[ "$(rec_int 127140)" = 0 ]'
    check "$1: saverAttached is 0 afterwards (got $(rec_int 127140))" [ "$(rec_int 127140)" = 0 ]
}

echo "# 1. a fixed record"
"$snapshot" --demo --header "$stage/client/header.bmp" --write-record "$stage/record.bin" \
    "$out/reference.png"
chmod a+r "$stage/record.bin"
exec_as_user "$stage/vandrel_record_holder" "$stage/record.bin" &
holder=$!
wait_for 5 '[ -e "$SHM" ]'
activate "fixed record"
window=$(tr '\0' '\n' <"/proc/$saver/environ" | sed -n 's/^XSCREENSAVER_WINDOW=//p')
echo "   XSCREENSAVER_WINDOW=$window; command: $(tr '\0' ' ' <"/proc/$saver/cmdline")"
check "vandrel has XSCREENSAVER_WINDOW, a window of the screen's size" \
    '[ -n "$window" ] && xwininfo -id "$window" | grep -q "Width: 800"'
check "vandrel attaches to the record" wait_for 10 '[ "$(rec_int 127140)" = 1 ]'
sleep 2
settled_shot "$out/fixed.png"
diff=$(dashboard_diff "$out/fixed.png" "$out/reference.png" $cx $cy)
check "the dashboard equals the snapshot of the same record ($diff pixels differ)" \
    [ "$diff" = 0 ]
deactivate "fixed record"
end_started "$holder"
holder=""
check "the holder removed the record" '[ ! -e "$SHM" ]'

echo "# 2. no record"
activate "no record"
check "vandrel starts the demo worker" \
    wait_for 10 '[ -n "$(pid_of "$E2E_USER" vandrel-demo-worker)" ]'
worker=$(pid_of "$E2E_USER" vandrel-demo-worker)
args=$(tr '\0' ' ' <"/proc/$worker/cmdline" 2>/dev/null)
echo "   worker: $args"
check "the worker was started with -min" '[[ "$args" == *" -min " ]]'
check "the worker runs outside vandrel's process group" \
    'started_pid "$worker" && [ "$(ps -o pgid= -p "$worker")" != "$(ps -o pgid= -p "$saver")" ]'
check "the worker runs in ClientDir" [ "$(readlink "/proc/$worker/cwd")" = "$stage/client" ]
check "vandrel attaches to the worker's record" wait_for 15 '[ "$(rec_int 127140)" = 1 ]'
sleep 3
shot "$out/worker.png"
check "the dashboard's frame is purple" \
    'purple "$out/worker.png" 200 48 && purple "$out/worker.png" 742 224'
convert "$out/worker.png" -crop 500x41+$cx+$cy +repage "$out/header.png"
header=$(compare -metric AE "$out/header.png" "$stage/client/header.bmp" null: 2>&1)
check "the header is header.bmp ($header pixels differ)" [ "$header" = 0 ]
check "the worker dies of SIGKILL" kill_started KILL "$worker"
sleep 2
check "vandrel keeps running after the worker's SIGKILL" is_running "$saver"
shot "$out/killed.png"
check "the dashboard stays" 'purple "$out/killed.png" 200 48'
deactivate "no record"

echo "xscreensaver end to end: $E2E_FAILURES failure(s) in $((SECONDS - start)) s; screenshots in $out"
[ "$E2E_FAILURES" = 0 ]
