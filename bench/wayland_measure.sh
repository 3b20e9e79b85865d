#!/usr/bin/env bash
# Measurements for vandrel on Wayland (a benchmark; ctest does not run it): CPU share over
# SECONDS (default 60) of vandrel and its display server while the demo worker publishes,
# each at 800x600:
#   1. Wayland, one output: vandrel and sway (headless, pixman); then with the worker
#      stopped, so that vandrel shows a still picture: sway's share with a still client;
#   2. X11: vandrel --window on an Xvfb 800x600x24, and the Xvfb;
#   3. Wayland, two outputs of 800x600: vandrel and sway, against 1;
# and 4. memory with two and with three 3840x2160 outputs: vandrel's VmRSS and its
# shared-memory buffers.
# CPU time is the sum of /proc/PID/task/*/schedstat (nanoseconds on a CPU, every thread).
# Needs root (a user of its own for sway); run it under flock /tmp/vandrel-e2e.lock.
# Usage: bench/wayland_measure.sh [SECONDS] [BUILD_DIR]
set -u
seconds="${1:-60}"
here="$(cd "$(dirname "$0")" && pwd)"
build="${2:-$here/../build/linux}"
if [ "$(id -u)" != 0 ]; then
    echo "error: needs root (sway runs as a user of its own)" >&2
    exit 1
fi
tests="$here/../tests"
source "$tests/e2e/lib.sh"
source "$tests/e2e_linux/lib_linux.sh"
source "$tests/e2e_wayland/lib_wayland.sh"
stage=$(e2e_stage "$build/host/vandrel" "$build/tools/demo_worker/vandrel-demo-worker")
cleanup() {
    for p in ${saver:-} ${worker:-}; do
        kill "$p" 2>/dev/null
        wait "$p" 2>/dev/null
    done
    wl_cleanup
    e2e_cleanup
    clear_record
    rm -rf "$stage"
}
trap cleanup EXIT
e2e_user
write_settings "$E2E_HOME/.config/vandrel/vandrel.ini" 0 0 "$stage/no-worker" "$stage/client"
chown -R "$E2E_USER:" "$E2E_HOME/.config"
clear_record
DISPLAY=""
(exec_as_user "$stage/vandrel-demo-worker") >/dev/null 2>&1 &
worker=$!
wait_for 10 '[ -e "$SHM" ]' || { echo "error: the demo worker did not start" >&2; exit 1; }

# Nanoseconds on a CPU of every thread of process $1.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { print s + 0 }'; }

# Starts vandrel as the user with the arguments given and waits for its attach.
run_saver() {
    (wl_exec_as_user "$stage/vandrel" "$@") >/dev/null 2>&1 &
    saver=$!
    wait_for 10 '[ "$(rec_int 127140)" = 1 ]' || echo "warning: vandrel did not attach" >&2
    sleep 2  # past the first full picture
}
stop_saver() {
    kill "$saver"
    wait "$saver" 2>/dev/null
    saver=""
    wait_for 5 '[ "$(rec_int 127140)" = 0 ]'
}

# Prints "SAVER_PERCENT SERVER_PERCENT" of CPU time over the measuring time for the
# saver and the server pid $1.
measure() {
    local s0 x0 s1 x1
    s0=$(cpu_ns "$saver") x0=$(cpu_ns "$1")
    sleep "$seconds"
    s1=$(cpu_ns "$saver") x1=$(cpu_ns "$1")
    awk -v s=$((s1 - s0)) -v x=$((x1 - x0)) -v t="$seconds" \
        'BEGIN { printf "%.3f %.3f\n", s / t / 1e7, x / t / 1e7 }'
}

report() {
    local name="$1" saverShare="$2" serverShare="$3"
    awk -v n="$name" -v a="$saverShare" -v b="$serverShare" \
        'BEGIN { printf "%-32s vandrel %6.3f %%  server %6.3f %%  together %6.3f %%\n",
                 n, a, b, a + b }'
}

echo "CPU share over $seconds s each, the demo worker publishing:"
wl_sway 800x600 || { echo "error: sway did not start" >&2; exit 1; }
run_saver
read -r wl1_saver wl1_server < <(measure "$WL_COMPOSITOR_PID")
report "Wayland, one 800x600 output" "$wl1_saver" "$wl1_server"
kill -STOP "$worker"
sleep 2
read -r still_saver still_server < <(measure "$WL_COMPOSITOR_PID")
kill -CONT "$worker"
report "Wayland, one output, still picture" "$still_saver" "$still_server"

swaymsg -q create_output
swaymsg -q output HEADLESS-2 resolution 800x600 position 800 0
sleep 2
read -r wl2_saver wl2_server < <(measure "$WL_COMPOSITOR_PID")
report "Wayland, two 800x600 outputs" "$wl2_saver" "$wl2_server"
stop_saver
wl_cleanup

e2e_xvfb 800x600 || exit 1
export DISPLAY
run_saver --x11 --window
read -r x_saver x_server < <(measure "$E2E_XVFB_PID")
report "X11, vandrel --window on Xvfb" "$x_saver" "$x_server"
stop_saver
e2e_cleanup
E2E_XVFB_PID=""
DISPLAY=""

awk -v a="$wl1_saver" -v b="$wl1_server" -v c="$wl2_saver" -v d="$wl2_server" \
    -v x="$x_saver" -v y="$x_server" -v z="$still_server" 'BEGIN {
        printf "vandrel alone: %.3f %% on Wayland, %.3f %% on X11; sway with a still client" \
               " %.3f %%, with vandrel %.3f %%\n", a, x, z, b;
        if (a + b > 0)
            printf "two outputs against one: %.2fx (vandrel and sway)\n", (c + d) / (a + b);
        if (x + y > 0)
            printf "Wayland against X11: %.2fx (saver and server)\n", (a + b) / (x + y);
    }'

# vandrel's VmRSS and shared-memory buffers with $1 outputs of 3840x2160 side by side.
memory() {
    wl_sway 3840x2160 || { echo "error: sway did not start" >&2; exit 1; }
    local i rss shm=0 buffers range
    for i in $(seq 2 "$1"); do
        swaymsg -q create_output
        swaymsg -q output "HEADLESS-$i" resolution 3840x2160 position $((3840 * (i - 1))) 0
    done
    sleep 1
    run_saver
    sleep 2
    rss=$(awk '/^VmRSS/ { print $2 }' /proc/"$saver"/status)
    while read -r range _; do
        shm=$((shm + 0x${range#*-} - 0x${range%-*}))
    done < <(grep 'memfd:vandrel' /proc/"$saver"/maps)
    buffers=$(grep -c 'memfd:vandrel' /proc/"$saver"/maps)
    echo "   $1 outputs: vandrel VmRSS $((rss / 1024)) MiB; shared-memory buffers: $buffers" \
        "mapped, $((shm / 1048576)) MiB ($((3840 * 2160 * 4 / 1048576)) MiB per output-sized buffer)"
    stop_saver
    wl_cleanup
}
echo "Memory with 3840x2160 outputs:"
memory 2
memory 3
