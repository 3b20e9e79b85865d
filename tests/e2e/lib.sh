# Sourced by the end-to-end tests and by scripts/demo.sh: a Wine prefix and an X display
# of their own, screenshots and pixel checks.
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
E2E_XVFB_PID=""
E2E_FAILURES=0

# Makes the prefix once (without Mono and Gecko, so Wine never asks to download them)
# and keeps one wineserver alive while the script runs. Whatever an earlier run left
# running in the prefix (the prefix belongs to these scripts alone) ends first, so a
# stale worker cannot hold the record or the worker's mutex.
e2e_prefix() {
    if [ ! -x "$WINE" ]; then
        echo "skipped: Wine ($WINE) is not installed"
        exit 77
    fi
    export WINEPREFIX="$1"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=d"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        (
            flock 9
            if [ ! -f "$WINEPREFIX/system.reg" ]; then
                echo "making the Wine prefix $WINEPREFIX"
                "$WINE" wineboot -i >/dev/null 2>&1
                # A fresh prefix has no "Arial"; Liberation Sans is its metric twin.
                "$WINE" reg add 'HKCU\Software\Wine\Fonts\Replacements' /v Arial \
                    /d 'Liberation Sans' /f >/dev/null 2>&1
                "$WINESERVER" -w
            fi
        ) 9>"$WINEPREFIX.lock"
    fi
    # No server may be running yet: these fail then, which is fine under set -e too.
    "$WINESERVER" -k 2>/dev/null || true
    "$WINESERVER" -w 2>/dev/null || true
    "$WINESERVER" -p || true
    # Windows opens .txt files with Notepad; a fresh Wine prefix has the txtfile class but
    # no .txt extension pointing at it, so the saver's help key would find no viewer.
    if ! grep -q '^\[Software\\\\Classes\\\\.txt\]' "$WINEPREFIX/system.reg"; then
        "$WINE" reg add 'HKCR\.txt' /ve /d txtfile /f >/dev/null 2>&1
    fi
}

# True when $1 can name a process a test started: digits only, above 1. An empty id, 0
# or a negative one would make kill signal a whole process group (the test's own, and
# the test command with it), 1 is init.
started_pid() { [[ "${1:-}" =~ ^[0-9]+$ ]] && [ "$1" -gt 1 ]; }

# Sends signal $1 (TERM, KILL, ...) to process $2, which the test started; refuses, with
# a message and status 1, any id that cannot be one.
kill_started() {
    if ! started_pid "${2:-}"; then
        echo "kill_started: refusing to signal '${2:-}', not a started process" >&2
        return 1
    fi
    kill -s "$1" "$2" 2>/dev/null
}

# True while the process $1 that the test started runs (false for an empty or 0 id,
# where kill -0 would ask about the process group and always answer yes).
is_running() { started_pid "${1:-}" && kill -0 "$1" 2>/dev/null; }

# Ends a child process the test started: SIGTERM, SIGKILL after $2 seconds (default 5),
# then reaps it so the shell reports nothing. Quiet and harmless for an empty id.
end_started() {
    local pid="${1:-}" i
    started_pid "$pid" || return 0
    kill_started TERM "$pid" || return 0
    for i in $(seq $((${2:-5} * 10))); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill_started KILL "$pid" || true
    wait "$pid" 2>/dev/null || true
    return 0
}

# Cleanup on every way out: the function $1 runs on exit, and SIGTERM, SIGINT and SIGHUP
# (ctest's timeout, ^C) end the script through it instead of skipping it.
e2e_on_exit() {
    trap "$1" EXIT
    trap 'exit 143' TERM
    trap 'exit 130' INT
    trap 'exit 129' HUP
}

# Exits 77 (skipped, for ctest's SKIP_RETURN_CODE) when a program the test needs is
# missing here; a missing program is this machine's lack, not the saver's fault.
need_programs() {
    local program
    for program in "$@"; do
        if ! command -v "$program" >/dev/null 2>&1; then
            echo "skipped: $program is not installed"
            exit 77
        fi
    done
}

# Exits 77 unless the script runs as root ($1 says what for).
need_root() {
    if [ "$(id -u)" != 0 ]; then
        echo "skipped: needs root $1"
        exit 77
    fi
}

# Ends every Wine process of the prefix and the X server this script started.
e2e_cleanup() {
    if [ -n "${WINEPREFIX:-}" ]; then
        "$WINESERVER" -k 2>/dev/null || true
        "$WINESERVER" -w 2>/dev/null || true
    fi
    end_started "$E2E_XVFB_PID"
    E2E_XVFB_PID=""
    return 0
}

# Starts Xvfb with the given screen size on the first free display of the range in
# VANDREL_E2E_DISPLAYS ("first last", default "100 140") and exports DISPLAY. -noreset:
# the server would start anew whenever its last client goes, refusing whoever connects
# in that moment (a watcher started right after a test's saver ended).
e2e_xvfb() {
    e2e_x_server Xvfb -screen 0 "${1}x24" -nolisten tcp -noreset
}

# Starts the X server command $1 with the rest of the arguments after its display, on
# the first free display of VANDREL_E2E_DISPLAYS, waits until it answers and exports
# DISPLAY; its process id lands in E2E_XVFB_PID. Without the server's program the test
# is skipped (exit 77); a server that never answers is ended before the next display.
e2e_x_server() {
    local server="$1" first last n
    shift
    need_programs "$server" xdpyinfo xwd convert compare
    read -r first last <<<"${VANDREL_E2E_DISPLAYS:-100 140}"
    for n in $(seq "$first" "$last"); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        "$server" ":$n" "$@" >/dev/null 2>&1 &
        E2E_XVFB_PID=$!
        export DISPLAY=":$n"
        for _ in $(seq 100); do
            xdpyinfo -display "$DISPLAY" >/dev/null 2>&1 && return 0
            is_running "$E2E_XVFB_PID" || break
            sleep 0.1
        done
        end_started "$E2E_XVFB_PID"
        E2E_XVFB_PID=""
    done
    echo "error: no free X display in ${first}..${last} for $server" >&2
    return 1
}

# Starts Xorg with the dummy video driver on a free display of the same range, with
# room for monitors up to $1 x $2 in all, and exports DISPLAY. Unlike Xvfb it shows
# Wine each monitor that xrandr switches on. Needs root, as Xorg does.
e2e_xorg_dummy() {
    local dir="$3"
    mkdir -p "$dir/xorg.conf.d"
    cat >"$dir/xorg.conf" <<CONF
Section "Device"
    Identifier "dummy"
    Driver "dummy"
    VideoRam 256000
EndSection
Section "Monitor"
    Identifier "monitor"
    HorizSync 5.0 - 1000.0
    VertRefresh 5.0 - 200.0
EndSection
Section "Screen"
    Identifier "screen"
    Device "dummy"
    Monitor "monitor"
    DefaultDepth 24
    SubSection "Display"
        Depth 24
        Virtual $1 $2
    EndSubSection
EndSection
CONF
    e2e_x_server Xorg -config "$dir/xorg.conf" -configdir "$dir/xorg.conf.d" -noreset \
        -nolisten tcp -logfile "$dir/xorg.log"
}

# Switches the dummy server's monitors: the primary alone, or with a second one right
# or left of it. Usage: e2e_monitors PRIMARY_MODE [SECOND_MODE right|left]
e2e_monitors() {
    if [ -z "${2:-}" ]; then
        xrandr --output DUMMY1 --off --output DUMMY0 --mode "$1" --pos 0x0
    else
        xrandr --addmode DUMMY1 "$2" 2>/dev/null
        xrandr --output DUMMY0 --mode "$1" --output DUMMY1 --mode "$2" "--$3-of" DUMMY0
    fi
    # A query after the change makes the server probe its outputs again: Wine asks for
    # the current state only, which until then lacks the monitor just switched on.
    xrandr >/dev/null
}

# Pids of this script's Wine prefix whose command line matches the extended regular
# expression $1: another test's prefix may run the same programs at the same time.
prefix_pids() {
    local p
    for p in $(pgrep -f "$1"); do
        if grep -qzx "WINEPREFIX=$WINEPREFIX" "/proc/$p/environ" 2>/dev/null; then
            echo "$p"
        fi
    done
    return 0
}

# The Windows name of a Unix path, through the prefix's Z: drive.
winpath() {
    local p
    p="$(realpath -m "$1")"
    echo "Z:${p//\//\\}"
}

# Writes vandrel.ini into the prefix's Windows directory.
# Usage: write_ini BLANK MINUTES CLIENT_PATH CLIENT_DIR (Windows paths)
write_ini() {
    printf '[boot]\r\nBlank=%s\r\nMinutes=%s\r\nClientPath=%s\r\nClientDir=%s\r\n' \
        "$1" "$2" "$3" "$4" >"$WINEPREFIX/drive_c/windows/vandrel.ini"
}

# Screenshot of the whole X screen as PNG.
shot() {
    xwd -root -silent -display "$DISPLAY" | convert xwd:- png:"$1"
}

# "r g b" of one pixel.
pixel() {
    convert "$1" -format "%[fx:int(255*p{$2,$3}.r+0.5)] %[fx:int(255*p{$2,$3}.g+0.5)] %[fx:int(255*p{$2,$3}.b+0.5)]" info:
}

# Number of pixels that are not black in the rectangle X Y W H.
count_lit() {
    convert "$1" -crop "$4x$5+$2+$3" +repage -fill white +opaque black -colorspace gray \
        -format '%[fx:int(mean*w*h+0.5)]' info:
}

# Number of strongly coloured pixels (channels far apart, unlike black, white or the
# grey of smoothed text) in the rectangle X Y W H.
count_coloured() {
    convert "$1" -crop "$4x$5+$2+$3" +repage -colorspace HSL -channel G -separate \
        -threshold 40% -format '%[fx:int(mean*w*h+0.5)]' info:
}

# Bounding box "w h x y" of what is not black in the image.
lit_box() {
    local box
    box=$(convert "$1" -fuzz 0 -trim -format '%w %h %X %Y' info: 2>/dev/null)
    echo "${box//+/}"
}

# The value of KEY in the key=value lines TEXT (what the record probe prints).
# Usage: field KEY TEXT
field() { sed -n "s/^$1=//p" <<<"$2"; }

# Runs the record probe ($probe_exe) without Wine's carriage returns; returns its code.
probe() {
    "$WINE" "$probe_exe" "$@" | tr -d '\r'
    return "${PIPESTATUS[0]}"
}

# check DESCRIPTION COMMAND [ARGS...], or check DESCRIPTION 'SHELL CONDITION' (evaluated).
check() {
    local what="$1" ok
    shift
    if [ $# = 1 ]; then
        eval "$1" && ok=1 || ok=0
    else
        "$@" && ok=1 || ok=0
    fi
    if [ "$ok" = 1 ]; then
        echo "ok   - $what"
    else
        echo "FAIL - $what"
        E2E_FAILURES=$((E2E_FAILURES + 1))
    fi
}

# Waits up to $1 seconds for process $2 to end; its exit code lands in E2E_CODE.
wait_exit() {
    local limit="$1" pid="${2:-}" i
    if ! started_pid "$pid"; then
        E2E_CODE="no process"
        return 1
    fi
    for i in $(seq $((limit * 10))); do
        if ! kill -0 "$pid" 2>/dev/null; then
            # Safe under set -e too: the code is a result here, not a failure.
            wait "$pid" && E2E_CODE=0 || E2E_CODE=$?
            return 0
        fi
        sleep 0.1
    done
    E2E_CODE=timeout
    return 1
}
