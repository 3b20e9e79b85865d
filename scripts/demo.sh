#!/usr/bin/env bash
# Builds the native snapshot command and renders the demo dashboard to demo.png.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux -j"$(nproc)" --target vandrel-snapshot
build/linux/tools/vandrel-snapshot --demo --header resources/header.bmp demo.png
echo "Wrote demo.png"
