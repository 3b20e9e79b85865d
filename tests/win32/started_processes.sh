# Sourced by the Windows screenshot scripts: ends, on exit, only the saver and the record
# holder they started ($scr_pid, $share_pid), by id (an empty id must never become
# "kill 0").
stop_started() {
    local pid
    for pid in ${scr_pid:-} ${share_pid:-}; do
        [ -n "$pid" ] && [ "$pid" -gt 1 ] && kill "$pid" 2>/dev/null
    done
    return 0
}
trap stop_started EXIT
