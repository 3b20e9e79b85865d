#!/usr/bin/env bash
# Renders every record of the reference table with vandrel-snapshot (a .exe runs under
# Wine) and compares each picture with its reference PNG, pixel for pixel. On a
# difference it leaves NAME.actual.png and NAME.diff.png (the differing pixels magenta
# over a dimmed copy) in OUTPUT_DIR and prints their count and bounding box.
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
run=()
case "$snapshot" in *.exe) run=("$here/cmake/wine-run.sh") ;; esac

rm -rf "$out"
mkdir -p "$out/rendered" "$refs"
if ! (cd "$out/rendered" && "${run[@]}" "$snapshot" --header "$here/resources/header.bmp" --cases .); then
    echo "FAIL: the snapshot command failed"
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
    # Differing pixels are white in the mask; AE counts them, trim finds their box.
    convert "$ref" "$actual" -compose difference -composite -separate \
        -evaluate-sequence max -threshold 0 "$out/$name.mask.png" 2>"$out/$name.error"
    count=$(convert "$out/$name.mask.png" -format '%[fx:int(mean*w*h+0.5)]' info: 2>>"$out/$name.error")
    size=$(identify -format '%wx%h' "$actual" 2>/dev/null)
    if [ "$size" != 752x445 ] || [ -s "$out/$name.error" ] || [ -z "$count" ]; then
        echo "FAIL $name: cannot compare ($size): $(head -c 300 "$out/$name.error")"
        failures=$((failures + 1))
    elif [ "$count" -ne 0 ]; then
        box=$(convert "$out/$name.mask.png" -trim -format '%wx%h at (%X,%Y)' info:)
        convert "$actual" "$out/$name.actual.png"
        # Magenta where the mask is white, over the picture dimmed to a third.
        convert \( "$actual" -fill black -colorize 65% \) \( "$actual" -fill magenta \
            -colorize 100% \) "$out/$name.mask.png" -composite "$out/$name.diff.png"
        echo "FAIL $name: $count pixels differ, within ${box//+/} ($out/$name.diff.png)"
        failures=$((failures + 1))
    else
        echo "ok $name"
    fi
    rm -f "$out/$name.mask.png" "$out/$name.error"
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
