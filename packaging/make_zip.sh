#!/usr/bin/env bash
# Stages the release files and zips them.
# Usage: make_zip.sh STAGE_DIR OUT.zip Vandrel.scr worker.exe header.bmp TEXT_FILES...
# Text files get Windows line ends, so every editor on Windows shows them right.
set -euo pipefail
stage="$1" out="$2" scr="$3" worker="$4" header="$5"
shift 5
rm -rf "$stage"
mkdir -p "$stage" "$(dirname "$out")"
cp "$scr" "$stage/Vandrel.scr"
cp "$worker" "$stage/vandrel-demo-worker.exe"
cp "$header" "$stage/header.bmp"
for text in "$@"; do
    sed 's/\r$//; s/$/\r/' "$text" >"$stage/$(basename "$text")"
done
# Fixed times keep the archive the same from build to build.
touch -d '2026-01-01 00:00:00 UTC' "$stage" "$stage"/*
rm -f "$out"
(cd "$(dirname "$stage")" && zip -q -X -r "$out" "$(basename "$stage")")
