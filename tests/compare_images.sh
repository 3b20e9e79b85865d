#!/usr/bin/env bash
# Sourced: compare_images NAME REFERENCE ACTUAL OUTPUT_DIR compares two 752 x 445
# pictures pixel for pixel (ImageMagick). On a difference it leaves NAME.actual.png and
# NAME.diff.png (the differing pixels magenta over a dimmed copy) in OUTPUT_DIR and
# prints their count and bounding box; it returns 1 then, and 0 when they are equal.
compare_images() {
    local name=$1 ref=$2 actual=$3 out=$4
    local mask="$out/$name.mask.png" error="$out/$name.error" count size box
    # Differing pixels are white in the mask; its mean counts them, trim finds their box.
    convert "$ref" "$actual" -compose difference -composite -separate \
        -evaluate-sequence max -threshold 0 "$mask" 2>"$error"
    count=$(convert "$mask" -format '%[fx:int(mean*w*h+0.5)]' info: 2>>"$error")
    size=$(identify -format '%wx%h' "$actual" 2>/dev/null)
    local result=1
    if [ "$size" != 752x445 ] || [ -s "$error" ] || [ -z "$count" ]; then
        echo "FAIL $name: cannot compare ($size): $(head -c 300 "$error")"
    elif [ "$count" -ne 0 ]; then
        box=$(convert "$mask" -trim -format '%wx%h at (%X,%Y)' info:)
        convert "$actual" "$out/$name.actual.png"
        convert \( "$actual" -fill black -colorize 65% \) \( "$actual" -fill magenta \
            -colorize 100% \) "$mask" -composite "$out/$name.diff.png"
        echo "FAIL $name: $count pixels differ, within ${box//+/} ($out/$name.diff.png)"
    else
        echo "ok $name"
        result=0
    fi
    rm -f "$mask" "$error"
    return "$result"
}
