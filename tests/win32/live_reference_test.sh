#!/usr/bin/env bash
# The live saver against the reference images: for each record (default: demo message),
# a stand-in worker serves the record that vandrel-snapshot.exe --cases wrote, the real
# Vandrel.scr runs full screen beside it, and the dashboard's area of the X screen must
# equal tests/reference/windows/NAME.png, 0 pixels differing. A real key press then
# closes the saver, which must exit with 0. NAME:killed kills it instead, and the next
# case must show its record, still marked by a saver that never let go, whole.
# Usage: live_reference_test.sh Vandrel.scr vandrel_test_share.exe vandrel-snapshot.exe OUTPUT_DIR
set -u
scr=$(realpath "$1") share=$(realpath "$2") snapshot=$(realpath "$3") out=$(realpath -m "$4")
here="$(cd "$(dirname "$0")/../.." && pwd)"
source "$here/tests/compare_images.sh"
share_pid="" scr_pid=""
source "$here/tests/win32/started_processes.sh"
wine_run="$here/cmake/wine-run.sh"
[ -n "${DISPLAY:-}" ] || { echo "skipped: no X display (DISPLAY is unset)"; exit 77; }
need_programs xdotool xwd convert compare xdpyinfo
export WINEPREFIX="${VANDREL_WINEPREFIX:?}"
rm -f "$WINEPREFIX/drive_c/windows/vandrel.ini"
rm -rf "$out"
mkdir -p "$out/records"
# The saver reads header.bmp from its current directory, the snapshot from --header.
cp "$here/resources/header.bmp" "$out/"
if ! (cd "$out/records" && "$wine_run" "$snapshot" --header ../header.bmp --cases .) \
    >/dev/null 2>&1 </dev/null; then
    echo "FAIL: the snapshot command failed"
    exit 1
fi

read -r width height < <(xdpyinfo | awk '/dimensions:/ { sub("x", " ", $2); print $2 }')
crop="752x445+$(( (width - 752) / 2 ))+$(( (height - 445) / 2 ))"
fail=0
for case in ${VANDREL_LIVE_RECORDS:-demo:killed demo message}; do
    name=${case%:*}
    ref="$here/tests/reference/windows/$name.png"
    if ! is_running "$share_pid"; then
        "$wine_run" "$share" 60 "$out/records/$name.bin" >/dev/null 2>&1 &
        share_pid=$!
        sleep 2
    fi
    (cd "$out" && exec "$wine_run" "$scr" /s) >/dev/null 2>&1 &
    scr_pid=$!
    # The saver serves the record over a few ticks: wait for the picture to settle.
    shot="$out/$name.screen.png"
    for _ in $(seq 40); do
        sleep 0.5
        xwd -root -display "$DISPLAY" | convert xwd:- -crop "$crop" +repage "png24:$shot"
        compare -metric AE "$ref" "$shot" null: 2>/dev/null && break
    done
    compare_images "$name" "$ref" "$shot" "$out" || fail=1
    # Killed, it leaves saverAttached 1 with every flag served, and the record to the next.
    [ "$case" = "$name" ] || { kill_started KILL "$scr_pid"; wait "$scr_pid" 2>/dev/null; continue; }

    xdotool key space
    if ! wait_exit 5 "$scr_pid"; then
        echo "$name: the saver is still running after a key press"
        fail=1
    elif [ "$E2E_CODE" != 0 ]; then
        echo "$name: the saver's exit code is $E2E_CODE"
        fail=1
    fi
    stop_started
    scr_pid="" share_pid=""
done
exit "$fail"
