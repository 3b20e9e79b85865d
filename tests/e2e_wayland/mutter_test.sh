#!/usr/bin/env bash
# vandrel --idle on a headless GNOME Shell (mutter and its shell) of its own, with two
# 800x600 virtual monitors, run as the unprivileged user, showing a fixed record; 0.033
# minutes (1980 ms) without input, told by org.gnome.Mutter.IdleMonitor:
#   1. in a session idle for 3 s, nothing at 1 s; then the first monitor (a fullscreen
#      toplevel above the top bar and the overview, open since the start) is the snapshot
#      command's rendering of the record at (24, 77) on black, 0 pixels differing, and the
#      second is black; SIGTERM ends it with 0 and saverAttached 0;
#   2. an idle inhibitor taken through org.gnome.SessionManager keeps it away; it appears
#      once the inhibitor goes;
#   3. the shell killed under the saver, and (a new shell) while --idle waits: exit code
#      1, saverAttached 0;
#   4. no session bus, and a bus without an IdleMonitor: a message naming it, exit code 1.
# Needs root (useradd, setpriv); exits 77, skipped, without it or without GNOME Shell.
# Usage: mutter_test.sh vandrel vandrel_record_holder vandrel-snapshot OUT_DIR
set -u
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../e2e/lib.sh"
source "$here/../e2e_linux/lib_linux.sh"
source "$here/lib_wayland.sh"
need_root "to make a user and run GNOME Shell as it"
need_programs gnome-shell gnome-session gnome-session-inhibit gnome-screenshot dbus-daemon
snapshot="$3"
out="$4"
rm -rf "$out"
mkdir -p "$out"
stage=$(e2e_stage "$1" "$2")
e2e_on_exit 'end_started "${inhibitor:-}" 2; cp "$WL_RUNTIME"/*.log "$out/"; wl_end_test'
wl_serve_record "$snapshot"
start=$SECONDS
wl_gnome 800x600 800x600 || { echo "skipped: GNOME Shell did not start"; exit 77; }
wl_expected 800 600 "$out/reference.png" 24 77 1 "$out/expected.png"

# Starts vandrel --idle as the user; sets saver and t0 (ns).
idle() {
    (wl_exec_as_user "$stage/vandrel" --idle 0.033) >>"$out/vandrel.log" 2>&1 &
    saver=$!
    t0=$(date +%s%N)
}
# Checks that vandrel ended within 3 s with exit code $1 and left the record.
ended() {
    wait_exit 3 "$saver"
    check "$2: vandrel ends with exit code $1 (got $E2E_CODE)" [ "$E2E_CODE" = "$1" ]
    check "$2: saverAttached is 0 afterwards" wait_for 2 '[ "$(rec_int 127140)" = 0 ]'
    end_started "$saver" 1
    saver=""
}
attached() { [ "$(rec_int 127140)" = 1 ]; }

echo "# 1. after the timeout, on the first of two monitors"
sleep 3  # a session idle for a while: the wait still counts from the start
idle
sleep 1
check "nothing shows 1 s after start" '! attached'
poll_within 15 'wl_grab 800x600+0+0 "$out/first.png" &&
    [ "$(wl_diff "$out/first.png" "$out/expected.png")" = 0 ]'
echo "first dashboard picture $((($(date +%s%N) - t0) / 1000000 - 1980)) ms after the timeout"
wl_shot 800x600+0+0 "$out/first.png"
diff=$(wl_diff "$out/first.png" "$out/expected.png")
check "the first monitor is the dashboard at 24,77 on black ($diff pixels differ)" [ "$diff" = 0 ]
wl_grab 800x600+800+0 "$out/second.png"
check "the second monitor is black ($(lit_pixels "$out/second.png") pixels lit)" \
    '[ "$(lit_pixels "$out/second.png")" = 0 ]'
kill_started TERM "$saver"
ended 0 "SIGTERM"

echo "# 2. an idle inhibitor"
(wl_exec_as_user gnome-session-inhibit --inhibit idle --inhibit-only) >/dev/null 2>&1 &
inhibitor=$!
idle
sleep 5
check "held off by the inhibitor for 5 s" '! attached && is_running "$saver"'
end_started "$inhibitor" 2
check "shown within 5 s once the inhibitor goes" wait_for 5 attached

echo "# 3. the shell killed under the saver, and while --idle waits"
kill_started KILL "$WL_COMPOSITOR_PID"
ended 1 "under the saver"
wl_cleanup
wl_gnome 800x600 || { echo "error: GNOME Shell did not start again"; exit 1; }
idle
sleep 1
kill_started KILL "$WL_COMPOSITOR_PID"
ended 1 "while waiting"

echo "# 4. what is missing"
# Checks that vandrel --idle on the session bus $1 ends with 1, naming what it lacks ($2).
lacks() {
    message=$(wl_as_user env -u WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS="$1" \
        "$stage/vandrel" --idle 2>&1)
    local code=$? want="$2"
    check "exit code 1 (got $code), naming the lack: $message" \
        '[ "$code" = 1 ] && grep -qF "$want" <<<"$message"'
}
lacks "unix:path=$WL_RUNTIME/none" "no session bus (DBUS_SESSION_BUS_ADDRESS) to ask GNOME's"
lacks "$DBUS_SESSION_BUS_ADDRESS" "the session bus has no org.gnome.Mutter.IdleMonitor"

echo "mutter end to end: $E2E_FAILURES failure(s) in $((SECONDS - start)) s; screenshots in $out"
[ "$E2E_FAILURES" = 0 ]
