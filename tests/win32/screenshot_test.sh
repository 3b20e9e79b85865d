#!/usr/bin/env bash
# Runs Vandrel.scr full screen beside a stand-in record with content and checks its
# screenshots (xwd): on the X screen itself the dashboard sits centred on black; in
# Wine virtual desktops 639, 640 and 799 pixels wide the label shows, or nothing does.
# Each saver is closed by a real key press through X and must exit with 0.
# Usage: screenshot_test.sh Vandrel.scr vandrel_test_share.exe [output directory]
set -u
scr="$1"
share="$2"
out="${3:-$(dirname "$scr")}"
here="$(cd "$(dirname "$0")/../.." && pwd)"
wine_run="$here/cmake/wine-run.sh"
[ -n "${DISPLAY:-}" ] || { echo "skipped: no X display (DISPLAY is unset)"; exit 77; }
export WINEPREFIX="${VANDREL_WINEPREFIX:?}"
# A server kept for the few Wine starts here ends by itself 10 s after the last one: one
# kept for good would outlive the test, and with it whatever it inherited (a lock).
/usr/lib/wine/wineserver -p10 2>/dev/null || true
rm -f "$WINEPREFIX/drive_c/windows/vandrel.ini"

share_pid="" scr_pid=""
source "$here/tests/win32/started_processes.sh"
need_programs xdotool xwd convert identify
"$wine_run" "$share" 120 >/dev/null 2>&1 &
share_pid=$!
sleep 2
fail=0

# Starts the saver (in a virtual desktop of the given size, if any), takes the shot.
shoot() {
    local name="$1" desktop="${2:-}"
    if [ -n "$desktop" ]; then
        "$wine_run" explorer "/desktop=Vandrel$name,$desktop" "$scr" /s >/dev/null 2>&1 &
    else
        "$wine_run" "$scr" /s >/dev/null 2>&1 &
    fi
    scr_pid=$!
    sleep 4
    xwd -root -display "$DISPLAY" | convert xwd:- png:"$out/saver_$name.png"
}

# A real key press closes the saver; it must end with exit code 0.
close_saver() {
    xdotool key space
    if ! wait_exit 5 "$scr_pid"; then
        echo "$1: still running after a key press"
        fail=1
        end_started "$scr_pid"
    elif [ "$E2E_CODE" != 0 ]; then
        echo "$1: exit code $E2E_CODE"
        fail=1
    fi
    scr_pid=""
}

# Prints "width height x y" of the lit (non-black) part of a region of a shot.
lit_box() {
    local box
    box=$(convert "$1" -crop "$2" +repage -fuzz 0 -trim -format '%w %h %X %Y' info: 2>/dev/null)
    echo "${box//+/}"
}

# Full screen on the X screen: the canvas is centred.
shoot full
read -r width height < <(identify -format '%w %h\n' "$out/saver_full.png")
left=$(( (width - 752) / 2 )); top=$(( (height - 445) / 2 ))
read -r bw bh bx by <<<"$(lit_box "$out/saver_full.png" "${width}x${height}+0+0")"
echo "full: screen ${width}x${height}, canvas at ($left, $top), lit ${bw}x${bh} at ($bx, $by)"
if ! { [ "$bx" -ge "$left" ] && [ "$by" -ge "$top" ] && [ "$bx" -le $((left + 10)) ] &&
       [ "$by" -le $((top + 10)) ] && [ $((bx + bw)) -le $((left + 752)) ] &&
       [ $((by + bh)) -le $((top + 445)) ] && [ "$bw" -ge 700 ] && [ "$bh" -ge 300 ]; }; then
    echo "full: the dashboard is not centred"
    fail=1
fi
close_saver full

# Narrow screens: below 640 the two-line cyan label, from 640 to 799 nothing at all.
# A virtual desktop changes the screen size for its whole Wine session, so these run in
# a prefix of their own, with a record of their own.
end_started "$share_pid"
export VANDREL_WINEPREFIX="$VANDREL_WINEPREFIX-narrow"
export WINEPREFIX="$VANDREL_WINEPREFIX"
"$wine_run" cmd.exe /c exit 0 >/dev/null 2>&1
/usr/lib/wine/wineserver -p10 2>/dev/null || true
rm -f "$WINEPREFIX/drive_c/windows/vandrel.ini"
"$wine_run" "$share" 120 >/dev/null 2>&1 &
share_pid=$!
sleep 2
for size in 639x480 640x480 799x600; do
    shoot "$size" "$size"
    cyan=$(convert "$out/saver_$size.png" -crop "${size}+0+0" +repage -fill black \
        +opaque '#00FFFF' -fill white -opaque '#00FFFF' -format '%[fx:mean*w*h]' info:)
    read -r bw bh bx by <<<"$(lit_box "$out/saver_$size.png" "${size}+0+0")"
    echo "$size: ${cyan%.*} cyan pixels, lit ${bw}x${bh} at ($bx, $by)"
    if [ "$size" = 639x480 ]; then
        # "Vandrel" at (34, 37) and "ScreenSaver" at (32, 57), nothing else.
        if ! { [ "${cyan%.*}" -ge 50 ] && [ "$bx" -ge 32 ] && [ "$by" -ge 37 ] &&
               [ $((by + bh)) -le 90 ] && [ $((bx + bw)) -le 200 ]; }; then
            echo "$size: no label"
            fail=1
        fi
    elif [ "$bw" -gt 1 ] || [ "$bh" -gt 1 ]; then  # trim leaves 1x1 of an all-black image
        echo "$size: the quiet mode drew something"
        fail=1
    fi
    close_saver "$size"
done

end_started "$share_pid"
share_pid=""
/usr/lib/wine/wineserver -k 2>/dev/null || true
[ "$fail" = 0 ] && echo "screenshots ok in $out"
exit "$fail"
