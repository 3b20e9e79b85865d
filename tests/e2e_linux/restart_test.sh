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
#   2. another user of this user's group squats the old global names and this user's
#      record (group-writable), its lock and .saver, holding their locks: the record is
#      not shown (nor when root's), one line on stderr names its owner; the demo worker
#      refuses the name with exit code 3, naming the owner; once the record and lock are
#      removed, a record of this user's (mode 600) is shown beside the other squats; the
#      other user's objects never change;
#   3. the demo worker killed (SIGKILL, its record left): before a saver starts, and
#      while one shows. Each time vandrel starts it again, attaches, and the record's
#      progress moves; killed once more, it is not started again (once a run).
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
    end_started "${squat:-}"
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

echo "# 2. another user's squats"
clear_record
start_saver none
sleep 2.5
shot "$out/none.png"
stop_saver "no record"
# A second user of this user's group makes the old global names and this user's record
# (group-writable, a copy of a record) and .saver, and holds their locks.
squatter="$E2E_USER-squat"
id -u "$squatter" >/dev/null 2>&1 || useradd -M -g "$(id -g "$E2E_USER")" -s /bin/sh "$squatter"
old=/dev/shm/vandrel_share
rm -f "$old" "$old".* "$SHM".*
(exec setpriv --reuid="$squatter" --regid="$(id -g "$E2E_USER")" --init-groups /usr/bin/python3 -c '
import fcntl, os, shutil, sys, time
os.umask(0)
for path, mode in [(sys.argv[1], 0o666), (sys.argv[2], 0o660)]:
    shutil.copyfile(sys.argv[3], path)
    os.chmod(path, mode)
fds = [os.open(p, os.O_RDWR | os.O_CREAT, 0o666) for p in sys.argv[4:]]
for fd in fds:
    fcntl.flock(fd, fcntl.LOCK_EX)
    fcntl.lockf(fd, fcntl.LOCK_EX)
time.sleep(3600)' "$old" "$SHM" "$stage/record1.bin" "$old.lock" "$old.saver-$(id -u "$E2E_USER")" \
    "$SHM.saver" "$SHM.lock") &
squat=$!
check "the other user holds the names" wait_for 5 '[ "$(stat -c %U "$SHM.lock" 2>/dev/null)" = "$squatter" ]'
sleep 0.5
squats() { find /dev/shm -user "$squatter" -exec stat -c '%n %a' {} + -exec md5sum {} + | sort; }
before=$(squats)
for owner in "$squatter" root; do
    chown "$owner" "$SHM"
    start_saver "$owner"
    sleep 2.5
    shot "$out/$owner.png"
    diff=$(compare -metric AE "$out/$owner.png" "$out/none.png" null: 2>&1)
    check "$owner's record: the window is as without a record ($diff pixels differ)" [ "$diff" = 0 ]
    stop_saver "$owner's record"
    check "$owner's record: one line on stderr names the owner ($(cat "$out/$owner.stderr"))" \
        '[ "$(grep -c "${SHM#/dev/shm} belongs to user $owner " "$out/$owner.stderr")" = 1 ]'
done
chown "$squatter" "$SHM"
as_user "$stage/vandrel-demo-worker" --seconds 5 2>"$out/squatted-worker.stderr"
code=$?
check "the worker refuses the squatted name with exit code 3 (got $code), naming its owner ($(cat "$out/squatted-worker.stderr"))" \
    '[ $code = 3 ] && grep -q "user $squatter " "$out/squatted-worker.stderr"'
check "the other user's objects are left as they were" '[ "$(squats)" = "$before" ]'
# The administrator removes the squatted record and lock; the old names stay, held.
rm -f "$SHM" "$SHM.lock"
before=$(squats)
hold 1
wait_for 5 '[ -e "$SHM" ]'
check "this user's record is published beside the squats, mode 600 (got $(stat -c %a "$SHM"))" \
    [ "$(stat -c %a "$SHM")" = 600 ]
start_saver beside
check "beside the squats: vandrel attaches" wait_for 10 '[ "$(rec_int 127140)" = 1 ]'
sleep 1.5
settled_shot "$out/beside.png"
diff=$(dashboard_diff "$out/beside.png" "$out/reference1.png" 24 77)
check "beside the squats: this user's dashboard is shown ($diff pixels differ)" [ "$diff" = 0 ]
stop_saver "beside the squats"
unhold
check "the other user's objects are left as they were" '[ "$(squats)" = "$before" ]'
end_started "$squat"
squat=""
rm -f "$old"* "$SHM"*

echo "# 3. a worker killed"
write_settings "$E2E_HOME/.config/vandrel/vandrel.ini" 0 0 "$stage/vandrel-demo-worker" \
    "$stage/client"
progress() { od -An -t f4 -j 3236 -N 4 "$SHM" 2>/dev/null | tr -d ' '; }
kill_worker() {
    worker=$(pid_of "$E2E_USER" vandrel-demo-worker)
    inode=$(stat -c %i "$SHM")
    kill_started KILL "$worker"
    wait "$worker" 2>/dev/null
    sleep 0.3
}
# A new worker runs ($2 1) or none ($2 0) within 3 s; with one, the dashboard moves.
runs_again() {
    wait_for 3 '[ -n "$(pid_of "$E2E_USER" vandrel-demo-worker)" ]'
    check "$1: $2 new worker(s) run (got $(pids_of "$E2E_USER" vandrel-demo-worker | wc -l))" \
        [ "$(pids_of "$E2E_USER" vandrel-demo-worker | wc -l)" = "$2" ]
    [ "$2" = 0 ] && return
    check "$1: vandrel attaches to its record" \
        wait_for 10 '[ "$(stat -c %i "$SHM")" != "$inode" ] && [ "$(rec_int 127140)" = 1 ]'
    local p
    p=$(progress)
    sleep 1
    check "$1: the dashboard moves (progress $p, then $(progress))" '[ "$(progress)" != "$p" ]'
}
clear_record
exec_as_user "$stage/vandrel-demo-worker" &
wait_for 5 '[ -e "$SHM" ]'
kill_worker
start_saver crash1
runs_again "killed before the saver" 1
stop_saver "killed before the saver"
start_saver crash2
wait_for 10 '[ "$(rec_int 127140)" = 1 ]'
kill_worker
runs_again "killed while the saver shows" 1
kill_worker
runs_again "killed again: started once a run" 0
stop_saver "killed while the saver shows"

echo "vandrel record restarts and owners: $E2E_FAILURES failure(s) in $((SECONDS - start)) s; screenshots in $out"
[ "$E2E_FAILURES" = 0 ]
