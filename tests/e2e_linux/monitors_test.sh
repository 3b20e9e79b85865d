#!/usr/bin/env bash
# One dashboard per desktop: the real xscreensaver daemon runs one vandrel per monitor on
# an Xorg dummy server with two 800 x 600 monitors side by side, with a fixed record:
#   1. the vandrel on the RandR primary (left) draws the dashboard, equal to the snapshot
#      of the record; the other monitor stays black; saverAttached stays 1 until
#      -deactivate and is 0 afterwards;
#   2. that vandrel ended by SIGTERM, and then by SIGKILL: within 2 s the other one holds
#      the record, then the dashboard is on its monitor, saverAttached never 0 meanwhile;
#   3. the primary on the right-hand monitor: the dashboard goes right.
# Needs root (Xorg, a user of its own for the daemon); exits 77, skipped, without it.
# Usage: monitors_test.sh vandrel vandrel_record_holder vandrel-snapshot OUT_DIR
set -u
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../e2e/lib.sh"
source "$here/lib_linux.sh"
need_root "for Xorg and to make a user and run the daemon as it"
need_programs Xorg xrandr xscreensaver xscreensaver-command runuser setpriv useradd xwininfo \
    xwd convert compare
snapshot="$3"
out="$4"
rm -rf "$out"
mkdir -p "$out"
stage=$(e2e_stage "$1" "$2")
# What the daemon started runs as the test's own user, made for these tests alone.
cleanup() {
    end_started "${sampler:-}"
    as_user xscreensaver-command -exit >/dev/null 2>&1
    end_started "${holder:-}"
    for p in $(pids_of "$E2E_USER" vandrel); do
        kill_started KILL "$p"
    done
    clear_record
    rm -rf "$stage"
    e2e_cleanup
}
e2e_on_exit cleanup
e2e_xorg_dummy 1600 600 "$out" || { echo "skipped: no Xorg dummy server could be started"; exit 77; }
e2e_monitors 800x600 800x600 right
xrandr --output DUMMY0 --primary
e2e_user
start=$SECONDS

# A stand-in worker that only notes that it was started: with a record, none is.
printf '#!/bin/sh\necho started >>"%s/started"\n' "$stage" >"$stage/worker.sh"
chmod 755 "$stage/worker.sh"
chmod 777 "$stage"
write_xscreensaver_settings "$E2E_HOME/.xscreensaver" "$stage/vandrel"
write_settings "$E2E_HOME/.config/vandrel/vandrel.ini" 0 0 "$stage/worker.sh" "$stage/client"
chown -R "$E2E_USER:" "$E2E_HOME/.xscreensaver" "$E2E_HOME/.config"

"$snapshot" --demo --header "$stage/client/header.bmp" --write-record "$stage/record.bin" \
    "$out/reference.png"
chmod a+r "$stage/record.bin"
clear_record
exec_as_user "$stage/vandrel_record_holder" "$stage/record.bin" &
holder=$!
wait_for 5 '[ -e "$SHM" ]'
as_user xscreensaver -no-splash >"$out/xscreensaver.log" 2>&1 &
check "the daemon runs" wait_for 15 'as_user xscreensaver-command -time >/dev/null 2>&1'

# The user's vandrel processes, oldest first.
savers() { pids_of "$E2E_USER" vandrel | sort -n; }
# The vandrel that maps the record, i.e. holds the dashboard.
record_mapper() {
    local p
    for p in $(savers); do
        grep -qE "$SHM( \(deleted\))?\$" "/proc/$p/maps" 2>/dev/null && echo "$p"
    done
}
# The left edge of the window the daemon gave vandrel $1.
window_x() {
    local id
    id=$(tr '\0' '\n' <"/proc/$1/environ" 2>/dev/null | sed -n 's/^XSCREENSAVER_WINDOW=//p')
    xwininfo -id "${id:-0}" 2>/dev/null | awk '/Absolute upper-left X/ {print $NF}'
}
# Pixels differing between the dashboard on the right-hand monitor in a fresh screenshot
# $1 and the reference. The daemon's notice of a display mode that ended, on the left,
# spills onto the right-hand monitor's first 42 columns: the dashboard's first 24 columns
# are left out.
right_diff() {
    shot "$1"
    convert "$1" -crop 728x445+848+77 +repage "${1%.png}_dashboard.png"
    convert "$out/reference.png" -crop 728x445+24+0 +repage "$out/reference_cut.png"
    compare -metric AE "${1%.png}_dashboard.png" "$out/reference_cut.png" "${1%.png}_diff.png" 2>&1
}

# Activates the daemon, waits for a vandrel on each monitor and the attach; samples
# saverAttached from then on into $out/$1.attached. Once the picture has settled (the
# daemon starts the monitors' savers one after the other), sets main to the record's
# mapper.
activate() {
    as_user xscreensaver-command -activate >/dev/null
    wait_for 15 '[ "$(savers | wc -l)" = 2 ]'
    check "$1: the daemon started two vandrel ($(savers | tr '\n' ' '))" [ "$(savers | wc -l)" = 2 ]
    check "$1: vandrel attaches to the record" wait_for 10 '[ "$(rec_int 127140)" = 1 ]'
    (while :; do rec_int 127140; sleep 0.05; done) >"$out/$1.attached" &
    sampler=$!
    sleep 2.5
    main=$(record_mapper)
    check "$1: one vandrel maps the record (${main:-none})" '[ "$(wc -w <<<"$main")" = 1 ]'
    main=${main:-0}
}
deactivate() {
    end_started "$sampler"
    sampler=""
    local bad
    bad=$(grep -cv '^1$' "$out/$1.attached")
    check "$1: saverAttached stayed 1 while the daemon was active ($bad samples not)" \
        [ "$bad" = 0 ]
    as_user xscreensaver-command -deactivate >/dev/null
    check "$1: -deactivate ends every vandrel" wait_for 10 '[ -z "$(savers)" ]'
    [ -n "$(savers)" ] && ps -o pid,ppid,stat,etime,wchan:20,args -p "$(savers | paste -sd,)"
    wait_for 5 '[ "$(rec_int 127140)" = 0 ]'
    check "$1: saverAttached is 0 afterwards (got $(rec_int 127140))" [ "$(rec_int 127140)" = 0 ]
}

echo "# 1. the dashboard on the primary"
activate primary
check "the record's vandrel has the primary's window (x = $(window_x "$main"))" \
    [ "$(window_x "$main")" = 0 ]
settled_shot "$out/primary.png"
diff=$(dashboard_diff "$out/primary.png" "$out/reference.png" 24 77)
check "the primary's dashboard equals the snapshot of the record ($diff pixels differ)" \
    [ "$diff" = 0 ]
check "the second monitor is black ($(count_lit "$out/primary.png" 800 0 800 600) lit)" \
    [ "$(count_lit "$out/primary.png" 800 0 800 600)" = 0 ]
deactivate primary

echo "# 2. the other monitor takes over"
for signal in TERM KILL; do
    activate "$signal"
    other=$(savers | grep -vx "$main")
    kill_started "$signal" "$main"
    # The takeover is timed by the record's mapping, cheap to poll; a screenshot takes
    # up to a second on a loaded sanitizer build.
    check "SIG$signal: within 2 s the other vandrel maps the record" \
        poll_within 2 '[ "$(record_mapper)" = "$other" ]'
    poll_within 10 '[ "$(right_diff "$out/$signal.png")" = 0 ]'
    shown=$?
    check "SIG$signal: the dashboard is on the other monitor ($E2E_MS ms; $(right_diff "$out/$signal.png") pixels differ)" \
        [ $shown = 0 ]
    deactivate "$signal"
done

echo "# 3. the primary on the right"
xrandr --output DUMMY1 --primary
activate right
check "the record's vandrel has the right-hand window (x = $(window_x "$main"))" \
    [ "$(window_x "$main")" = 800 ]
settled_shot "$out/right.png"
diff=$(dashboard_diff "$out/right.png" "$out/reference.png" 824 77)
check "the dashboard is on the right-hand primary ($diff pixels differ)" [ "$diff" = 0 ]
check "the left monitor is black ($(count_lit "$out/right.png" 0 0 800 600) lit)" \
    [ "$(count_lit "$out/right.png" 0 0 800 600)" = 0 ]
deactivate right
check "no worker was started: the record was there all along" [ ! -e "$stage/started" ]

echo "monitors end to end: $E2E_FAILURES failure(s) in $((SECONDS - start)) s; screenshots in $out"
[ "$E2E_FAILURES" = 0 ]
