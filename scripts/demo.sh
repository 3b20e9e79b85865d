#!/usr/bin/env bash
# Shows Vandrel.scr with the demo worker under Wine, started the way the desktop starts a
# screen saver, and writes a screenshot to demo.png.
#   1. Vandrel.scr /s finds no worker record, starts the demo worker with " -min", ends;
#   2. Vandrel.scr /s again attaches to the record and shows the live dashboard.
# It runs on the current X display, or on an Xvfb of its own when DISPLAY is unset.
# Usage: scripts/demo.sh [--linux | --wayland] [--seconds N] [--size WxH] [--out FILE]
#   --linux      the Linux saver under xscreensaver instead (scripts/demo_linux.sh)
#   --wayland    the Linux saver on a headless sway instead (scripts/demo_wayland.sh)
#   --seconds N  how long the dashboard runs before the screenshot (default 10)
#   --size WxH   screen size of the Xvfb or sway (default 800x600; not used on a real display)
#   --out FILE   the screenshot (default demo.png, demo-linux.png, demo-wayland.png)
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"
linux=0
wayland=0
seconds=10
size=800x600
out=""
while [ $# -gt 0 ]; do
    case "$1" in
        --linux) linux=1; shift ;;
        --wayland) wayland=1; shift ;;
        --seconds) seconds="${2:?--seconds needs a number}"; shift 2 ;;
        --size) size="${2:?--size needs WxH}"; shift 2 ;;
        --out) out="${2:?--out needs a file name}"; shift 2 ;;
        -h|--help) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "demo.sh: unknown argument $1 (try --help)" >&2; exit 2 ;;
    esac
done
[[ "$seconds" =~ ^[0-9]+$ ]] || { echo "demo.sh: --seconds needs a whole number" >&2; exit 2; }
[[ "$size" =~ ^[0-9]+x[0-9]+$ ]] || { echo "demo.sh: --size needs WxH, e.g. 1024x768" >&2; exit 2; }
if [ "$linux" = 1 ]; then
    exec scripts/demo_linux.sh "$seconds" "$size" "${out:-demo-linux.png}"
fi
if [ "$wayland" = 1 ]; then
    exec scripts/demo_wayland.sh "$seconds" "$size" "${out:-demo-wayland.png}"
fi
out="${out:-demo.png}"

scripts/install-deps.sh --demo windows
echo "== building the Windows saver, the demo worker and the release package"
# Without the test targets, which would need the test packages; scripts/test.sh turns
# them on again in the same build folder.
cmake --preset windows -DVANDREL_TESTS=OFF >/dev/null
cmake --build --preset windows -j"$(nproc)" \
    --target vandrel_scr vandrel-demo-worker vandrel_share_probe dist
build="$root/build/windows"
scr="$build/host/Vandrel.scr"
probe_exe="$build/tools/vandrel_share_probe.exe"

source tests/e2e/lib.sh
demo="$root/build/demo"
# Leftovers of an earlier demo in this prefix (a worker still running) end first.
[ -d "$demo/wineprefix" ] && WINEPREFIX="$demo/wineprefix" "$WINESERVER" -k 2>/dev/null || true
e2e_on_exit e2e_cleanup
echo "== Wine prefix $demo/wineprefix"
e2e_prefix "$demo/wineprefix"
if [ -z "${DISPLAY:-}" ]; then
    e2e_xvfb "$size"
    echo "== no X display: using an Xvfb of ${size} on $DISPLAY"
else
    echo "== showing the saver on $DISPLAY"
fi

# The worker's folder: the worker itself, the header bitmap and the help text, as the
# installer lays them out. vandrel.ini in the prefix's Windows directory points at it.
client="$demo/Vandrel"
mkdir -p "$client"
cp "$build/tools/demo_worker/vandrel-demo-worker.exe" "$client/"
cp resources/header.bmp "$build/resources/windows_help.txt" "$client/"
write_ini 0 5 "$(winpath "$client/vandrel-demo-worker.exe")" "$(winpath "$client")"
echo "   vandrel.ini: ClientPath=$(winpath "$client/vandrel-demo-worker.exe")"


echo "== 1. Vandrel.scr /s: no worker yet, so it starts the demo worker and ends"
"$WINE" "$scr" /s && echo "   the saver ended (exit code 0)"
if probe wait userInfoDirty 1 15 | grep -E '^(userName|analysisText)='; then
    echo "   the demo worker publishes vandrel_share"
else
    echo "error: the demo worker did not start" >&2
    exit 1
fi

echo "== 2. Vandrel.scr /s again: the dashboard, for ${seconds} s"
"$WINE" "$scr" /s >/dev/null 2>&1 &
scr_pid=$!
probe wait saverAttached 1 15 | grep -E '^(saverAttached|plotWidth|plotHeight)=' | tr '\n' ' '
echo
sleep "$seconds"
shot "$out"
echo "   wrote $out ($(identify -format '%wx%h' "$out"))"

# End the saver as a user would; the demo worker ends with the prefix's cleanup.
xdotool key --clearmodifiers Escape 2>/dev/null || true
wait_exit 5 "$scr_pid" || end_started "$scr_pid"
echo "== done: the saver ended (exit code ${E2E_CODE}); see $out"
