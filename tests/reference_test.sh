#!/usr/bin/env bash
# Renders every record of the reference table with vandrel-snapshot (a .exe runs under
# Wine) and compares each picture with its reference PNG, pixel for pixel. On a
# difference it leaves NAME.actual.png and NAME.diff.png (the differing pixels magenta
# over a dimmed copy) in OUTPUT_DIR and prints their count and bounding box
# (tests/compare_images.sh).
# --update rewrites the references instead (scripts/update-references.sh runs it).
# Usage: reference_test.sh [--update] REFERENCE_DIR OUTPUT_DIR SNAPSHOT
set -u
update=0
if [ "$1" = --update ]; then
    update=1
    shift
fi
refs=$1 out=$2 snapshot=$(realpath "$3")
here=$(cd "$(dirname "$0")/.." && pwd)
source "$here/tests/e2e/lib.sh"
source "$here/tests/compare_images.sh"
need_programs convert compare identify
run=()
case "$snapshot" in *.exe) run=("$here/cmake/wine-run.sh") ;; esac

rm -rf "$out"
mkdir -p "$out/rendered" "$refs"
# Its output goes to a file: a Wine service it wakes must not hold the caller's pipe.
if ! (cd "$out/rendered" && "${run[@]}" "$snapshot" --header "$here/resources/header.bmp" \
    --cases .) >"$out/snapshot.log" 2>&1 </dev/null; then
    echo "FAIL: the snapshot command failed:"
    cat "$out/snapshot.log"
    exit 1
fi

failures=0
names=()
for actual in "$out"/rendered/*.png "$out"/rendered/*.bmp; do
    [ -f "$actual" ] || continue
    name=$(basename "${actual%.*}")
    names+=("$name")
    ref="$refs/$name.png"
    if [ "$update" = 1 ]; then
        # No time stamps or colour chunks: an unchanged picture gives an unchanged file.
        cmp -s <(convert "$ref" rgb:- 2>/dev/null) <(convert "$actual" rgb:-) ||
            convert "$actual" -strip -define png:exclude-chunks=date,time -quality 95 "png24:$ref"
        continue
    fi
    if [ ! -f "$ref" ]; then
        echo "FAIL $name: no reference $ref (scripts/update-references.sh makes it)"
        failures=$((failures + 1))
        continue
    fi
    compare_images "$name" "$ref" "$actual" "$out" || failures=$((failures + 1))
done

# A reference without a record in the table is stale.
for ref in "$refs"/*.png; do
    [ -f "$ref" ] || continue
    name=$(basename "$ref" .png)
    if [[ " ${names[*]} " != *" $name "* ]]; then
        if [ "$update" = 1 ]; then
            rm -f "$ref"
        else
            echo "FAIL $name: reference without a record in the table"
            failures=$((failures + 1))
        fi
    fi
done
[ "$update" = 1 ] && echo "references in $refs: ${#names[@]}"
[ "${#names[@]}" -gt 0 ] || { echo "FAIL: no pictures rendered"; exit 1; }
echo "$failures failure(s) in ${#names[@]} records"
[ "$failures" -eq 0 ]
