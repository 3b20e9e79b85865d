#!/usr/bin/env bash
# vandrel's settings path and its check of the record's size, on an Xvfb of its own,
# with stand-in workers that note how they were started:
#   1. $XDG_CONFIG_HOME/vandrel/vandrel.ini wins over ~/.config/vandrel/vandrel.ini, which
#      is read when XDG_CONFIG_HOME is unset; the worker gets -min and runs in ClientDir;
#   2. a /vandrel_share smaller than the record is treated as missing: the worker is
#      started and nothing is written into the object;
#   3. a settings file of garbage: vandrel starts nothing, keeps running, and SIGTERM
#      ends it with exit code 0.
# Usage: fault_test.sh vandrel vandrel_record_holder vandrel-snapshot OUT_DIR
set -u
vandrel="$1"
holder_exe="$2"
snapshot="$3"
out="$4"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../e2e/lib.sh"
source "$here/lib_linux.sh"
rm -rf "$out"
mkdir -p "$out/home" "$out/xdg" "$out/client"
cleanup() {
    [ -n "${saver:-}" ] && kill -9 "$saver" 2>/dev/null
    [ -n "${holder:-}" ] && kill "$holder" 2>/dev/null && wait "$holder"
    clear_record
    e2e_cleanup
}
trap cleanup EXIT
e2e_xvfb 800x600 || exit 1
start=$SECONDS
export HOME="$out/home"
unset XDG_CONFIG_HOME XSCREENSAVER_WINDOW

# Stand-in workers: each writes its name, its arguments and its directory, then ends.
for name in xdg home; do
    printf '#!/bin/sh\necho "%s $* in $PWD" >>"%s/started"\n' "$name" "$out" >"$out/$name.sh"
    chmod +x "$out/$name.sh"
done
write_settings "$out/xdg/vandrel/vandrel.ini" 0 0 "$out/xdg.sh" "$out/client"
write_settings "$HOME/.config/vandrel/vandrel.ini" 0 0 "$out/home.sh" "$out/client"

# Runs vandrel --window until a worker has been started (or 10 s), then ends it.
run_saver() {
    rm -f "$out/started"
    "$vandrel" --window >>"$out/vandrel.log" 2>&1 &
    saver=$!
    wait_for 10 '[ -s "$out/started" ]'
    sleep 0.5
    started=$(cat "$out/started" 2>/dev/null)
    check "$1: vandrel keeps running" kill -0 "$saver"
    kill -TERM "$saver"
    wait_exit 10 "$saver"
    check "$1: SIGTERM ends vandrel with exit code 0 (got $E2E_CODE)" [ "$E2E_CODE" = 0 ]
    saver=""
}

echo "# 1. the settings path"
clear_record
XDG_CONFIG_HOME="$out/xdg" run_saver "XDG_CONFIG_HOME set"
check "the worker of \$XDG_CONFIG_HOME/vandrel/vandrel.ini starts, with -min, in ClientDir" \
    [ "$started" = "xdg -min in $out/client" ]
run_saver "XDG_CONFIG_HOME unset"
check "the worker of ~/.config/vandrel/vandrel.ini starts, with -min, in ClientDir" \
    [ "$started" = "home -min in $out/client" ]

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
kill "$holder"
wait "$holder"
holder=""

echo "# 3. a settings file of garbage"
LC_ALL=C awk 'BEGIN { srand(11); for (i = 0; i < 4000; i++) printf "%c", int(rand() * 256) }' \
    >"$HOME/.config/vandrel/vandrel.ini"
rm -f "$out/started"
"$vandrel" --window >>"$out/vandrel.log" 2>&1 &
saver=$!
sleep 3
check "garbage settings: vandrel keeps running" kill -0 "$saver"
check "garbage settings: no worker is started" [ ! -e "$out/started" ]
kill -TERM "$saver"
wait_exit 10 "$saver"
check "garbage settings: SIGTERM ends vandrel with exit code 0 (got $E2E_CODE)" [ "$E2E_CODE" = 0 ]
saver=""

echo "vandrel faults: $E2E_FAILURES failure(s) in $((SECONDS - start)) s; output in $out"
[ "$E2E_FAILURES" = 0 ]
