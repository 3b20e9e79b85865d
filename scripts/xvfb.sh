#!/usr/bin/env bash
# Sourced: starts an Xvfb of the given size on a free display unless one is given,
# exports DISPLAY and stops it when the calling script exits.
source "$(dirname "${BASH_SOURCE[0]}")/../tests/e2e/lib.sh"
vandrel_start_xvfb() {
    local size="${1:-1024x768x24}"
    local n
    for n in $(seq 77 120); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 "$size" -nolisten tcp >/dev/null 2>&1 &
        VANDREL_XVFB_PID=$!
        export DISPLAY=":$n"
        for _ in $(seq 50); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            sleep 0.1
        done
        e2e_on_exit 'end_started "$VANDREL_XVFB_PID"'
        return 0
    done
    echo "error: no free X display for Xvfb" >&2
    return 1
}
