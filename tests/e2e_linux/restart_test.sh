#!/usr/bin/env bash
# The record coming and going, and records of other users, with vandrel --window run as
# an unprivileged user on an 800 x 600 Xvfb of its own; ClientPath is a stand-in that
# notes each start:
#   1. a worker that restarts: vandrel starts the worker once (no record yet), shows the
#      record that then comes; the worker ends (the record removed) and a new one
#      publishes another record; later the new worker is killed (its record left behind)
#      and a third replaces the object. Each time, within 3 s of the new object, the
#      window shows the new record, equal to its snapshot, and saverAttached is 1 in the
#      new object; the worker is never started again. The times are printed.
#   2. a record of another user (nobody, mode 0666) counts as missing: nothing in it
#      changes, the window is what it is without a record, one line on stderr names the
#      owner; root's record is shown;
#   3. the demo worker makes its record readable by its user alone (mode 600).
# Needs root (a user of its own, chown); exits 77, skipped, without it.
# Usage: restart_test.sh vandrel vandrel-demo-worker vandrel_record_holder
#                        vandrel-snapshot OUT_DIR
set -u
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../e2e/lib.sh"
source "$here/lib_linux.sh"
need_root "to make a user and run vandrel as it"
need_programs runuser setpriv useradd md5sum od xwd convert compare
snapshot="$4"
out="$5"
rm -rf "$out"
mkdir -p "$out"
stage=$(e2e_stage "$1" "$2" "$3")
cleanup() {
    end_started "${saver:-}" 2
    end_started "${holder:-}"
    end_started "${worker:-}"
    clear_record
    rm -rf "$stage"
    e2e_cleanup
}
e2e_on_exit cleanup
e2e_xvfb 800x600 || { echo "skipped: no X server could be started"; exit 77; }
e2e_user
start=$SECONDS

printf '#!/bin/sh\necho started >>"%s/started"\n' "$stage" >"$stage/worker.sh"
chmod 755 "$stage/worker.sh"
chmod 777 "$stage"
write_settings "$E2E_HOME/.config/vandrel/vandrel.ini" 0 0 "$stage/worker.sh" "$stage/client"
chown -R "$E2E_USER:" "$E2E_HOME/.config"
for seed in 1 2 3; do
    "$snapshot" --demo --seed $seed --header "$stage/client/header.bmp" \
        --write-record "$stage/record$seed.bin" "$out/reference$seed.png"
done
chmod a+r "$stage"/record*.bin
starts() { cat "$stage/started" 2>/dev/null | wc -l; }

# Starts a holder of record $1 as the user (as root with a second argument "root").
hold() {
    if [ "${2:-}" = root ]; then
        "$stage/vandrel_record_holder" "$stage/record$1.bin" &
    else
        exec_as_user "$stage/vandrel_record_holder" "$stage/record$1.bin" &
    fi
    holder=$!
}
unhold() {
    kill_started "${1:-TERM}" "$holder"
    wait "$holder" 2>/dev/null
    holder=""
}
start_saver() {
    exec_as_user "$stage/vandrel" --window 2>"$out/$1.stderr" &
    saver=$!
}
stop_saver() {
    kill_started TERM "$saver"
    wait_exit 5 "$saver"
    check "$1: SIGTERM ends vandrel with exit code 0 (got $E2E_CODE)" [ "$E2E_CODE" = 0 ]
    saver=""
}
# Pixels differing between a fresh screenshot $1's dashboard and the reference $2.
shot_diff() {
    shot "$1"
    dashboard_diff "$1" "$2" 24 77
}

echo "# 1. a worker that restarts"
clear_record
start_saver restart
check "without a record vandrel starts the worker" wait_for 10 '[ "$(starts)" = 1 ]'
hold 1
check "vandrel attaches to the record that comes" wait_for 10 '[ "$(rec_int 127140)" = 1 ]'
sleep 1.5
settled_shot "$out/first.png"
diff=$(dashboard_diff "$out/first.png" "$out/reference1.png" 24 77)
check "the first record is shown ($diff pixels differ)" [ "$diff" = 0 ]

# Replaces the record the way $1 says and waits for the window to show record $2.
replace() {
    local how=$1 seed=$2 inode
    inode=$(stat -c %i "$SHM" 2>/dev/null)
    if [ "$how" = ends ]; then
        unhold TERM
        check "the worker's end removes its record" '[ ! -e "$SHM" ]'
        sleep 1
    else
        unhold KILL
    fi
    hold "$seed"
    poll_within 2 '[ -e "$SHM" ] && [ "$(stat -c %i "$SHM")" != "$inode" ]'
    poll_within 5 '[ "$(shot_diff "$out/record$seed.png" "$out/reference$seed.png")" = 0 ]'
    local shown=$? took=$E2E_MS
    [ $shown = 0 ] && echo "   worker $how: the new record showed $took ms after its object was made"
    check "worker $how: within 3 s the new record is shown ($took ms; $(dashboard_diff "$out/record$seed.png" "$out/reference$seed.png" 24 77) pixels differ)" \
        '[ $shown = 0 ] && [ $took -le 3000 ]'
    check "worker $how: saverAttached is 1 in the new object" [ "$(rec_int 127140)" = 1 ]
}
replace ends 2
replace killed 3
sleep 2
check "the worker was started once in all ($(starts) times)" [ "$(starts)" = 1 ]
check "vandrel keeps running" is_running "$saver"
stop_saver restart
check "saverAttached is 0 afterwards" [ "$(rec_int 127140)" = 0 ]
unhold

echo "# 2. records of other users"
clear_record
start_saver none
sleep 2.5
shot "$out/none.png"
stop_saver "no record"
hold 1 root
wait_for 5 '[ -e "$SHM" ]'
chmod 666 "$SHM"
chown nobody "$SHM"
before=$(md5sum <"$SHM")
start_saver nobody
sleep 2.5
shot "$out/nobody.png"
diff=$(compare -metric AE "$out/nobody.png" "$out/none.png" null: 2>&1)
check "nobody's record: the window is as without a record ($diff pixels differ)" [ "$diff" = 0 ]
check "nobody's record: nothing in it changes (saverAttached $(rec_int 127140))" \
    '[ "$(md5sum <"$SHM")" = "$before" ]'
stop_saver "nobody's record"
echo "   stderr: $(cat "$out/nobody.stderr")"
check "nobody's record: one line on stderr names the owner" \
    '[ "$(grep -c nobody "$out/nobody.stderr")" = 1 ]'
chown root "$SHM"
start_saver root
check "root's record: vandrel attaches" wait_for 10 '[ "$(rec_int 127140)" = 1 ]'
sleep 1.5
settled_shot "$out/root.png"
diff=$(dashboard_diff "$out/root.png" "$out/reference1.png" 24 77)
check "root's record is shown ($diff pixels differ)" [ "$diff" = 0 ]
stop_saver "root's record"
unhold

echo "# 3. the demo worker's record"
clear_record
exec_as_user "$stage/vandrel-demo-worker" --seconds 10 &
worker=$!
wait_for 5 '[ -e "$SHM" ]'
check "the demo worker's record has mode 600 (got $(stat -c %a "$SHM"))" \
    [ "$(stat -c %a "$SHM")" = 600 ]
end_started "$worker"
worker=""

echo "vandrel record restarts and owners: $E2E_FAILURES failure(s) in $((SECONDS - start)) s; screenshots in $out"
[ "$E2E_FAILURES" = 0 ]
