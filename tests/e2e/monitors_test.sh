#!/usr/bin/env bash
# Vandrel.scr on several monitors and on a large one, under Wine on an Xorg dummy server
# whose monitors xrandr sets, with a fixed record from the test share holder:
#   1. a 1024 x 768 monitor right of an 800 x 600 primary: nothing of the desktop shows
#      on either monitor; the second monitor grows to 1280 x 1024 while the saver runs
#      and it covers the new layout; 5 pixels of mouse travel on the second monitor end
#      the saver with 0;
#   2. the second monitor left of the primary (negative x): the same cover; a key ends
#      the saver with 0;
#   3. the primary alone: the dashboard is where (1) and (2) have it;
#   4. a 1600 x 1200 primary: the dashboard is (3) replicated 2 x 2; Scale=1 brings (3)
#      back; the blank screen's banner is at y = 20 and twice as high, and when the
#      primary shrinks to 800 x 600 mid-pass it travels the new width.
# Usage: monitors_test.sh Vandrel.scr vandrel_test_share.exe vandrel_share_probe.exe OUT_DIR
set -u
scr="$1"
holder="$2"
probe_exe="$3"
out="$4"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/lib.sh"
need_root "for the Xorg dummy server"
need_programs Xorg xrandr xsetroot xdotool
if [ ! -e /usr/lib/xorg/modules/drivers/dummy_drv.so ]; then
    echo "skipped: the Xorg dummy video driver is not installed"
    exit 77
fi
e2e_on_exit e2e_cleanup
rm -rf "$out"
mkdir -p "$out"
e2e_xorg_dummy 3000 1200 "$out" || { echo "skipped: the Xorg dummy server did not start"; exit 77; }
e2e_monitors 800x600 1024x768 right
e2e_prefix "${VANDREL_E2E_PREFIX:?}"
start=$SECONDS
desktop='#ff00ff'

# Wine reads the monitors when its server starts: a new layout gets a new server.
# Usage: run_saver SCALE BLANK [message]; the saver's process id lands in scr_pid.
run_saver() {
    "$WINESERVER" -k 2>/dev/null
    "$WINESERVER" -w
    "$WINESERVER" -p
    printf '[boot]\r\nBlank=%s\r\nMinutes=0\r\nScale=%s\r\n' "$2" "$1" \
        >"$WINEPREFIX/drive_c/windows/vandrel.ini"
    xsetroot -solid "$desktop"
    "$WINE" "$holder" 120 ${3:-} >/dev/null 2>&1 &
    probe wait saverAttached 0 15 >/dev/null
    "$WINE" "$scr" /s >/dev/null 2>&1 &
    scr_pid=$!
    probe wait saverAttached 1 15 >/dev/null
    sleep 1.5
}

desktop_left() {
    convert "$1" -fill black +opaque "$desktop" -fill white -opaque "$desktop" \
        -colorspace gray -format '%[fx:int(mean*w*h+0.5)]' info:
}

# Differing pixels between the W x H area at X Y of a screenshot and an image.
differs_from() {
    convert "$1" -crop "$4x$5+$2+$3" +repage "$out/crop.png"
    compare -metric AE "$out/crop.png" "$6" null: 2>&1
}

ends_with() {
    wait_exit 10 "$scr_pid"
    check "$1 ends the saver with 0 (got $E2E_CODE)" [ "$E2E_CODE" = 0 ]
}

echo "# 1. a second monitor right of the primary"
e2e_monitors 800x600 1024x768 right
xdotool mousemove 1200 400
run_saver 0 0
shot "$out/right.png"
check "the virtual screen is 1824 x 768" [ "$(identify -format '%wx%h' "$out/right.png")" = 1824x768 ]
check "no desktop pixel shows ($(desktop_left "$out/right.png") left)" \
    [ "$(desktop_left "$out/right.png")" = 0 ]
convert "$out/right.png" -crop 752x445+24+77 +repage "$out/dashboard_right.png"
check "outside the dashboard the second monitor is black" \
    [ "$(count_lit "$out/right.png" 800 0 1024 768)" = 0 ]
e2e_monitors 800x600 1280x1024 right
xsetroot -solid "$desktop"
probe display-change
sleep 1.5
shot "$out/grown.png"
check "after the change the virtual screen is 2080 x 1024" \
    [ "$(identify -format '%wx%h' "$out/grown.png")" = 2080x1024 ]
check "after the change no desktop pixel shows ($(desktop_left "$out/grown.png") left)" \
    [ "$(desktop_left "$out/grown.png")" = 0 ]
check "after the change the dashboard is still at (24, 77)" \
    [ "$(differs_from "$out/grown.png" 24 77 752 445 "$out/dashboard_right.png")" = 0 ]
check "the saver survived the change" is_running "$scr_pid"
xdotool mousemove_relative 3 2
ends_with "5 pixels of mouse travel on the second monitor"

echo "# 2. the second monitor left of the primary"
e2e_monitors 800x600 1024x768 left
run_saver 0 0
shot "$out/left.png"
check "no desktop pixel shows ($(desktop_left "$out/left.png") left)" \
    [ "$(desktop_left "$out/left.png")" = 0 ]
check "the dashboard is on the primary at x = 1024 + 24" \
    [ "$(differs_from "$out/left.png" $((1024 + 24)) 77 752 445 "$out/dashboard_right.png")" = 0 ]
xdotool key a
ends_with "a key"

echo "# 3. the primary alone"
e2e_monitors 800x600
run_saver 0 0
shot "$out/single.png"
convert "$out/single.png" -crop 752x445+24+77 +repage "$out/dashboard1x.png"
check "the dashboard is drawn ($(count_lit "$out/dashboard1x.png" 0 0 752 445) lit pixels)" \
    '[ "$(count_lit "$out/dashboard1x.png" 0 0 752 445)" -gt 20000 ]'
check "it is where the saver on two monitors has it" \
    [ "$(compare -metric AE "$out/dashboard1x.png" "$out/dashboard_right.png" null: 2>&1)" = 0 ]
xdotool key a
ends_with "a key"


echo "# 4. a 1600 x 1200 primary"
e2e_monitors 1600x1200
run_saver 0 0
shot "$out/large.png"
convert "$out/dashboard1x.png" -sample 200% "$out/dashboard2x.png"
check "the dashboard is the 1x one replicated 2 x 2 ($(differs_from "$out/large.png" 48 155 1504 890 "$out/dashboard2x.png") pixels differ)" \
    [ "$(differs_from "$out/large.png" 48 155 1504 890 "$out/dashboard2x.png")" = 0 ]
xdotool key a
ends_with "a key"
run_saver 1 0
shot "$out/large1x.png"
check "Scale=1 shows the 1x dashboard centred" \
    [ "$(differs_from "$out/large1x.png" 424 377 752 445 "$out/dashboard1x.png")" = 0 ]
xdotool key a
ends_with "a key"
run_saver 0 1 message
sleep 1
shot "$out/banner2x.png"
read -r bw bh bx by <<<"$(lit_box "$out/banner2x.png")"
echo "   banner box ${bw}x${bh} at ($bx, $by)"
check "the banner lies in the strip from y = 20 to 79 and is more than 30 high" \
    '[ "$by" -ge 20 ] && [ $((by + bh)) -le 80 ] && [ "$bh" -gt 30 ]'
convert "$out/banner2x.png" -crop 1600x60+0+20 +repage "$out/strip.png"
convert "$out/strip.png" -sample 100%x50% -sample 100%x200% "$out/strip_pairs.png"
check "its rows come in identical pairs" \
    [ "$(compare -metric AE "$out/strip.png" "$out/strip_pairs.png" null: 2>&1)" = 0 ]
xdotool key a
ends_with "a key"
# The banner starts its pass at the right edge of 1600; the primary then shrinks to 800.
run_saver 0 1 message
e2e_monitors 800x600
probe display-change
sleep 1
shot "$out/banner_narrowed.png"
check "after the primary shrank, the banner travels its new width: it is on screen" \
    '[ "$(count_lit "$out/banner_narrowed.png" 0 10 800 30)" -gt 100 ]'
xdotool key a
ends_with "a key"

echo "monitors end to end: $E2E_FAILURES failure(s) in $((SECONDS - start)) s; screenshots in $out"
[ "$E2E_FAILURES" = 0 ]
