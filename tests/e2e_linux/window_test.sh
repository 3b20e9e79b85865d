#!/usr/bin/env bash
# vandrel's own modes on a 1024 x 768 Xvfb of its own, with a fixed record:
#   1. --window: a window of its own that a key press, and then a click, end with exit
#      code 0 and saverAttached back to 0;
#   2. --window-id: drawing into another program's window, the dashboard centred in it
#      and equal to the snapshot of the same record; a key press does not end it,
#      SIGTERM does, with exit code 0 and saverAttached back to 0;
#   3. a window narrower than 640 shows the two-line label, cyan, and nothing else, and
#      never attaches: saverAttached stays 0 the whole time while vandrel keeps running;
#      with Blank=1 and Minutes=0 the screen is black but for the attention banner at
#      y = 10;
#   4. the command line: --help exits 0, an unknown option prints the usage and exits 2;
#   5. --idle without a daemon, on the server's idle time: kept away by XResetScreenSaver,
#      then shown over the whole screen equal to the snapshot; 3 px keep it, 5 px in one or
#      five steps end it, a key too, also under i3lock, which covers it; an X error about
#      another's window leaves it; one watcher per display; SIGTERM ends it with 0; without
#      any idle source, and when the X server goes, it ends with 1.
# Usage: window_test.sh vandrel vandrel_record_holder vandrel-snapshot x_error_preload.so OUT_DIR
set -u
vandrel="$1"
holder_exe="$2"
snapshot="$3"
preload="$4"
out="$5"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../e2e/lib.sh"
source "$here/lib_linux.sh"
rm -rf "$out"
mkdir -p "$out/home"
cleanup() {
    end_started "${saver:-}" 2
    end_started "${holder:-}"
    end_started "${other:-}"
    clear_record
    e2e_cleanup
}
e2e_on_exit cleanup
need_programs xdotool xwininfo xwd convert compare python3 i3lock
e2e_xvfb 1024x768 || { echo "skipped: no X server could be started"; exit 77; }
start=$SECONDS
# Settings of a home of the test's own; the worker is never needed here.
export HOME="$out/home"
unset XDG_CONFIG_HOME XSCREENSAVER_WINDOW
write_settings "$HOME/.config/vandrel/vandrel.ini" 0 0 /nonexistent "$out"
cp "$here/../../resources/header.bmp" "$out/"

"$snapshot" --demo --header "$out/header.bmp" --write-record "$out/record.bin" \
    "$out/reference.png"
clear_record
"$holder_exe" "$out/record.bin" &
holder=$!
wait_for 5 '[ -e "$SHM" ]'

start_saver() {
    "$vandrel" "$@" >"$out/vandrel.log" 2>&1 &
    saver=$!
    wait_for 10 '[ "$(rec_int 127140)" = 1 ]'
    # The holder flags the record again half a second after an attach.
    sleep 2
}
ends() {
    wait_exit 10 "$saver"
    check "$1 ends vandrel with exit code 0 (got $E2E_CODE)" [ "$E2E_CODE" = 0 ]
    check "$1: saverAttached is 0 afterwards" [ "$(rec_int 127140)" = 0 ]
    saver=""
}

echo "# 1. --window"
xdotool mousemove 512 384
for input in "key a" "click 1"; do
    start_saver --window
    check "--window: vandrel attached" [ "$(rec_int 127140)" = 1 ]
    shot "$out/window_${input% *}.png"
    read -r w h x y <<<"$(lit_box "$out/window_${input% *}.png")"
    check "--window: the dashboard shows (${w}x${h} lit)" '[ "${w:-0}" -ge 700 ]'
    # Keys go to the focused window; the pointer rests in the middle of the screen.
    win=$(xdotool getmouselocation --shell | sed -n 's/^WINDOW=//p')
    xdotool windowfocus "$win" 2>/dev/null
    xdotool $input
    ends "--window: $input"
done

echo "# 2. --window-id"
# A 900 x 500 window: from 800 wide on, the dashboard is drawn.
make_window 900 500 "$out/other_window"
other=$!
wait_for 10 '[ -s "$out/other_window" ]'
id=$(cat "$out/other_window")
wait_for 5 'xwininfo -id "$id" 2>/dev/null | grep -q IsViewable'
read -r ox oy <<<"$(xwininfo -id "$id" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {print x, $NF}')"
start_saver --window-id "$id"
settled_shot "$out/window_id.png"
diff=$(dashboard_diff "$out/window_id.png" "$out/reference.png" $((ox + 74)) $((oy + 27)))
check "--window-id: the dashboard, centred in the window, equals the snapshot ($diff differ)" \
    [ "$diff" = 0 ]
xdotool mousemove $((ox + 100)) $((oy + 100)) key a
sleep 1
check "--window-id: a key press does not end vandrel" is_running "$saver"
kill_started TERM "$saver"
ends "--window-id: SIGTERM"

echo "# 3. a narrow window and the blank screen"
end_started "$other"
make_window 400 300 "$out/narrow_window"
other=$!
wait_for 10 '[ -s "$out/narrow_window" ]'
id=$(cat "$out/narrow_window")
wait_for 5 'xwininfo -id "$id" 2>/dev/null | grep -q IsViewable'
check "before the label: saverAttached is 0" [ "$(rec_int 127140)" = 0 ]
# Label mode leaves the record alone: no attach may show in 4 s of watching (an attach
# holds the mark until the saver ends), nor may vandrel end.
"$vandrel" --window-id "$id" >"$out/vandrel.log" 2>&1 &
saver=$!
marks=""
for _ in $(seq 40); do
    marks="$marks$(rec_int 127140)"
    sleep 0.1
done
attached=${marks//0/}
check "below 640 wide: saverAttached stays 0 throughout (${#attached} of ${#marks} reads not 0)" \
    '[ "${#marks}" = 40 ] && [ -z "$attached" ]'
check "below 640 wide: vandrel keeps running" is_running "$saver"
shot "$out/label.png"
convert "$out/label.png" -crop 400x300+0+0 +repage "$out/label_window.png"
# "Vandrel" at (34, 37) and "ScreenSaver" at (32, 57), cyan in the server's fixed font,
# and nothing else: pixel for pixel the window of tests/reference/x11 (after a deliberate
# change, copy label_window.png from the output there).
diff=$(compare -metric AE "$out/label_window.png" "$here/../reference/x11/label_400x300.png" \
    "$out/label_diff.png" 2>&1)
check "below 640 wide: the two-line label, and nothing else ($diff pixels differ)" [ "$diff" = 0 ]
kill_started TERM "$saver"
ends "labels: SIGTERM"
end_started "$other"
other=""

# Blank at once, with a worker asking for attention: black but for the banner strip.
write_settings "$HOME/.config/vandrel/vandrel.ini" 1 0 /nonexistent "$out"
end_started "$holder"
"$snapshot" --demo --message --write-record "$out/message.bin" "$out/message.png"
clear_record
"$holder_exe" "$out/message.bin" &
holder=$!
wait_for 5 '[ -e "$SHM" ]'
start_saver --root
shot "$out/banner.png"
read -r w h x y <<<"$(lit_box "$out/banner.png")"
check "blank screen: only the banner shows, in the strip from y = 10 to 39 (${w}x${h} at ($x, $y))" \
    '[ "${h:-0}" -gt 5 ] && [ "$y" -ge 10 ] && [ $((y + h)) -le 40 ]'
kill_started TERM "$saver"
ends "blank: SIGTERM"

echo "# 4. the command line"
"$vandrel" --help >"$out/help.txt" 2>&1
code=$?
check "--help exits 0 with the usage (got $code)" \
    '[ $code = 0 ] && grep -q -- --window-id "$out/help.txt"'
"$vandrel" --bogus >"$out/bogus.txt" 2>&1
code=$?
check "an unknown option exits 2 with the usage (got $code)" \
    '[ $code = 2 ] && grep -q -- --window-id "$out/bogus.txt"'
"$vandrel" -window-id >/dev/null 2>&1
code=$?
check "-window-id without a window id exits 2 (got $code)" [ $code = 2 ]

echo "# 5. --idle"
write_settings "$HOME/.config/vandrel/vandrel.ini" 0 0 /nonexistent "$out"
end_started "$holder"
clear_record
"$holder_exe" "$out/record.bin" &
holder=$!
wait_for 5 '[ -e "$SHM" ]'
attached() { [ "$(rec_int 127140)" = "$1" ]; }
"$vandrel" --idle 0.033 >"$out/idle.log" 2>&1 &
saver=$!
# A video player resets the server's screen saver: 4 s of that keep the saver away.
marks=""
for _ in $(seq 8); do
    xset s reset
    marks="$marks$(rec_int 127140)"
    sleep 0.5
done
check "--idle: XResetScreenSaver keeps it away ($marks), then 2 s later it shows" \
    '[ -z "${marks//0/}" ] && poll_within 10 "attached 1" && [ $E2E_MS -ge 1000 ]'
check "--idle: it names its idle source" grep -q MIT-SCREEN-SAVER "$out/idle.log"
settled_shot "$out/idle.png"
diff=$(dashboard_diff "$out/idle.png" "$out/reference.png" 136 161)
read -r w h x y <<<"$(lit_box "$out/idle.png")"
check "--idle: over the screen, the dashboard alone, centred ($diff px differ; lit ${w}x${h} at $x,$y)" \
    '[ "$diff" = 0 ] && [ "$x" -ge 136 ] && [ "$y" -ge 161 ] && [ $((x + w)) -le 888 ] && [ $((y + h)) -le 606 ]'
timeout 10 "$vandrel" --idle 0.033 >"$out/idle2.log" 2>&1
code=$?
check "--idle: a second watcher of the display exits 0 at once (got $code)" \
    '[ $code = 0 ] && grep -q "already runs" "$out/idle2.log"'
# Travel counts from where the pointer rested: 3 px there and back and 4 steps of 1 px keep it.
moves() { for step in "$@"; do xdotool mousemove_relative -- "$step" 0 && sleep 0.3; done; }
wait_for 10 "attached 1"
moves 3 -3 1 1 1 1
kept=$(rec_int 127140)
for input in "moves 1" "moves 5" "xdotool key a"; do
    wait_for 10 "attached 1"
    $input
    check "--idle: $input ends the saver, not the watcher" \
        'wait_for 5 "attached 0" && is_running "$saver"'
done
check "--idle: 3 px there and back, then four steps of 1 px, keep it ($kept)" [ "$kept" = 1 ]
check "--idle: shown again after the next wait" wait_for 10 "attached 1"
# A window mapped later (gray) stays above the cover; so does a locker started over the
# saver (white), which takes its grabs and runs on; a key still ends the saver under it.
make_window 200 100 "$out/late_window"
other=$!
sleep 2
shot "$out/late.png"
end_started "$other"
i3lock -n -c ffffff >"$out/i3lock.log" 2>&1 &
other=$!
sleep 2
shot "$out/locker.png"
xdotool key a
check "--idle: a later window ($(pixel "$out/late.png" 100 50)) and i3lock ($(pixel "$out/locker.png" 512 384)) stay on top, i3lock runs; a key ends the saver" \
    'wait_for 5 "attached 0" && is_running "$other" && [ "$(pixel "$out/late.png" 100 50)" = "128 128 128" ] && [ "$(pixel "$out/locker.png" 512 384)" = "255 255 255" ]'
end_started "$other"
wait_for 10 "attached 1"
kill_started TERM "$saver"
ends "--idle: SIGTERM while shown"
# An X error about another's window that has gone, from a library preloaded into vandrel
# (gdb's calls into it crash here), leaves the show; one about the first show's own
# window ends that show, and not the next.
for window in 0x1fe00001 own; do
    VANDREL_X_ERROR=$window LD_PRELOAD="$preload" "$vandrel" --idle 0.033 >"$out/x_error.log" 2>&1 &
    saver=$!
    check "--idle: after an X error about window $window, a show stays" \
        'poll_within 15 "attached 1 && sleep 1 && attached 1"'
    kill_started TERM "$saver"
    ends "--idle: X error about $window: SIGTERM"
done
env -u DISPLAY -u WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent \
    "$vandrel" --idle >"$out/no_source.log" 2>&1
code=$?
check "--idle without any idle source exits 1 with a message (got $code)" \
    '[ $code = 1 ] && grep -q "no idle source" "$out/no_source.log"'
"$vandrel" --idle 5 >"$out/lost.log" 2>&1 &
saver=$!
sleep 1
end_started "$E2E_XVFB_PID"
wait_exit 10 "$saver"
check "--idle: a lost X server ends it with exit code 1 (got $E2E_CODE)" [ "$E2E_CODE" = 1 ]
saver=""

echo "vandrel window modes: $E2E_FAILURES failure(s) in $((SECONDS - start)) s; screenshots in $out"
[ "$E2E_FAILURES" = 0 ]
