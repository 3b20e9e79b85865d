#!/usr/bin/env bash
# Vandrel.scr under faults, with real processes under Wine on an 800 x 600 Xvfb of its own:
#   1. the worker is killed (SIGKILL) under the dashboard: the saver stays, keeps showing
#      the last state, and a key press still ends it with exit code 0;
#   2. the worker rewrites the record at full speed (--stress) for 60 s: the saver keeps
#      its tick (measured as the worker's count of served flags), its CPU use stays
#      bounded and a key press ends it with 0;
#   3. corrupt header.bmp files and vandrel.ini files full of garbage: the saver shows the
#      dashboard with a black header; with no record and a garbage ClientPath it starts
#      nothing and ends with 0.
# A record object too small for the record is covered by the Windows tests
# (SaverWindowTest.MissingOrShortRecordStartsTheWorkerAndEnds).
# Usage: fault_test.sh Vandrel.scr vandrel-demo-worker.exe vandrel_share_probe.exe OUT_DIR
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
header="$here/../../resources/header.bmp"
cp "$header" "$out/client/"
client_win=$(winpath "$out/client")

# The dashboard's canvas on this screen.
cx=24 cy=77
purple() { [ "$(pixel "$1" $((cx + $2)) $((cy + $3)))" = "153 102 255" ]; }
frame_is_purple() {
    local point
    for point in "200 48" "428 100" "600 140" "10 48" "742 224"; do
        purple "$1" $point || return 1
    done
}
# Pixels that differ between two screenshots inside the canvas.
canvas_diff() {
    convert "$1" -crop 752x445+$cx+$cy +repage "$out/diff_a.png"
    convert "$2" -crop 752x445+$cx+$cy +repage "$out/diff_b.png"
    compare -metric AE "$out/diff_a.png" "$out/diff_b.png" null: 2>&1
}
# Deterministic bytes 0..255 from a seed: garbage that a failure can be replayed with.
garbage() {
    LC_ALL=C awk -v n="$1" -v s="$2" \
        'BEGIN { srand(s); for (i = 0; i < n; i++) printf "%c", int(rand() * 256) }'
}
# User plus system CPU time of a process, in clock ticks.
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# Starts the saver from directory $1 (its current directory: ClientDir may be unreadable).
start_saver() {
    (cd "$1" && exec "$WINE" "$scr" /s >/dev/null 2>&1) &
    scr_pid=$!
}
key_ends_saver() {
    xdotool key --clearmodifiers a
    wait_exit 10 "$scr_pid"
    check "$1: a key press ends the saver with exit code 0 (got $E2E_CODE)" [ "$E2E_CODE" = 0 ]
}
start_worker() {
    "$WINE" "$worker" "$@" >/dev/null 2>&1 &
    worker_pid=$!
    probe wait userInfoDirty 1 10 >/dev/null
}
# Waits for the record to go with its last holder.
record_gone() {
    for _ in $(seq 50); do
        probe >/dev/null
        [ $? = 3 ] && return 0
        sleep 0.1
    done
    return 1
}
# Windows programs running in the prefix, Wine's own services left out.
programs() {
    local p
    for p in /proc/[0-9]*; do
        case "$(readlink "$p/exe" 2>/dev/null)" in /usr/lib/wine/wine64*) ;; *) continue ;; esac
        grep -qzx "WINEPREFIX=$WINEPREFIX" "$p/environ" 2>/dev/null || continue
        tr '\0' ' ' <"$p/cmdline" 2>/dev/null | grep -viE '^c:\\windows\\'
    done | sort
}

echo "# 1. the worker is killed under the dashboard"
# No ClientPath: nothing may start another worker behind the test's back.
write_ini 0 0 "" "$client_win"
t0=$SECONDS
# Short passes keep rows, progress and Gaussians coming, so a frozen screen means something.
start_worker --pass-seconds 10 --passes 3 --message-every 0
start_saver "$out"
probe wait saverAttached 1 15 >/dev/null
sleep 2
shot "$out/live0.png"
sleep 1
xwd -root -silent -display "$DISPLAY" -out "$out/live.xwd"
kill_started KILL "$worker_pid"
wait_exit 5 "$worker_pid" 2>/dev/null  # without the shell's "Killed" notice
check "the worker dies of SIGKILL (code $E2E_CODE)" [ "$E2E_CODE" = 137 ]
sleep 1
shot "$out/killed1.png"
sleep 4
shot "$out/killed5.png"
convert "xwd:$out/live.xwd" "$out/live.png"
alive=$(canvas_diff "$out/live0.png" "$out/live.png")
check "the dashboard moves while the worker runs ($alive pixels in 1 s)" [ "$alive" -gt 0 ]
check "the saver is alive 5 s after the kill" is_running "$scr_pid"
record=$(probe)
check "the saver still holds the record (saverAttached=$(field saverAttached "$record"))" \
    [ "$(field saverAttached "$record")" = 1 ]
check "the dashboard keeps its frame" frame_is_purple "$out/killed5.png"
bars=$(count_coloured "$out/killed5.png" $cx $((cy + 240)) 752 205)
check "the plot keeps its bars ($bars coloured pixels)" [ "$bars" -gt 500 ]
moved=$(canvas_diff "$out/killed1.png" "$out/killed5.png")
check "nothing on the dashboard changes once the worker is gone ($moved pixels)" [ "$moved" = 0 ]
# Between the last screenshot and the kill the worker may still have published a step.
inflight=$(canvas_diff "$out/live.png" "$out/killed1.png")
check "only an in-flight update differs from before the kill ($inflight pixels)" \
    [ "$inflight" -lt 10000 ]
key_ends_saver "killed worker"
check "the record goes with the saver" record_gone
echo "   ($((SECONDS - t0)) s)"

echo "# 2. the worker rewrites the record at full speed for 60 s"
t0=$SECONDS
rm -f "$out/serves.txt"
# 63 s: the saver attaches within a few seconds of the worker's start.
start_worker --stress --seconds 63 --serves-file "$(winpath "$out/serves.txt")"
start_saver "$out"
probe wait saverAttached 1 15 >/dev/null
tick0=$(cpu_ticks "$scr_pid") ms0=$(now_ms)
xtick0=$(cpu_ticks "$E2E_XVFB_PID")
sleep 30
shot "$out/stress.png"
wait_exit 45 "$worker_pid"
check "the stress worker ends by itself with code 0 (got $E2E_CODE)" [ "$E2E_CODE" = 0 ]
tick1=$(cpu_ticks "$scr_pid") ms1=$(now_ms)
xtick1=$(cpu_ticks "$E2E_XVFB_PID")
check "the saver is alive after the stress" is_running "$scr_pid"
check "the dashboard shows during the stress" frame_is_purple "$out/stress.png"
serves=$(tr -d '\r' <"$out/serves.txt" 2>/dev/null)
echo "   stress worker: $(tr '\n' ' ' <<<"$serves")"
rate=$(field perSecond "$serves") watched=$(field watchedMs "$serves")
first=$(field firstMs "$serves") last=$(field lastMs "$serves")
span=$(((${last:-0} - ${first:-0}) / 1000))
check "the saver served the flag for ${span} s of the stress" [ "$span" -ge 55 ]
echo "   raw rate $(awk -v n="$(field serves "$serves")" -v f="${first:-0}" -v l="${last:-0}" \
    'BEGIN { printf "%.2f", (l > f ? (n - 1) * 1000 / (l - f) : 0) }') serves/s over ${span} s"
# The worker sees only the serves that fall while it runs: the rate is taken over the
# time it watched, which must be long enough to say something.
check "the worker watched the flag for $((${watched:-0} / 1000)) s" [ "${watched:-0}" -ge 10000 ]
check "the saver ticks about 30 times a second (${rate:-no} serves/s)" \
    awk -v r="${rate:-0}" 'BEGIN { exit !(r >= 20 && r <= 40) }'
hz=$(getconf CLK_TCK)
cpu=$(awk -v t=$((tick1 - tick0)) -v hz="$hz" -v ms=$((ms1 - ms0)) \
    'BEGIN { printf "%.1f", 100 * t / hz / (ms / 1000) }')
xcpu=$(awk -v t=$((xtick1 - xtick0)) -v hz="$hz" -v ms=$((ms1 - ms0)) \
    'BEGIN { printf "%.1f", 100 * t / hz / (ms / 1000) }')
echo "   saver CPU ${cpu}% of one core over $(((ms1 - ms0) / 1000)) s (Xvfb ${xcpu}%)"
check "the saver's CPU use stays bounded (${cpu}% <= 90%)" \
    awk -v c="$cpu" 'BEGIN { exit !(c <= 90) }'
key_ends_saver "stress"
echo "   ($((SECONDS - t0)) s)"

echo "# 3. corrupt header.bmp and vandrel.ini full of garbage"
t0=$SECONDS
mkdir -p "$out/random" "$out/truncated" "$out/huge"
garbage 4000 11 >"$out/random/header.bmp"
head -c 700 "$header" >"$out/truncated/header.bmp"
# The real file claiming 100000 x 100000 pixels.
cp "$header" "$out/huge/header.bmp"
printf '\xa0\x86\x01\x00\xa0\x86\x01\x00' |
    dd of="$out/huge/header.bmp" bs=1 seek=18 conv=notrunc status=none
ini="$WINEPREFIX/drive_c/windows/vandrel.ini"
long_value() { head -c "$1" /dev/zero | tr '\0' "$2"; }
# The saver runs from the bitmap's directory, so header.bmp is found even when the
# garbage leaves ClientDir unread.
start_worker --pass-seconds 10 --passes 3 --message-every 0
for case in "random binary" "truncated long-lines" "huge no-section"; do
    read -r bmp kind <<<"$case"
    case "$kind" in
        binary) garbage 6000 12 >"$ini" ;;
        long-lines)
            {
                long_value 70000 x
                printf '\r\n[%s]\r\n' "$(long_value 3000 b)"
                # Never blanks: the delay is beyond what a tick difference can tell.
                printf '[boot]\r\nBlank=%s\r\nMinutes=%s\r\n' \
                    "$(long_value 5000 9)" "$(long_value 5000 9)"
                printf 'ClientDir=%s\r\n%s=1\r\n' "$(winpath "$out/$bmp")" "$(long_value 20000 k)"
            } >"$ini"
            ;;
        # Keys outside [boot] do not count; read, they would blank the screen at once.
        no-section) printf 'Blank=1\r\nMinutes=0\r\nClientDir=%s\r\n' "$client_win" >"$ini" ;;
    esac
    start_saver "$out/$bmp"
    probe wait saverAttached 1 15 >/dev/null
    check "$bmp header.bmp, $kind vandrel.ini: the saver attaches" [ $? = 0 ]
    sleep 1.5
    shot "$out/$bmp.png"
    check "$bmp header.bmp, $kind vandrel.ini: the dashboard shows" frame_is_purple "$out/$bmp.png"
    lit=$(count_lit "$out/$bmp.png" $cx $cy 500 41)
    check "$bmp header.bmp: the header area is black ($lit lit pixels)" [ "$lit" = 0 ]
    key_ends_saver "$bmp header.bmp, $kind vandrel.ini"
done
probe close-worker
wait_exit 10 "$worker_pid"

# No record: a garbage ClientPath must start nothing. The first 259 characters of the long
# one ("Z:" and 257 of the Unix path) name a real program, which a path cut to fit would
# start; the name is "vandrel-canary", padded, and ".exe" (18 characters and the padding).
canary_dir="$out/canary"
while [ $((${#canary_dir} + 150)) -lt 257 ]; do
    canary_dir="$canary_dir/$(long_value 100 d)"
done
mkdir -p "$canary_dir"
canary="$canary_dir/vandrel-canary$(long_value $((257 - ${#canary_dir} - 1 - 18)) c).exe"
cp "$worker" "$canary"
canary_win=$(winpath "$canary")
echo "   canary path of ${#canary_win} characters"
before=$(programs)
for kind in long binary; do
    case "$kind" in
        long) write_ini 0 0 "$canary_win$(long_value $((5000 - ${#canary_win})) x)" "$client_win" ;;
        binary)
            {
                printf '[boot]\r\nClientPath='
                garbage 250 13 | tr -d '\r\n\0'
                printf '\r\n'
            } >"$ini"
            ;;
    esac
    start_saver "$out"
    wait_exit 15 "$scr_pid"
    check "$kind garbage ClientPath, no record: the saver ends by itself with 0 (got $E2E_CODE)" \
        [ "$E2E_CODE" = 0 ]
    sleep 1
    probe >/dev/null
    check "$kind garbage ClientPath: no record appears" [ $? = 3 ]
    after=$(programs)
    check "$kind garbage ClientPath: no program was started" [ "$after" = "$before" ]
    [ "$after" = "$before" ] || echo "   programs now: $after"
done
echo "   ($((SECONDS - t0)) s)"

echo "saver faults: $E2E_FAILURES failure(s) in $((SECONDS - start)) s; screenshots in $out"
[ "$E2E_FAILURES" = 0 ]
