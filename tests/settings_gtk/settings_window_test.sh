#!/usr/bin/env bash
# vandrel-settings on a 1600 x 1000 Xvfb of its own, used from the keyboard alone:
#   1. vandrel --settings opens it;
#   2. values typed in and OK give a settings file with exactly those values, its other
#      lines and the idle time it did not touch kept; vandrel --window started next
#      draws the dashboard at the chosen 2x, where the automatic size is 1x;
#   3. a worker that is no executable file is said in the window, which stays, and the
#      file is left as it was;
#   4. Preview shows the saver with the values as they stand, from a copy that goes with it;
#   5. "Start with my session" writes the autostart entry and takes it away; the entry's
#      command starts the watcher, and starts none while swayidle runs.
# Usage: settings_window_test.sh vandrel vandrel-settings vandrel_record_holder
#        vandrel-snapshot OUT_DIR
set -u
vandrel="$1"
app="$2"
holder_exe="$3"
snapshot="$4"
out="$5"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../e2e/lib.sh"
source "$here/../e2e_linux/lib_linux.sh"
rm -rf "$out"
mkdir -p "$out/home"
cleanup() {
    end_started "${window:-}"
    end_started "${saver:-}"
    end_started "${watcher:-}"
    end_started "${daemon:-}"
    end_started "${holder:-}"
    clear_record
    e2e_cleanup
}
e2e_on_exit cleanup
need_programs xdotool dbus-run-session
e2e_xvfb 1600x1000 || { echo "skipped: no X server could be started"; exit 77; }
export HOME="$out/home" GDK_BACKEND=x11 XDG_CONFIG_DIRS="$out/none" NO_AT_BRIDGE=1
unset XDG_CONFIG_HOME WAYLAND_DISPLAY XSCREENSAVER_WINDOW
ini="$HOME/.config/vandrel/vandrel.ini"
mkdir -p "$(dirname "$ini")"
printf '; kept\n[boot]\nMinutes=7\nColor=red\nIdleMinutes=10.5\n' >"$ini"

"$snapshot" --demo --write-record "$out/record.bin" "$out/reference.png" >/dev/null
clear_record
"$holder_exe" "$out/record.bin" &
holder=$!
wait_for 5 '[ -e "$SHM" ]'

# Opens the window through vandrel --settings and waits for it.
open_window() {
    end_started "${window:-}"
    dbus-run-session -- "$vandrel" --settings >>"$out/window.log" 2>&1 &
    window=$!
    wait_for 15 'xdotool search --name "^Vandrel ScreenSaver Settings$" >/dev/null'
}
keys() { xdotool key --delay 60 "$@"; sleep 0.3; }
typed() { xdotool type --delay 60 "$1"; sleep 0.3; }

open_window
check "vandrel --settings opens the settings window" \
    'xdotool search --name "^Vandrel ScreenSaver Settings$" >/dev/null'
shot "$out/opened.png"

# Every field but the idle time, whose 10.5 from the file must come back.
keys alt+g alt+m ctrl+a
typed 12
keys alt+d ctrl+a
typed 2
keys alt+f ctrl+a
typed "$out"
keys alt+w ctrl+a
typed /etc/hostname-missing
keys Return
sleep 1
shot "$out/refused.png"
check "a worker that is no executable file keeps the window open" \
    'xdotool search --name "^Vandrel ScreenSaver Settings$" >/dev/null'
check "and leaves the file as it was" \
    '[ "$(cat "$ini")" = "$(printf "; kept\n[boot]\nMinutes=7\nColor=red\nIdleMinutes=10.5")" ]'
cp /bin/true "$out/worker"
keys alt+w ctrl+a
typed worker
keys alt+o
wait_exit 10 "$window"
check "OK saves and closes the window (code $E2E_CODE)" '[ "$E2E_CODE" = 0 ]'
expected="; kept
[boot]
Minutes=12
Color=red
IdleMinutes=10.5
Blank=1
Scale=2
ClientPath=worker
ClientDir=$out"
diff <(echo "$expected") "$ini" | sed 's/^/   /'
check "the file holds exactly the values typed, and its other lines" \
    '[ "$(cat "$ini")" = "$expected" ]'

# The saver started next reads them: a 2x dashboard in a window made 1600 x 1000, where
# the automatic size would be 1x (752 x 445).
"$vandrel" --window >"$out/vandrel.log" 2>&1 &
saver=$!
wait_for 10 '[ "$(rec_int 127140)" = 1 ]'
id=$(xdotool search --name "^Vandrel$" | head -1)
xdotool windowsize "$id" 1600 1000
sleep 3
settled_shot "$out/saver.png"
read -r w h _ <<<"$(lit_box "$out/saver.png")"
check "vandrel --window draws the dashboard at 2x ($w x $h)" '[ "$w" -gt 1400 ] && [ "$h" -gt 800 ]'
end_started "$saver"

# Start with my session: on, then off, each from the keyboard.
entry="$HOME/.config/autostart/vandrel-idle.desktop"
open_window
keys alt+t
wait_for 5 '[ -f "$entry" ]'
check "Start with my session writes the autostart entry" \
    'grep -qx "Exec=.*vandrel-settings --session-watcher" "$entry"'
check "the entry is one the desktops take" desktop-file-validate "$entry"
keys alt+t
wait_for 5 '[ ! -e "$entry" ]'
check "turned off, the entry goes" '[ ! -e "$entry" ]'

# Preview: the saver in a window of its own, on a copy of the values as they stand.
keys alt+d ctrl+a
typed 1
keys alt+p
wait_for 10 'preview=$(pgrep -n -x vandrel) && grep -qz "^XDG_CONFIG_HOME=" /proc/$preview/environ'
copy=$(tr '\0' '\n' </proc/"${preview:-0}"/environ 2>/dev/null | sed -n 's/^XDG_CONFIG_HOME=//p')
check "Preview shows vandrel on the window's values (Scale=1 unsaved)" \
    'grep -qx "Scale=1" "$copy/vandrel/vandrel.ini" && grep -qx "Scale=2" "$ini"'
xdotool search --name "^Vandrel$" windowfocus --sync 2>/dev/null; keys space
check "its copy goes with it" 'wait_for 10 "[ ! -e \"$copy\" ]"'
xdotool search --name "^Vandrel ScreenSaver Settings$" windowfocus --sync; keys Escape
wait_exit 10 "$window"

# The entry's command starts the watcher, and none beside swayidle.
"$app" --session-watcher >"$out/watcher.log" 2>&1 &
watcher=$!
wait_for 10 'grep -q -- --idle /proc/$watcher/cmdline'
check "the session's command runs vandrel --idle" \
    '[ "$(cat /proc/$watcher/cmdline | tr "\0" " ")" = "$(dirname "$app")/../vandrel --idle " ]'
end_started "$watcher"
cp /bin/sleep "$out/swayidle"
"$out/swayidle" 60 &
daemon=$!
"$app" --session-watcher >"$out/watcher.log" 2>&1
code=$?
check "beside swayidle it starts no second watcher (code $code)" \
    '[ $code = 0 ] && grep -q "swayidle already starts the saver" "$out/watcher.log"'

echo "Settings window: $E2E_FAILURES failure(s)"
[ "$E2E_FAILURES" = 0 ]
