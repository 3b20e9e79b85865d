#!/usr/bin/env bash
# vandrel's settings path and its check of the record's size, on an Xvfb of its own,
# with stand-in workers that note how they were started:
#   1. $XDG_CONFIG_HOME/vandrel/vandrel.ini wins over ~/.config/vandrel/vandrel.ini, which
#      is read when XDG_CONFIG_HOME is unset; the worker gets -min and runs in ClientDir,
#      with only descriptors 0 to 2 of vandrel's (one more given for the test);
#   2. a /vandrel_share-UID smaller than the record is treated as missing: the worker is
#      started and nothing is written into the object;
#   3. settings files of garbage around a stand-in that would leave a mark if started
#      (binary bytes, a [boot] section with broken keys, a path too long for the field
#      whose first 259 characters name the stand-in, over-long lines): vandrel starts
#      nothing, keeps running, and SIGTERM ends it with exit code 0; the same stand-in in
#      a valid file is started, so the mark can be made;
#   4. vandrel started with SIGUSR1 ignored and SIGUSR2 blocked (and SIGPIPE ignored, as
#      Python leaves it): the worker it starts has every signal at its default and none
#      blocked; a worker that cannot be started (a directory) is told on vandrel's stderr;
#   5. lost windows and servers, with a record: the --window-id window destroyed ends
#      vandrel with 0 within 2 s, a garbage XSCREENSAVER_WINDOW with --root and
#      --window-id 010 (window 10, none) end it with 1 within 2 s and a message on
#      stderr, drawing nothing on the root window; the X server killed ends it with 1.
#      Each time saverAttached is 0 afterwards.
#   6. --idle with a FIFO as ClientDir's header.bmp: a key ends the show, not the watcher,
#      which outlives a wait longer than a stall; a show held in sleep(60) by a debugger
#      ends by itself within 12 s with exit code 70 and saverAttached 0.
# Usage: fault_test.sh vandrel vandrel_record_holder vandrel-snapshot vandrel_signal_probe
#                      OUT_DIR
set -u
vandrel="$1"
holder_exe="$2"
snapshot="$3"
signal_probe="$4"
out="$5"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../e2e/lib.sh"
source "$here/lib_linux.sh"
rm -rf "$out"
mkdir -p "$out/home" "$out/xdg" "$out/client"
cleanup() {
    end_started "${saver:-}" 2
    end_started "${holder:-}"
    end_started "${window:-}"
    clear_record
    e2e_cleanup
}
e2e_on_exit cleanup
need_programs md5sum od python3 xsetroot xdotool gdb
# -noreset: the root's colour must outlast xsetroot, the only client at the time.
e2e_x_server Xvfb -screen 0 800x600x24 -nolisten tcp -noreset ||
    { echo "skipped: no X server could be started"; exit 77; }
start=$SECONDS
export HOME="$out/home"
unset XDG_CONFIG_HOME XSCREENSAVER_WINDOW

# Stand-in workers: each writes its name, its arguments, its directory and the
# descriptors it was given (ls adds 3, its own), then ends.
for name in xdg home; do
    printf '#!/bin/sh\necho "%s $* in $PWD $(ls /proc/self/fd | tr "\\n" " ")" >>"%s/started"\n' \
        "$name" "$out" >"$out/$name.sh"
    chmod +x "$out/$name.sh"
done
# Runs the command with SIGUSR1 ignored and SIGUSR2 blocked.
odd_signals() {
    exec python3 -c 'import os, signal, sys
signal.signal(signal.SIGUSR1, signal.SIG_IGN)
signal.pthread_sigmask(signal.SIG_BLOCK, [signal.SIGUSR2])
os.execv(sys.argv[1], sys.argv[1:])' "$@"
}
write_settings "$out/xdg/vandrel/vandrel.ini" 0 0 "$out/xdg.sh" "$out/client"
write_settings "$HOME/.config/vandrel/vandrel.ini" 0 0 "$out/home.sh" "$out/client"

# Runs vandrel --window, with a descriptor to leak, until a worker has been started (or
# 10 s), then ends it.
run_saver() {
    rm -f "$out/started"
    "$vandrel" --window >>"$out/vandrel.log" 2>&1 7</dev/null &
    saver=$!
    wait_for 10 '[ -s "$out/started" ]'
    sleep 0.5
    started=$(cat "$out/started" 2>/dev/null)
    check "$1: vandrel keeps running" is_running "$saver"
    kill_started TERM "$saver"
    wait_exit 10 "$saver"
    check "$1: SIGTERM ends vandrel with exit code 0 (got $E2E_CODE)" [ "$E2E_CODE" = 0 ]
    saver=""
}

echo "# 1. the settings path"
clear_record
XDG_CONFIG_HOME="$out/xdg" run_saver "XDG_CONFIG_HOME set"
check "the worker of \$XDG_CONFIG_HOME/vandrel/vandrel.ini starts, with -min, in ClientDir, with descriptors 0 to 2 alone" \
    [ "$started" = "xdg -min in $out/client 0 1 2 3 " ]
run_saver "XDG_CONFIG_HOME unset"
check "the worker of ~/.config/vandrel/vandrel.ini starts, with -min, in ClientDir" \
    [ "$started" = "home -min in $out/client 0 1 2 3 " ]

echo "# 2. a record object shorter than the record"
"$snapshot" --demo --write-record "$out/record.bin" "$out/reference.png"
"$holder_exe" "$out/record.bin" --size 127144 &
holder=$!
wait_for 5 '[ -e "$SHM" ]'
before=$(md5sum <"$SHM")
run_saver "short record"
check "a short record counts as missing: the worker is started" [ -n "$started" ]
check "nothing is written into the short object" [ "$(md5sum <"$SHM")" = "$before" ]
check "the object keeps its size" [ "$(stat -c %s "$SHM")" = 127144 ]
end_started "$holder"
holder=""

echo "# 3. settings files of garbage"
# The stand-in: its full path is exactly 259 characters, the longest a path may be, so a
# longer value cut to fit would name it.
canary_dir="$out/canary"
canary="$canary_dir/$(head -c $((259 - ${#canary_dir} - 1)) /dev/zero | tr '\0' c)"
mkdir -p "$canary_dir"
printf '#!/bin/sh\necho "$0 $*" >>"%s/canary_started"\n' "$out" >"$canary"
chmod +x "$canary"
ini="$HOME/.config/vandrel/vandrel.ini"
# Deterministic bytes (seed $2), newlines and all: a failure can be replayed.
garbage() {
    LC_ALL=C awk -v n="$1" -v s="$2" \
        'BEGIN { srand(s); for (i = 0; i < n; i++) printf "%c", int(rand() * 256) }'
}
repeat() { head -c "$1" /dev/zero | tr '\0' "$2"; }
# Writes the settings file of the named kind.
garbage_settings() {
    case "$1" in
        valid) printf '[boot]\nClientPath=%s\nClientDir=%s\n' "$canary" "$out/client" ;;
        binary)
            # A perfect key, but before any section, amid bytes.
            garbage 3000 11
            printf '\nClientPath=%s\n' "$canary"
            garbage 3000 12
            ;;
        broken-keys)
            printf '[boot]\n'
            printf '%s\n' "Client Path=$canary" "ClientPath $canary" "ClientPath:$canary" \
                "ClientPathX=$canary" "XClientPath=$canary" ";ClientPath=$canary" \
                "#ClientPath=$canary"
            printf 'Client\0Path=%s\n' "$canary"
            printf '[boot\nClientPath=%s\n' "$canary"
            printf '[bo ot]\nClientPath=%s\n' "$canary"
            printf '[boot2]\nClientPath=%s\n' "$canary"
            printf '[]\nClientPath=%s\n' "$canary"
            ;;
        too-long) printf '[boot]\nClientPath=%s%s\n' "$canary" "$(repeat 5000 x)" ;;
        long-lines)
            # A long section name, a long key, and a value that runs past the 64 KiB read.
            printf '[boot%s]\nClientPath=%s\n' "$(repeat 3000 b)" "$canary"
            printf '[boot]\n%s=%s\n' "$(repeat 20000 k)" "$canary"
            printf 'ClientPath=%s%s\n' "$canary" "$(repeat 70000 x)"
            ;;
    esac >"$ini"
}
clear_record
for kind in valid binary broken-keys too-long long-lines; do
    garbage_settings "$kind"
    rm -f "$out/canary_started"
    "$vandrel" --window >>"$out/vandrel.log" 2>&1 &
    saver=$!
    # The worker starts at the first tick without a record: a second is plenty.
    wait_for 3 '[ -e "$out/canary_started" ]'
    if [ "$kind" = valid ]; then
        check "valid settings: the stand-in is started with -min" \
            '[ "$(cat "$out/canary_started" 2>/dev/null)" = "$canary -min" ]'
    else
        check "$kind settings: the stand-in is never started" [ ! -e "$out/canary_started" ]
    fi
    check "$kind settings: vandrel keeps running" is_running "$saver"
    kill_started TERM "$saver"
    wait_exit 10 "$saver"
    check "$kind settings: SIGTERM ends vandrel with exit code 0 (got $E2E_CODE)" \
        [ "$E2E_CODE" = 0 ]
    saver=""
done

echo "# 4. the worker's signals"
write_settings "$HOME/.config/vandrel/vandrel.ini" 0 0 "$signal_probe" "$out/client"
clear_record
odd_signals "$vandrel" --window >>"$out/vandrel.log" 2>&1 &
saver=$!
wait_for 10 '[ -s "$out/client/signals" ]'
end_started "$saver"
saver=""
echo "   the worker's signals:" $(cat "$out/client/signals")
check "the worker's signals are all at their default and none is blocked" \
    [ "$(tr -s ' \t' ' ' <"$out/client/signals")" = "$(printf 'SigBlk: 0000000000000000\nSigIgn: 0000000000000000')" ]

write_settings "$HOME/.config/vandrel/vandrel.ini" 0 0 "$out/client" "$out/client"
"$vandrel" --window 2>"$out/exec.stderr" &
saver=$!
check "a worker that cannot be started is told on stderr" \
    wait_for 5 'grep -q "cannot start the worker $out/client: Permission denied" "$out/exec.stderr"'
end_started "$saver"
saver=""

echo "# 5. lost windows and servers"
write_settings "$HOME/.config/vandrel/vandrel.ini" 0 0 /nonexistent "$out/client"
"$holder_exe" "$out/record.bin" &
holder=$!
wait_for 5 '[ -e "$SHM" ]'
# Starts vandrel with the given arguments and waits for its attach.
attached_saver() {
    "$vandrel" "$@" 2>"$out/lost.stderr" &
    saver=$!
    wait_for 10 '[ "$(rec_int 127140)" = 1 ]'
}
# Checks that vandrel ($1) ended within $2 s with exit code $3 and left saverAttached 0.
ended() {
    wait_exit "$2" "$saver"
    check "$1 ends vandrel within $2 s with exit code $3 (got $E2E_CODE)" [ "$E2E_CODE" = "$3" ]
    check "$1: saverAttached is 0 afterwards" [ "$(rec_int 127140)" = 0 ]
    # One that stays must not spoil the next case.
    end_started "$saver"
    saver=""
}
make_window 800 600 "$out/window_id"
window=$!
wait_for 10 '[ -s "$out/window_id" ]'
attached_saver --window-id "$(cat "$out/window_id")"
sleep 0.5
end_started "$window"
window=""
ended "its window destroyed" 2 0

xsetroot -solid '#ff00ff'
before=$(md5sum <"$SHM")
for case in "XSCREENSAVER_WINDOW=junk vandrel --root" "vandrel --window-id 010"; do
    env ${case/vandrel/$vandrel} 2>"$out/lost.stderr" &
    saver=$!
    ended "$case" 2 1
    check "$case: a message on stderr ($(head -1 "$out/lost.stderr"))" [ -s "$out/lost.stderr" ]
done
check "--window-id 010 is window 10 (0xa), not octal" 'grep -q "0xa\b" "$out/lost.stderr"'
shot "$out/root.png"
magenta=$(convert "$out/root.png" -fill black +opaque '#ff00ff' -fill white -opaque '#ff00ff' \
    -colorspace gray -format '%[fx:int(mean*w*h+0.5)]' info:)
check "nothing is drawn on the root window ($magenta of 480000 pixels its colour)" \
    [ "$magenta" = 480000 ]
check "nothing is written into the record" [ "$(md5sum <"$SHM")" = "$before" ]

echo "# 6. a FIFO for header.bmp, and a stuck show"
mkdir "$out/fifo" && mkfifo "$out/fifo/header.bmp"
write_settings "$HOME/.config/vandrel/vandrel.ini" 0 0 /nonexistent "$out/fifo"
"$vandrel" --idle 0.2 2>"$out/stuck.stderr" &  # 12 s between shows, more than a stall
saver=$!
wait_for 20 '[ "$(rec_int 127140)" = 1 ]' && sleep 1
xdotool key a
check "a FIFO header: a key ends the show within 2 s, and not the watcher" \
    'wait_for 2 "[ \"\$(rec_int 127140)\" = 0 ]" && is_running "$saver"'
check "the watcher outlives 12 s without a show, then shows again" \
    wait_for 20 '[ "$(rec_int 127140)" = 1 ]'
gdb -p "$saver" -batch -ex 'handle SIGALRM nostop noprint pass' \
    -ex 'call (unsigned)sleep(60)' >"$out/gdb.log" 2>&1 &
ended "a show held in sleep(60) by a debugger" 12 70

attached_saver --window
end_started "$E2E_XVFB_PID"
E2E_XVFB_PID=""
ended "the X server's end" 2 1

echo "vandrel faults: $E2E_FAILURES failure(s) in $((SECONDS - start)) s; output in $out"
[ "$E2E_FAILURES" = 0 ]
