#!/usr/bin/env bash
# Rewrites the reference images (tests/reference/linux and windows) from the current
# code, after a deliberate change to what the dashboard shows. Review them with
# `git diff --stat tests/reference` and commit them with the change.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux -j2 --target vandrel-snapshot
bash tests/reference_test.sh --update tests/reference/linux build/linux/tools/reference \
    build/linux/tools/vandrel-snapshot
cmake --preset windows >/dev/null
cmake --build --preset windows -j2 --target vandrel-snapshot
VANDREL_WINEPREFIX="$PWD/build/windows/wineprefix" bash tests/reference_test.sh --update \
    tests/reference/windows build/windows/tools/reference build/windows/tools/vandrel-snapshot.exe
git status --short tests/reference
