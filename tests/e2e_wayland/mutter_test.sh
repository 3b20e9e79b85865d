#!/usr/bin/env bash
# vandrel --idle 0.033 (1980 ms) as the unprivileged user on a headless GNOME Shell of its
# own (the IdleMonitor), with a fixed record: 1. nothing at 1 s in a session idle for 3 s,
# then the first of two 800x600 monitors, over the top bar and overview, is the record's
# rendering at (24, 77) on black, 0 pixels differing, the other black, whatever else is
# inhibited; 2. forged signals ignored; 3. an idle inhibitor holds it off until it goes; 4.
# the shell killed under it and while it waits; 5. a missing bus and IdleMonitor named. Exit
# codes (SIGTERM 0, else 1), saverAttached 0 after each; 77 without root or GNOME Shell.
# 6. (with vandrel-settings) "Start with my session" turned on in the settings window in the
# shell: gnome-session, logged in anew, starts the autostart entry's watcher, which shows the
# dashboard after IdleMinutes=0.05; turned off, the entry goes.
# Usage: mutter_test.sh vandrel vandrel_record_holder vandrel-snapshot OUT_DIR [vandrel-settings]
set -u
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../e2e/lib.sh"
source "$here/../e2e_linux/lib_linux.sh"
source "$here/lib_wayland.sh"
need_root "to make a user and run GNOME Shell as it"
need_programs gnome-shell gnome-session gnome-session-inhibit gnome-screenshot dbus-daemon
out="$4"
rm -rf "$out" && mkdir -p "$out"
stage=$(e2e_stage "$1" "$2" ${5:+"$5"})
e2e_on_exit 'end_started "${inhibitor:-}" 2; end_started "${window:-}" 2; rm -f "${entry:-}"
    cp "$WL_RUNTIME"/*.log "$out/"; wl_end_test'
wl_serve_record "$3"
entry="$E2E_HOME/.config/autostart/vandrel-idle.desktop"
rm -f "$entry" # one left by an earlier run would start a watcher with each session
wl_gnome 800x600 800x600
case $? in
    1) echo "skipped: GNOME Shell does not run here" && cat "$WL_RUNTIME/shell.log" && exit 77 ;;
    2) echo "error: GNOME Shell runs, but opens no overview" && exit 1 ;;
esac
wl_expected 800 600 "$out/reference.png" 24 77 1 "$out/expected.png"

# Starts vandrel --idle as the user, after $1 minutes (0.033); sets saver and t0 (ns).
idle() {
    (wl_exec_as_user "$stage/vandrel" --idle "${1:-0.033}") >>"$out/vandrel.log" 2>&1 &
    saver=$! t0=$(date +%s%N)
}
attached() { [ "$(rec_int 127140)" = 1 ]; }
inhibit() { (wl_exec_as_user gnome-session-inhibit --inhibit "$1" --inhibit-only) &>/dev/null & }

echo "# 1. after the timeout, on the first of two monitors, whatever but idleness is inhibited"
inhibit logout:switch-user:suspend:automount && inhibitor=$!
sleep 3 # a session idle for a while: the wait still counts from the start
idle
sleep 1
check "nothing shows 1 s after start" '! attached'
# A sanitizer build on a loaded machine draws the plot over several commits, and GNOME
# Shell has kept showing the first while the saver's newer buffer held all of it.
seen() { wl_grab 800x600+0+0 "$out/first.png" && [ "$(wl_diff "$out"/{first,expected}.png)" = 0 ]; }
shown() {
    poll_within 30 seen && return
    grep -qE '__(asan|tsan)_init' "$stage/vandrel" || return 1
    echo "GNOME Shell shows an older frame of a sanitizer build: the plot drawn anew"
    for at in 3924 $(seq 4536 604 126544); do
        printf '\1' | dd of="$SHM" bs=1 seek="$at" conv=notrunc status=none
    done
    poll_within 30 seen
}
check "the first monitor is the dashboard at 24,77 on black" shown
echo "first dashboard picture $((($(date +%s%N) - t0) / 1000000 - 1980)) ms after the timeout"
wl_grab 800x600+800+0 "$out/second.png"
check "the second monitor is black" '[ "$(lit_pixels "$out/second.png")" = 0 ]'
kill_started TERM "$saver"
ended 0 "SIGTERM"

echo "# 2. to the watcher from another connection: InhibitorRemoved, WatchFired (ids 1-40)"
idle 0.2 # 12 s
forge() { wl_as_user gdbus emit -e -d "$dest" -o "/org/gnome/$1" -s "org.gnome.$2" "$3"; }
wait_for 5 'dest=$(wl_as_user busctl --user list --unique | awk "\$2 == $saver {print \$1}") &&
    [ -n "$dest" ]' && sleep 1 # armed
forge SessionManager SessionManager.InhibitorRemoved "@o '/'"
for id in $(seq 40); do forge Mutter/IdleMonitor/Core Mutter.IdleMonitor.WatchFired "@u $id"; done
check "forged, they show nothing ($dest, $((($(date +%s%N) - t0) / 1000000)) ms)" \
    '! wait_for 1 attached'
check "shown at the timeout all the same" wait_for 12 attached
kill_started TERM "$saver"
ended 0 "forged signals"

echo "# 3. an idle inhibitor"
end_started "$inhibitor" 2
inhibit idle && inhibitor=$!
idle
sleep 5
check "held off by the inhibitor for 5 s" '! attached && is_running "$saver"'
end_started "$inhibitor" 2
check "shown within 5 s once the inhibitor goes" wait_for 5 attached

echo "# 4. the shell killed under the saver, and (a new one) while --idle waits"
kill_started KILL "$WL_COMPOSITOR_PID"
ended 1 "under the saver"
wl_cleanup
wl_gnome 800x600 || { echo "error: GNOME Shell did not start again"; exit 1; }
idle
sleep 1
kill_started KILL "$WL_COMPOSITOR_PID"
ended 1 "while waiting"

echo "# 5. what is missing: vandrel --idle on bus \$1 ends with 1, naming the lack \$2"
lacks() {
    message=$(wl_as_user env -u WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS="$1" \
        "$stage/vandrel" --idle 2>&1)
    local code=$? want="$2"
    check "exit code 1 (got $code): $message" '[ "$code" = 1 ] && grep -qF "$want" <<<"$message"'
}
lacks "unix:path=$WL_RUNTIME/none" "no session bus (DBUS_SESSION_BUS_ADDRESS) to ask GNOME's"
lacks "$DBUS_SESSION_BUS_ADDRESS" "the session bus has no org.gnome.Mutter.IdleMonitor"

if [ -n "${5:-}" ]; then
    echo "# 6. Start with my session, on in the settings window: the session starts the watcher"
    echo IdleMinutes=0.05 >>"$E2E_HOME/.config/vandrel/vandrel.ini"
    login() { wl_cleanup && wl_gnome 800x600 || { echo "error: no GNOME Shell again"; exit 1; }; }
    # Opens the settings window in the shell, flips Start with my session, closes it.
    lit() { wl_grab 800x600+0+0 "$out/window.png" && convert "$out/window.png" -format \
        '%[fx:mean>0.35]' info: | grep -q 1; }
    flip() {
        wl_as_user gdbus call --session -d org.gnome.Shell -o /org/gnome/Shell -m \
            org.freedesktop.DBus.Properties.Set org.gnome.Shell OverviewActive '<false>' >/dev/null
        (wl_exec_as_user "$stage/vandrel-settings") >>"$out/window.log" 2>&1 &
        window=$!
        check "the settings window shows" poll_within 20 lit
        wl_keys 56+20 1 # Alt+T, Escape
        wait_exit 5 "$window"
    }
    login # the shell of 4. is gone
    flip
    check "on, it writes an autostart entry that GNOME starts" 'desktop-file-validate "$entry" &&
        ! grep -Eq "^(Hidden=true|X-GNOME-Autostart-enabled=false|NotShowIn=.*GNOME;)" "$entry" &&
        ! grep "^OnlyShowIn=" "$entry" | grep -qv "GNOME;"'
    login
    wait_for 10 'saver=$(pid_of "$E2E_USER" vandrel)'
    check "gnome-session starts the watcher, vandrel --idle" \
        '[ "$(tr "\0" " " 2>/dev/null </proc/"${saver:-0}"/cmdline)" = "$stage/vandrel --idle " ]'
    check "which shows the dashboard after IdleMinutes" shown
    end_started "$saver" 2
    flip
    check "turned off, the entry goes" '[ ! -e "$entry" ]'
fi

echo "mutter end to end: $E2E_FAILURES failure(s); screenshots in $out"
[ "$E2E_FAILURES" = 0 ]
