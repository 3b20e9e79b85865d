#!/usr/bin/env bash
# vandrel --idle on a virtual KWin of its own with two 800x600 outputs, run as the
# unprivileged user, showing a fixed record; screenshots through KWin's ScreenShot2.
#   1. --idle 0.1 (6 s), told by ext_idle_notifier_v1: shown 6 s after the start, not 0.8 s
#      sooner nor 2 s later; the first output is then the snapshot's rendering of
#      the record on black (0 pixels may differ)
#      and the second is black, the layer-shell overlay over the desktop colour of both;
#      SIGTERM ends it (0). KWin offers clients no virtual keyboard: the keys that end the
#      saver are tried on sway;
#   2. KWin killed while --idle waits: it ends with exit code 1.
# Needs root (useradd, setpriv) and KWin; exits 77, skipped, without them.
# Usage: kwin_test.sh vandrel vandrel_record_holder vandrel_kwin_shot vandrel-snapshot OUT_DIR
set -u
if [ "$(id -u)" != 0 ] || ! command -v kwin_wayland >/dev/null; then
    echo "skipped: needs root to make a user, and kwin_wayland"
    exit 77
fi
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../e2e/lib.sh"
source "$here/../e2e_linux/lib_linux.sh"
source "$here/lib_wayland.sh"
out="$5"
rm -rf "$out"
mkdir -p "$out"
stage=$(e2e_stage "$1" "$2" "$3")
e2e_on_exit wl_end_test
wl_serve_record "$4"
start=$SECONDS
wl_kwin 800x600 2
case $? in
    1) echo "skipped: KWin does not run here" && cat "$WL_RUNTIME/kwin.log" && exit 77 ;;
    2) echo "error: KWin runs, but its ScreenShot2 answers nothing" && exit 1 ;;
esac

echo "# 1. --idle: the dashboard after 6 s without input, on every output"
check "the desktop colour is up" wait_for 5 \
    'wl_grab Virtual-1 "$out/desktop.png" && [ "$(desktop_pixels "$out/desktop.png")" = 480000 ]'
(wl_exec_as_user "$stage/vandrel" --idle 0.1) >>"$out/vandrel.log" 2>&1 &
saver=$!
poll_within 9 '[ "$(rec_int 127140)" = 1 ]'  # timed by the attach, the picture apart
check "shown $((E2E_MS - 6000)) ms after the 6 s timeout" \
    [ "$E2E_MS" -ge 5200 -a "$E2E_MS" -lt 8000 ]  # KWin's coarse timer may come 5 % early
wl_expected 800 600 "$out/reference.png" 24 77 1 "$out/first.expected.png"
check "the dashboard, 0 pixels differing" wl_becomes Virtual-0 "$out/first.expected.png" 10
check "it names ext_idle_notifier_v1" grep -q "as ext_idle_notifier_v1 tells" "$out/vandrel.log"
wl_grab Virtual-1 "$out/second.png"
check "the second output is black ($(lit_pixels "$out/second.png") pixels lit)" \
    [ "$(identify -format '%wx%h' "$out/second.png")/$(lit_pixels "$out/second.png")" = 800x600/0 ]
kill_started TERM "$saver"
ended 0 "SIGTERM"

echo "# 2. KWin killed while --idle waits"
(wl_exec_as_user "$stage/vandrel" --idle 5) >>"$out/vandrel.log" 2>&1 &
saver=$!
sleep 1
kill_started TERM "$WL_COMPOSITOR_PID"
ended 1 "KWin killed"

echo "KWin end to end: $E2E_FAILURES failure(s) in $((SECONDS - start)) s; screenshots in $out"
[ "$E2E_FAILURES" = 0 ]
