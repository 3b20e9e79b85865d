#!/usr/bin/env bash
# Exercises vandrel-snapshot as a user would: arguments, refused record files, exit
# codes and the files it writes. Usage: snapshot_cli.sh PATH/TO/vandrel-snapshot
set -u
snapshot=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# expect CODE DESCRIPTION -- COMMAND...: the exit code, and for errors one stderr line.
expect() {
    local code=$1 what=$2
    shift 3
    "$@" >"$work/stdout" 2>"$work/stderr"
    local got=$?
    if [ "$got" -ne "$code" ]; then
        echo "FAIL: $what: exit code $got, expected $code"
        cat "$work/stderr"
        failures=$((failures + 1))
    elif [ "$code" -ne 0 ] && [ "$(wc -l <"$work/stderr")" -ne 1 ]; then
        echo "FAIL: $what: expected one line on stderr, got:"
        cat "$work/stderr"
        failures=$((failures + 1))
    else
        echo "ok: $what"
    fi
}

expect 0 "--help" -- "$snapshot" --help
grep -q "Usage: vandrel-snapshot" "$work/stdout" || { echo "FAIL: --help prints no usage"; failures=$((failures + 1)); }
expect 2 "no arguments" -- "$snapshot"
expect 2 "one file only" -- "$snapshot" "$work/a.bin"
expect 2 "unknown option" -- "$snapshot" --frobnicate "$work/a.bin" "$work/a.png"
expect 2 "--seed without a number" -- "$snapshot" --demo --seed x "$work/a.png"
expect 2 "--cases with a record file" -- "$snapshot" --cases "$work" "$work/a.bin"
expect 2 "--write-record without --demo" -- "$snapshot" --write-record "$work/r.bin" "$work/a.bin" "$work/a.png"
expect 2 "missing record file" -- "$snapshot" "$work/missing.bin" "$work/a.png"
expect 2 "a directory as record" -- "$snapshot" "$work" "$work/a.png"
head -c 127147 /dev/zero >"$work/short.bin"
expect 2 "record one byte short" -- "$snapshot" "$work/short.bin" "$work/short.png"
: >"$work/empty.bin"
expect 2 "empty record" -- "$snapshot" "$work/empty.bin" "$work/empty.png"
[ ! -e "$work/short.png" ] && [ ! -e "$work/empty.png" ] || { echo "FAIL: a refused record left a PNG"; failures=$((failures + 1)); }

head -c 127148 /dev/zero >"$work/zero.bin"
expect 0 "zero record of exactly 127148 bytes" -- "$snapshot" "$work/zero.bin" "$work/zero.png"
head -c 200000 /dev/zero >"$work/long.bin"
expect 0 "longer record" -- "$snapshot" "$work/long.bin" "$work/long.png"
cmp -s "$work/zero.png" "$work/long.png" || { echo "FAIL: bytes after the record changed the picture"; failures=$((failures + 1)); }
head -c 127148 /dev/urandom >"$work/noise.bin"
expect 0 "random record" -- "$snapshot" "$work/noise.bin" "$work/noise.png"
expect 1 "unwritable output" -- "$snapshot" "$work/zero.bin" "$work/no-such-dir/out.png"

# The demo, its saved record rendered again, and a different seed.
expect 0 "--demo with --write-record" -- "$snapshot" --demo --write-record "$work/demo.bin" "$work/demo.png"
[ "$(stat -c %s "$work/demo.bin")" -eq 127148 ] || { echo "FAIL: saved record is not 127148 bytes"; failures=$((failures + 1)); }
expect 0 "saved demo record" -- "$snapshot" "$work/demo.bin" "$work/again.png"
cmp -s "$work/demo.png" "$work/again.png" || { echo "FAIL: the saved record renders differently"; failures=$((failures + 1)); }
expect 0 "--demo --message" -- "$snapshot" --demo --message "$work/message.png"
cmp -s "$work/demo.png" "$work/message.png" && { echo "FAIL: --message changed nothing"; failures=$((failures + 1)); }
expect 0 "--demo --seed 9" -- "$snapshot" --demo --seed 9 "$work/seed9.png"
cmp -s "$work/demo.png" "$work/seed9.png" && { echo "FAIL: --seed changed nothing"; failures=$((failures + 1)); }
# PNG signature, then the IHDR's width and height: 752 x 445.
[ "$(head -c 24 "$work/demo.png" | od -An -tx1 | tr -d ' \n')" = "89504e470d0a1a0a0000000d49484452000002f0000001bd" ] || { echo "FAIL: demo.png is not a 752 x 445 PNG"; failures=$((failures + 1)); }

echo "$failures failure(s)"
[ "$failures" -eq 0 ]
