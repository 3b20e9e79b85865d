#!/usr/bin/env bash
# Vandrel.scr with the demo worker under Wine on an 800 x 600 Xvfb of its own, checked
# from screenshots and from the shared record:
#   1. started with no worker running, the saver starts the worker with " -min" and ends;
#   2. started again, it shows the dashboard centred (canvas at (24, 77)), the purple
#      frame, the header bitmap pixel for pixel, a growing progress cube and a filling
#      plot; F1 starts a viewer for the help file and the saver stays; a key press ends
#      it with exit code 0 and saverAttached back to 0;
#   3. when the worker asks for attention, its message replaces the plot;
#   4. with Blank=1 and Minutes=0 the screen turns black and the banner passes at y = 10.
# Usage: saver_test.sh Vandrel.scr vandrel-demo-worker.exe vandrel_share_probe.exe OUT_DIR
# VANDREL_HELP_TEXT: the help text as the build filled in its version.
set -u
scr="$1"
worker="$2"
probe_exe="$3"
out="$4"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/lib.sh"
e2e_on_exit e2e_cleanup
need_programs xdotool
e2e_prefix "${VANDREL_E2E_PREFIX:?}"
e2e_xvfb 800x600 || { echo "skipped: no X server could be started"; exit 77; }
start=$SECONDS

rm -rf "$out"
mkdir -p "$out/client"
cp "$here/../../resources/header.bmp" "${VANDREL_HELP_TEXT:?}" "$out/client/"
worker_win=$(winpath "$worker")
client_win=$(winpath "$out/client")

# The dashboard's canvas on this screen, and rectangles of it in screen coordinates.
cx=24 cy=77
purple() { [ "$(pixel "$1" $((cx + $2)) $((cy + $3)))" = "153 102 255" ]; }
black() { [ "$(pixel "$1" "$2" "$3")" = "0 0 0" ]; }
gt() { [ "$1" -gt "$2" ]; }

start_saver() {
    "$WINE" "$scr" /s >/dev/null 2>&1 &
    scr_pid=$!
    probe wait saverAttached 1 15 >/dev/null
}

# Ends the saver with a key press; checks the exit code and the record's mark.
key_ends_saver() {
    xdotool key --clearmodifiers a
    wait_exit 10 "$scr_pid"
    check "$1: a key press ends the saver with exit code 0 (got $E2E_CODE)" [ "$E2E_CODE" = 0 ]
    check "$1: saverAttached is back to 0" \
        [ "$(field saverAttached "$(probe wait saverAttached 0 5)")" = 0 ]
}

restart_worker() {
    probe close-worker
    for _ in $(seq 50); do
        probe >/dev/null || break
        sleep 0.1
    done
    "$WINE" "$worker" "$@" >/dev/null 2>&1 &
    probe wait userInfoDirty 1 10 >/dev/null
}

echo "# 1. no worker: the saver starts it and ends"
write_ini 0 0 "$worker_win" "$client_win"
t0=$SECONDS
"$WINE" "$scr" /s >/dev/null 2>&1 &
scr_pid=$!
wait_exit 15 "$scr_pid"
check "the saver ends by itself with code 0 (got $E2E_CODE)" [ "$E2E_CODE" = 0 ]
record=$(probe wait userInfoDirty 1 10)
check "the worker it started publishes the record" [ "$(field userName "$record")" = "Demo Observer" ]
check "the worker was started with -min" \
    '[ -n "$(prefix_pids "vandrel-demo-worker\\.exe -min\$")" ]'
echo "   ($((SECONDS - t0)) s)"

echo "# 2. the dashboard"
# A pass of 40 s fills the plot over 32 s; three passes make a unit of 2 minutes, so the
# progress cube visibly grows within seconds.
restart_worker --pass-seconds 40 --passes 3 --message-every 0
t0=$SECONDS
start_saver
sleep 2
shot "$out/dashboard1.png"
sleep 3
shot "$out/dashboard2.png"
a="$out/dashboard1.png" b="$out/dashboard2.png"
read -r bw bh bx by <<<"$(lit_box "$b")"
echo "   lit box ${bw}x${bh} at ($bx, $by)"
check "the dashboard lies inside the centred canvas" \
    '[ "$bx" -ge $cx ] && [ "$by" -ge $cy ] && [ $((bx + bw)) -le $((cx + 752)) ] && [ $((by + bh)) -le $((cy + 445)) ]'
check "the frame reaches across the canvas" '[ "$bw" -ge 730 ] && [ "$bh" -ge 400 ]'
for point in "200 48" "200 224" "428 100" "600 140" "10 48" "742 224"; do
    check "the frame is purple at canvas ($point)" purple "$b" $point
done
check "outside the canvas the screen is black" \
    'black "$b" 10 10 && black "$b" 790 590 && black "$b" 23 300 && black "$b" 776 300'
convert "$b" -crop 500x41+$cx+$cy +repage "$out/header.png"
header_diff=$(compare -metric AE "$out/header.png" "$here/../../resources/header.bmp" null: 2>&1)
check "the header is header.bmp pixel for pixel ($header_diff pixels differ)" [ "$header_diff" = 0 ]
cube1=$(count_lit "$a" $((cx + 12)) $((cy + 172)) 389 28)
cube2=$(count_lit "$b" $((cx + 12)) $((cy + 172)) 389 28)
check "the progress cube grows ($cube1 -> $cube2 lit pixels)" gt "$cube2" "$cube1"
plot1=$(count_coloured "$a" $cx $((cy + 240)) 752 205)
plot2=$(count_coloured "$b" $cx $((cy + 240)) 752 205)
check "the plot fills ($plot1 -> $plot2 coloured pixels)" gt "$plot2" "$plot1"
check "the plot has bars" gt "$plot1" 500
check "the record shows the saver attached" \
    [ "$(field saverAttached "$(probe)")" = 1 ]

xdotool key F1
viewer=""
for _ in $(seq 50); do
    viewer=$(prefix_pids 'windows_help\.txt' | head -1)
    [ -n "$viewer" ] && break
    sleep 0.2
done
check "F1 starts a viewer for the help file" [ -n "$viewer" ]
[ -n "$viewer" ] && echo "   viewer: $(tr '\0' ' ' </proc/"$viewer"/cmdline)"
sleep 2
check "the saver stays after F1" is_running "$scr_pid"
kill_started TERM "$viewer"
sleep 0.5
key_ends_saver "dashboard"
echo "   ($((SECONDS - t0)) s)"

echo "# 3. the worker asks for attention"
# Attention from 6 s to 12 s after the worker's start.
restart_worker --message-every 12 --message-for 6
t0=$SECONDS
start_saver
probe wait messagePresent 0 1 >/dev/null
sleep 1.5
shot "$out/before_message.png"
probe wait messagePresent 1 15 >/dev/null
sleep 1.5
shot "$out/message.png"
plot_before=$(count_coloured "$out/before_message.png" $cx $((cy + 240)) 752 205)
plot_message=$(count_coloured "$out/message.png" $cx $((cy + 240)) 752 205)
white=$(convert "$out/message.png" -crop 752x205+$cx+$((cy + 240)) +repage -fill black \
    +opaque white -fill white -opaque white -colorspace gray -format '%[fx:int(mean*w*h+0.5)]' info:)
check "before the message the plot shows ($plot_before coloured pixels)" gt "$plot_before" 500
check "the message replaces the plot ($plot_message coloured pixels left)" [ "$plot_message" -lt 20 ]
check "the message is written in the plot panel ($white white pixels)" gt "$white" 300
key_ends_saver "message"
echo "   ($((SECONDS - t0)) s)"

echo "# 4. blank screen with the attention banner"
restart_worker --message
write_ini 1 0 "$worker_win" "$client_win"
t0=$SECONDS
start_saver
sleep 2
shot "$out/banner1.png"
sleep 2
shot "$out/banner2.png"
read -r w1 h1 x1 y1 <<<"$(lit_box "$out/banner1.png")"
read -r w2 h2 x2 y2 <<<"$(lit_box "$out/banner2.png")"
echo "   banner boxes ${w1}x${h1} at ($x1, $y1), then ${w2}x${h2} at ($x2, $y2)"
below1=$(count_lit "$out/banner1.png" 0 40 800 560)
below2=$(count_lit "$out/banner2.png" 0 40 800 560)
check "the screen is black below the banner ($below1, $below2 lit pixels)" \
    '[ "$below1" = 0 ] && [ "$below2" = 0 ]'
check "the banner is in the strip from y = 10 to 39" \
    '[ "$y1" -ge 10 ] && [ $((y1 + h1)) -le 40 ] && [ "$y2" -ge 10 ] && [ $((y2 + h2)) -le 40 ]'
check "the banner moves left" [ "$x2" -lt "$x1" ]
check "the banner has white text" \
    [ "$(convert "$out/banner2.png" -crop 800x30+0+10 +repage -fill black +opaque white \
        -colorspace gray -format '%[fx:mean>0]' info:)" = 1 ]
key_ends_saver "blank"
echo "   ($((SECONDS - t0)) s)"

echo "saver end to end: $E2E_FAILURES failure(s) in $((SECONDS - start)) s; screenshots in $out"
[ "$E2E_FAILURES" = 0 ]
