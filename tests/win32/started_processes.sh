# Sourced by the Windows screenshot scripts: ends, on any way out, only the saver and the
# record holder they started ($scr_pid, $share_pid), by id, through tests/e2e/lib.sh's
# guards (an empty id must never become "kill 0").
source "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib.sh"
stop_started() {
    end_started "${scr_pid:-}"
    end_started "${share_pid:-}"
    return 0
}
e2e_on_exit stop_started
