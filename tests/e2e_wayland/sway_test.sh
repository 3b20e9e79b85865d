#!/usr/bin/env bash
# vandrel on a headless sway of its own, run as the unprivileged user (sway refuses root),
# showing a fixed record. Every picture check compares a whole output, in its own pixels,
# with the snapshot command's rendering of the record centred on black (0 pixels may
# differ), so a stray desktop pixel (#3366cc) or a blurred dashboard fails it too.
#   1. started as an idle daemon starts it (plain `vandrel`, WAYLAND_DISPLAY set): one
#      800x600 output shows the dashboard at (24, 77); an output plugged in while it runs
#      is black within 1 s, and stays black as 1024x768 at scale 2; the first output grown
#      to 1600x1200 shows it at 2x; the second output disabled does no harm; 3 pixels of
#      pointer travel keep it running, 5 end it (exit code 0, saverAttached 0);
#   2. --output HEADLESS-2: the dashboard on the 1024x768 output at scale 2, at factor 1 in
#      the output's own pixels, the other output black; a key ends it (exit code 0);
#   3. with the second output moved left of the first, plain `vandrel` shows the dashboard
#      there, the top-left output; a click ends it;
#   4. --idle 0.033 (2 s), told by org_kde_kwin_idle: the dashboard there 2 s after the
#      start, ended by 5 pixels of travel, there again 2 s after that; not there while a
#      window holds an idle inhibitor, there 2 s after it ends; SIGTERM ends both (0);
#      outputs plugged in while it shows and while it waits are black when it shows;
#   5. sway killed: vandrel ends with exit code 1 and saverAttached 0;
#   6. started while sway has no output, then two 3840x2160 outputs plugged in, at scale 1,
#      2 and 1.5: the dashboard (not the narrow label) at 3x on the first, the
#      second black, and vandrel's resident memory printed (a figure, not a check); then,
#      blanked after a minute with a worker asking for attention, nothing lit on the first
#      but the banner, whole in its strip from y = 30 to 119, and no desktop pixel.
#   No sanitizer report on vandrel's stderr, in a sanitizer build.
# Needs root (useradd, setpriv); exits 77, skipped, without it.
# Usage: sway_test.sh vandrel vandrel_record_holder vandrel_wl_pointer vandrel_wl_inhibitor
#        vandrel-snapshot OUT_DIR
set -u
if [ "$(id -u)" != 0 ]; then
    echo "skipped: needs root to make a user and run sway as it"
    exit 77
fi
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../e2e/lib.sh"
source "$here/../e2e_linux/lib_linux.sh"
source "$here/lib_wayland.sh"
snapshot="$5"
out="$6"
rm -rf "$out"
mkdir -p "$out"
stage=$(e2e_stage "$1" "$2" "$3" "$4")
e2e_on_exit wl_end_test
wl_serve_record "$snapshot"
start=$SECONDS

wl_sway 800x600 || { echo "error: sway did not start"; cat "$WL_RUNTIME/sway.log"; exit 1; }
(wl_exec_as_user "$stage/vandrel_wl_pointer") >"$out/pointer.log" 2>&1 &
pointer=$!
check "the seat has a pointer" wait_for 5 'grep -q ready "$out/pointer.log"'
# The cursor waits where the checks move it from, so that the saver's first pointer event
# (its surface appearing under the cursor) is no travel.
swaymsg -q seat seat0 cursor set 400 300

# A sanitizer build also reports a listener left pointing into a returned function's frame.
vandrel=(env ASAN_OPTIONS=detect_stack_use_after_return=1 "$stage/vandrel")
# Starts vandrel as the user with the arguments given; waits for its attach; sets saver.
run() {
    (wl_exec_as_user "${vandrel[@]}" "$@") >>"$out/vandrel.log" 2>&1 &
    saver=$!
    check "vandrel${*:+ $*} attaches to the record" wait_for 10 '[ "$(rec_int 127140)" = 1 ]'
}
# Checks that output $1 equals the reference at $4,$5 times $6 on black of $2 x $3 pixels.
shows() {
    wl_expected "$2" "$3" "$out/reference.png" "$4" "$5" "$6" "$out/$7.expected.png"
    # The record's parts come in after the attach: a picture that stands still for a
    # moment may not be the whole one yet, on a slow (sanitizer) build.
    wl_becomes "$1" "$out/$7.expected.png" 10
    wl_shot "$1" "$out/$7.png"
    local diff
    diff=$(wl_diff "$out/$7.png" "$out/$7.expected.png")
    check "$7: $1 is the dashboard at $4,$5 times $6 on black ($diff pixels differ)" \
        [ "$diff" = 0 ]
}
# Checks that output $1 is all black, at $2 pixels (any size for "").
black() {
    grim -o "$1" "$out/$3.png"
    local want="$2" size lit desktop
    size=$(identify -format '%wx%h' "$out/$3.png")
    lit=$(lit_pixels "$out/$3.png")
    desktop=$(desktop_pixels "$out/$3.png")
    check "$3: $1 is black at ${2:-its size} ($size, $lit pixels lit, $desktop of the desktop)" \
        '[ "${want:-$size}" = "$size" ] && [ "$lit" = 0 ]'
}

echo "# 1. one output, then two"
run
shows HEADLESS-1 800 600 24 77 1 one_output
swaymsg -q create_output
sleep 1
black HEADLESS-2 "" plugged_in
swaymsg -q output HEADLESS-2 resolution 1024x768 position 1600 0 scale 2
sleep 1
black HEADLESS-2 1024x768 second_scale2
swaymsg -q output HEADLESS-1 resolution 1600x1200
shows HEADLESS-1 1600 1200 48 155 2 grown_2x
swaymsg -q output HEADLESS-2 disable
sleep 1
check "vandrel keeps running with an output disabled" is_running "$saver"
shows HEADLESS-1 1600 1200 48 155 2 disabled
swaymsg -q seat seat0 cursor move 3 0
sleep 0.5
check "3 pixels of pointer travel keep it running" is_running "$saver"
swaymsg -q seat seat0 cursor move 2 0
ended 0 "5 pixels of travel"

echo "# 2. --output HEADLESS-2, a key"
swaymsg -q output HEADLESS-2 enable
run --wayland --output HEADLESS-2
shows HEADLESS-2 1024 768 136 161 1 named_output
black HEADLESS-1 1600x1200 other_output
# The seat gets its keyboard as wtype starts: the key waits until the saver has bound it.
wtype -s 500 a
ended 0 "a key"

echo "# 3. the top-left output by default, a click"
swaymsg -q output HEADLESS-2 position 0 0
swaymsg -q output HEADLESS-1 position 512 0
run
shows HEADLESS-2 1024 768 136 161 1 top_left
swaymsg -q seat seat0 cursor press button1
ended 0 "a click"

echo "# 4. --idle: after 2 s without input, again after 2 s, not while inhibited"
# Checks that the saver attaches within 2 s + 2 s of now ($1, the last input), saying how
# late after the 1.98 s timeout, and that the top-left output then shows the dashboard.
idle_shows() {
    poll_within 4 '[ "$(rec_int 127140)" = 1 ]'  # the wait, apart from a slow first picture
    check "$1: shown $((E2E_MS - 1980)) ms after the timeout" \
        [ "$E2E_MS" -ge 1500 -a "$E2E_MS" -lt 3900 ]
    check "$1: the dashboard" wl_becomes HEADLESS-2 "$out/top_left.expected.png" 10
}
(wl_exec_as_user "${vandrel[@]}" --idle 0.033) >>"$out/vandrel.log" 2>&1 &
saver=$!
idle_shows "the first wait"
check "it names org_kde_kwin_idle" grep -q "as org_kde_kwin_idle tells" "$out/vandrel.log"
swaymsg -q create_output  # HEADLESS-3, while it shows
sleep 1
black HEADLESS-3 "" plugged_in_shown
swaymsg -q seat seat0 cursor move 5 0
check "5 pixels of travel end the saver shown" wait_for 3 '[ "$(rec_int 127140)" = 0 ]'
swaymsg -q create_output  # HEADLESS-4, while it waits
idle_shows "the next wait"
black HEADLESS-4 "" plugged_in_waiting
swaymsg -q -- seat seat0 cursor move -5 0
(wl_exec_as_user "$stage/vandrel_wl_inhibitor") >"$out/inhibitor.log" 2>&1 &
inhibitor=$!
check "the inhibitor's window is up" wait_for 5 'grep -q ready "$out/inhibitor.log"'
sleep 4
check "no saver while a window inhibits idleness" [ "$(rec_int 127140)" = 0 ]
end_started "$inhibitor" 2
inhibitor=""
idle_shows "the inhibitor gone"
kill_started TERM "$saver"
ended 0 "SIGTERM with the saver shown"

echo "# 5. sway killed"
run
kill_started TERM "$WL_COMPOSITOR_PID"
ended 1 "sway killed"

echo "# 6. two 4K outputs"
wl_cleanup
# Blanking after a minute, with a worker asking for attention: the 4K checks come first.
end_started "$holder"
write_settings "$E2E_HOME/.config/vandrel/vandrel.ini" 1 1 "$stage/no-worker" "$stage/client"
"$snapshot" --demo --message --header "$stage/client/header.bmp" \
    --write-record "$stage/record.bin" "$out/reference.png" >/dev/null
clear_record
(exec_as_user "$stage/vandrel_record_holder" "$stage/record.bin") &
holder=$!
wait_for 5 '[ -e "$SHM" ]'
WL_OUTPUTS=0 wl_sway 3840x2160 || { echo "error: sway did not start"; exit 1; }
(wl_exec_as_user "${vandrel[@]}") >>"$out/vandrel.log" 2>&1 &
saver=$!
sleep 1  # connected while there is no output
swaymsg -q create_output
swaymsg -q create_output
swaymsg -q output HEADLESS-2 resolution 3840x2160 position 3840 0
check "started with no output, it attaches once one comes" \
    wait_for 10 '[ "$(rec_int 127140)" = 1 ]'
for scale_at in 1:3840 2:1920 1.5:2560; do  # the scale and the second output's x
    scale=${scale_at%:*}
    swaymsg -q output HEADLESS-1 scale $scale
    swaymsg -q output HEADLESS-2 scale $scale position ${scale_at#*:} 0
    shows HEADLESS-1 3840 2160 792 412 3 uhd_scale$scale
    black HEADLESS-2 3840x2160 uhd_black_scale$scale
    echo "   two 4K outputs at scale $scale: vandrel VmRSS" \
        "$(awk '/^VmRSS/ { print int($2 / 1024) }' /proc/"$saver"/status) MiB"
done
# Lit only in the banner's strip: the dashboard gone.
blanked() {
    grim -o HEADLESS-1 "$out/uhd_banner.png"
    read -r w h x y <<<"$(lit_box "$out/uhd_banner.png")"
    [ "${h:-0}" -gt 0 ] && [ "$y" -ge 30 ] && [ $((y + h)) -le 120 ]
}
poll_within 75 blanked
sleep 2  # the banner's first letters in
blanked
desktop=$(desktop_pixels "$out/uhd_banner.png")
# The text's first row is 4 canvas rows down, its capitals at least 16 high.
check "blanked: only the banner is lit, whole in y 30 to 119 (${w}x${h} at $x,$y; $desktop of the desktop)" \
    '[ "${y:-0}" = 42 ] && [ "$h" -ge 48 ] && [ $((y + h)) -le 120 ] && [ "$desktop" = 0 ]'

check "no sanitizer report" '! grep -E "Sanitizer|runtime error" "$out/vandrel.log"'
echo "sway end to end: $E2E_FAILURES failure(s) in $((SECONDS - start)) s; screenshots in $out"
[ "$E2E_FAILURES" = 0 ]
