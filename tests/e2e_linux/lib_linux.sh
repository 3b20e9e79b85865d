# Sourced by the Linux end-to-end tests, after tests/e2e/lib.sh (X server, screenshots,
# checks): the record in /dev/shm, the unprivileged user, processes by name.
# The record of user $1 (this process's user without it); SHM is the one the tests
# watch: this user's, and the test user's once e2e_user has run.
shm_of() { echo "/dev/shm/vandrel_share-$(id -u ${1:+"$1"})"; }
SHM=$(shm_of)
# A run may bring a user of its own: tests that find processes by user and name then
# leave a concurrent run's alone.
E2E_USER=${E2E_USER:-vandrel-e2e}

# An int32 field of the record, by byte offset (saverAttached 127140, plotWidth 3900).
rec_int() { od -An -t d4 -j "$1" -N 4 "$SHM" 2>/dev/null | tr -d ' '; }

# Waits up to $1 seconds for the shell condition $2.
wait_for() {
    local i
    for i in $(seq $(($1 * 10))); do
        eval "$2" && return 0
        sleep 0.1
    done
    return 1
}

# Polls the shell condition $2, however slow it is, until it holds or $1 seconds have
# passed; E2E_MS is the time it took, in milliseconds.
poll_within() {
    local t0 ok limit=$(($1 * 1000))
    t0=$(date +%s%N)
    while :; do
        eval "$2" && ok=1 || ok=0
        E2E_MS=$((($(date +%s%N) - t0) / 1000000))
        [ "$ok" = 1 ] && return 0
        [ "$E2E_MS" -ge "$limit" ] && return 1
        sleep 0.05
    done
}

# Removes whatever record and workers' lock earlier runs left (a lock object made by
# another user would keep this user's worker from starting).
clear_record() { rm -f "$SHM" "$SHM.lock"; }

# The unprivileged user the daemon needs (it launches no hacks as root); made once.
e2e_user() {
    id -u "$E2E_USER" >/dev/null 2>&1 || useradd --create-home --shell /bin/sh "$E2E_USER"
    E2E_HOME=$(getent passwd "$E2E_USER" | cut -d: -f6)
    SHM=$(shm_of "$E2E_USER")
}

# Runs a command as that user with a clean environment, through a login-less runuser.
as_user() {
    runuser -u "$E2E_USER" -- env -i HOME="$E2E_HOME" USER="$E2E_USER" DISPLAY="$DISPLAY" \
        PATH=/usr/bin:/bin "$@"
}

# Like as_user, for a command started in the background (exec_as_user CMD &): $! is the
# command's own pid, since the background shell, env and setpriv each exec the next.
exec_as_user() {
    exec env -i HOME="$E2E_HOME" USER="$E2E_USER" DISPLAY="$DISPLAY" PATH=/usr/bin:/bin \
        setpriv --reuid="$E2E_USER" --regid="$E2E_USER" --init-groups "$@"
}

# Pid of the newest process of user $1 whose command name is $2 (cut to 15 characters
# by the kernel); empty when there is none. Zombies do not count (here init may be slow
# to reap what a double fork left it).
pid_of() { pgrep -r D,R,S,T -n -u "$1" -x "${2:0:15}"; }
# Every such pid, one a line.
pids_of() { pgrep -r D,R,S,T -u "$1" -x "${2:0:15}"; }

# Copies the given programs into a fresh directory that every user can read, with a
# client folder (header.bmp) beside them; prints the directory.
e2e_stage() {
    local dir
    dir=$(mktemp -d /tmp/vandrel-e2e.XXXXXX)
    chmod 755 "$dir"
    cp "$@" "$dir/"
    mkdir "$dir/client"
    cp "$(dirname "${BASH_SOURCE[0]}")/../../resources/header.bmp" "$dir/client/"
    chmod -R a+rX "$dir"
    echo "$dir"
}

# Writes a settings file. Usage: write_settings FILE BLANK MINUTES CLIENT_PATH CLIENT_DIR
# The daemon's settings: vandrel alone (program $2, with --root), shown at once on
# -activate, no lock, no fades, no splash. Usage: write_xscreensaver_settings FILE PROGRAM
write_xscreensaver_settings() {
    cat >"$1" <<XS
mode: one
selected: 0
timeout: 1:00:00
lock: False
fade: False
unfade: False
splash: False
dpmsEnabled: False
programs: "Vandrel" $2 --root \\n
XS
}

write_settings() {
    mkdir -p "$(dirname "$1")"
    printf '[boot]\nBlank=%s\nMinutes=%s\nClientPath=%s\nClientDir=%s\n' "$2" "$3" "$4" "$5" >"$1"
}

# A screenshot once the picture has settled: two shots half a second apart that agree,
# tried for up to 15 s. A record served again while the saver is still drawing it is
# drawn twice, and only the end of the second pass is the picture to compare.
settled_shot() {
    local i
    shot "$1"
    for i in $(seq 30); do
        sleep 0.5
        shot "$1.next.png"
        [ "$(compare -metric AE "$1" "$1.next.png" null: 2>&1)" = 0 ] && break
        mv "$1.next.png" "$1"
    done
    rm -f "$1.next.png"
}

# Pixels that differ between the dashboard area of screenshot $1 (canvas at $3,$4) and
# the reference rendering $2; a difference image goes next to the screenshot.
dashboard_diff() {
    convert "$1" -crop "752x445+$3+$4" +repage "${1%.png}_dashboard.png"
    compare -metric AE "${1%.png}_dashboard.png" "$2" "${1%.png}_diff.png" 2>&1
}

# A window that draws nothing itself (a program that did would draw over the saver),
# W x H at (0, 0), made through Xlib and kept until killed; its id lands in $OUT_FILE.
# Usage: make_window W H OUT_FILE (runs in the background; its pid is in $!)
make_window() {
    python3 -c '
import ctypes, sys, time
x = ctypes.CDLL("libX11.so.6")
x.XOpenDisplay.restype = ctypes.c_void_p
x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x.XDefaultRootWindow.restype = ctypes.c_ulong
x.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 4 + \
    [ctypes.c_uint, ctypes.c_ulong, ctypes.c_ulong]
x.XCreateSimpleWindow.restype = ctypes.c_ulong
x.XMapWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x.XFlush.argtypes = [ctypes.c_void_p]
d = x.XOpenDisplay(None)
w = x.XCreateSimpleWindow(d, x.XDefaultRootWindow(d), 0, 0, int(sys.argv[1]),
                          int(sys.argv[2]), 0, 0, 0x808080)
x.XMapWindow(d, w)
x.XFlush(d)
print(hex(w), flush=True)
time.sleep(3600)
' "$1" "$2" >"$3" &
}
