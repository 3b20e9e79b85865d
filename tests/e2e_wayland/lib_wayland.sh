# Sourced by the Wayland end-to-end tests and scripts/demo_wayland.sh, after
# tests/e2e/lib.sh (checks) and tests/e2e_linux/lib_linux.sh (the user, the record):
# a headless sway, weston, KWin or GNOME Shell of the test's own, run as the unprivileged user
# (sway refuses root), its screenshots and the pictures they are compared with.
WL_COMPOSITOR_PID=""
WL_RUNTIME=""
WL_HELPER_PIDS=""

# A fresh XDG_RUNTIME_DIR of the user's, mode 0700 as compositors demand; exported, so
# that grim, swaymsg and wtype (run as root) find the compositor there too.
wl_runtime() {
    WL_RUNTIME=$(mktemp -d /tmp/vandrel-wl.XXXXXX)
    chown "$E2E_USER:" "$WL_RUNTIME"
    chmod 700 "$WL_RUNTIME"
    export XDG_RUNTIME_DIR="$WL_RUNTIME"
}

# Like exec_as_user, with the compositor's runtime directory and socket.
wl_exec_as_user() {
    exec_as_user env XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" \
        ${WAYLAND_DISPLAY:+WAYLAND_DISPLAY="$WAYLAND_DISPLAY"} \
        ${DBUS_SESSION_BUS_ADDRESS:+DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS"} "$@"
}
wl_as_user() { (wl_exec_as_user "$@"); }

# Checks that vandrel ($saver) ended within 3 s with exit code $1 and left the record; one still
# running is ended, so that it cannot spoil the checks after it.
ended() {
    wait_exit 3 "$saver"
    check "$2: vandrel ends with exit code $1 (got $E2E_CODE)" [ "$E2E_CODE" = "$1" ]
    if [ "$E2E_CODE" = timeout ]; then
        kill_started TERM "$saver"
        wait "$saver"
    fi
    check "$2: saverAttached is 0 afterwards" wait_for 2 '[ "$(rec_int 127140)" = 0 ]'
    saver=""
}

# Starts a headless sway whose first output, HEADLESS-1, is WxH ($1) at 0,0 with the
# desktop colour #3366cc, and exports WAYLAND_DISPLAY and SWAYSOCK; its pid lands in
# WL_COMPOSITOR_PID. With WL_OUTPUTS=0 it starts without any (HEADLESS-1 is the first
# `swaymsg create_output` makes). Returns 1 when it does not answer within 10 s.
wl_sway() {
    wl_runtime
    cat >"$WL_RUNTIME/sway.conf" <<CONF
xwayland disable
output * bg #3366cc solid_color
output HEADLESS-1 resolution $1 position 0 0
CONF
    chmod a+r "$WL_RUNTIME/sway.conf"
    (wl_exec_as_user env WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
        WLR_HEADLESS_OUTPUTS="${WL_OUTPUTS:-1}" sway -c "$WL_RUNTIME/sway.conf") \
        >"$WL_RUNTIME/sway.log" 2>&1 &
    WL_COMPOSITOR_PID=$!
    wait_for 10 'ls "$WL_RUNTIME"/sway-ipc.*.sock >/dev/null 2>&1' || return 1
    export SWAYSOCK
    SWAYSOCK=$(ls "$WL_RUNTIME"/sway-ipc.*.sock)
    export WAYLAND_DISPLAY
    WAYLAND_DISPLAY=$(basename "$(ls "$WL_RUNTIME"/wayland-? | head -1)")
    wait_for 10 'swaymsg -t get_outputs >/dev/null 2>&1'
}

# Starts a headless weston of WxH ($1) with the pixman renderer, the desktop colour and
# --debug (which lets weston-screenshooter take screenshots), on a socket of its own, as
# the user.
wl_weston() {
    wl_runtime
    unset SWAYSOCK
    export WAYLAND_DISPLAY=vandrel-weston
    local w=${1%x*} h=${1#*x}
    printf '[shell]\nbackground-color=0xff3366cc\n' >"$WL_RUNTIME/weston.ini"
    chmod a+r "$WL_RUNTIME/weston.ini"
    (wl_exec_as_user weston --backend=headless-backend.so --use-pixman --debug \
        --config="$WL_RUNTIME/weston.ini" --socket="$WAYLAND_DISPLAY" --width="$w" \
        --height="$h" --idle-time=0) \
        >"$WL_RUNTIME/weston.log" 2>&1 &
    WL_COMPOSITOR_PID=$!
    wait_for 10 '[ -S "$WL_RUNTIME/$WAYLAND_DISPLAY" ]'
}

# Starts a virtual KWin of $2 outputs of WxH ($1) on a session bus of its own (its
# screenshots come over it, unchecked), as the user, on the socket vandrel-kwin, with the
# desktop colour (swaybg's layer-shell background: KWin alone leaves outputs black). The
# compositor is a copy of kwin_wayland without the file capability the user may not have.
# Returns 1 when it does not come up within 30 s, 2 when it runs but gives no screenshot.
wl_kwin() {
    wl_runtime
    unset SWAYSOCK
    export WAYLAND_DISPLAY=vandrel-kwin KWIN_SHOT="$stage/vandrel_kwin_shot"
    cp /usr/bin/kwin_wayland "$WL_RUNTIME/"
    chmod a+rx "$WL_RUNTIME/kwin_wayland"
    local bus
    bus=$(wl_exec_as_user dbus-daemon --session --fork --print-address=1 --print-pid=1)
    export DBUS_SESSION_BUS_ADDRESS=${bus%%$'\n'*}
    WL_HELPER_PIDS=${bus##*$'\n'}
    (wl_exec_as_user env DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" \
        KWIN_SCREENSHOT_NO_PERMISSION_CHECKS=1 "$WL_RUNTIME/kwin_wayland" --virtual \
        --socket "$WAYLAND_DISPLAY" --width "${1%x*}" --height "${1#*x}" --output-count "$2" \
        --no-lockscreen) >"$WL_RUNTIME/kwin.log" 2>&1 &
    WL_COMPOSITOR_PID=$!
    wait_for 30 '[ -S "$WL_RUNTIME/$WAYLAND_DISPLAY" ] && is_running "$WL_COMPOSITOR_PID"' ||
        return 1
    poll_within 30 'wl_grab Virtual-0 "$WL_RUNTIME/probe.png"' || return 2
    (wl_exec_as_user swaybg -c '#3366cc') >/dev/null 2>&1 &
    WL_HELPER_PIDS+=" $!"
}

# Starts a headless GNOME Shell (mutter and its shell), a virtual monitor per WxH given
# side by side, on a session bus of its own with gnome-session (for inhibitors) and a
# bare system bus (the shell needs one); exports WAYLAND_DISPLAY and
# DBUS_SESSION_BUS_ADDRESS. Returns 1 when the shell ends without opening its overview,
# 2 when three tries stall.
wl_gnome() {
    wl_runtime
    unset SWAYSOCK
    export WAYLAND_DISPLAY=vandrel-gnome DBUS_SESSION_BUS_ADDRESS="unix:path=$WL_RUNTIME/bus"
    local bus try system=(env DBUS_SYSTEM_BUS_ADDRESS="unix:path=$WL_RUNTIME/system_bus")
    mkdir -p "$WL_RUNTIME"/{gnome-session/sessions,autostart} && chmod -R a+rX "$WL_RUNTIME"
    printf '[GNOME Session]\nName=V\n' >"$WL_RUNTIME/gnome-session/sessions/v.session"
    # As in a full session, the user's autostart entries start once the shell is up.
    printf '[Desktop Entry]\nType=Application\nName=S\nExec=%s\nX-GNOME-Autostart-Phase=%s\n' \
        "gdbus wait --session --timeout 30 org.gnome.Mutter.IdleMonitor" DisplayServer \
        >"$WL_RUNTIME/autostart/up.desktop"
    # The shell's once-per-user banner that locking needs GDM would sit over the saver.
    wl_as_user bash -c 'mkdir -p ~/.local/share/gnome-shell && touch "$_/lock-warning-shown"'
    for bus in bus system_bus; do
        (wl_exec_as_user dbus-daemon --session --nofork --address="unix:path=$WL_RUNTIME/$bus") \
            >>"$WL_RUNTIME/bus.log" 2>&1 &
        WL_HELPER_PIDS+=" $!"
    done
    wait_for 5 '[ -S "$WL_RUNTIME/bus" ] && [ -S "$WL_RUNTIME/system_bus" ]' || return 1
    for try in 1 2 3; do
        (wl_exec_as_user "${system[@]}" gnome-shell --headless --wayland --no-x11 \
            --wayland-display="$WAYLAND_DISPLAY" $(printf -- '--virtual-monitor %s ' "$@")) \
            >"$WL_RUNTIME/shell.log" 2>&1 &
        WL_COMPOSITOR_PID=$!
        (wl_exec_as_user "${system[@]}" XDG_CONFIG_DIRS="$WL_RUNTIME" \
            XDG_DATA_DIRS="$WL_RUNTIME:/usr/share" gnome-session --builtin --session=v \
            --disable-acceleration-check) >"$WL_RUNTIME/session.log" 2>&1 &
        WL_HELPER_PIDS="$! $WL_HELPER_PIDS"
        poll_within 30 '! is_running "$WL_COMPOSITOR_PID" || [ "$(wl_as_user gdbus call \
            --session --timeout 2 -d org.gnome.Shell -o /org/gnome/Shell \
            -m org.freedesktop.DBus.Properties.Get org.gnome.Shell OverviewActive \
            2>/dev/null)" = "(<true>,)" ]' && break
        # The shell forks for ibus-daemon and runs JavaScript in the child, which can
        # deadlock on another thread's lock. Both wait for good, holding the shell's name.
        echo "GNOME Shell stalled while starting (try $try), again"
        pkill -KILL -u "$E2E_USER" -x 'gnome-shell|gnome-session-b'
        WL_HELPER_PIDS=${WL_HELPER_PIDS#* } WL_COMPOSITOR_PID=""
        wait_for 5 '[ "$(wl_as_user gdbus call --session --timeout 2 -d org.freedesktop.DBus \
            -o /org/freedesktop/DBus -m org.freedesktop.DBus.NameHasOwner org.gnome.Shell)" \
            = "(false,)" ]'
    done
    [ -n "$WL_COMPOSITOR_PID" ] || return 2
    is_running "$WL_COMPOSITOR_PID" || return 1
}

# Presses keys in GNOME Shell through a keyboard of Mutter's remote desktop, as the user:
# each argument a chord of evdev key codes joined by + (56+20 is Alt+T).
wl_keys() {
    wl_as_user python3 - "$@" <<'PY'
import sys, time
from gi.repository import Gio, GLib
bus = Gio.bus_get_sync(Gio.BusType.SESSION)
desktop = "org.gnome.Mutter.RemoteDesktop"
def call(path, method, args=None, iface=desktop + ".Session"):
    return bus.call_sync(desktop, path, iface, method, args, None, 0, 5000, None)
session = call("/org/gnome/Mutter/RemoteDesktop", "CreateSession", iface=desktop)[0]
call(session, "Start")
time.sleep(1)  # the shell adds the keyboard a moment later
for chord in sys.argv[1:]:
    codes = [int(code) for code in chord.split("+")]
    for code, down in [(c, True) for c in codes] + [(c, False) for c in reversed(codes)]:
        call(session, "NotifyKeyboardKeycode", GLib.Variant("(ub)", (code, down)))
        time.sleep(0.05)
    time.sleep(0.3)
call(session, "Stop")
PY
}

# Ends the compositor this script started and removes its runtime directory.
wl_cleanup() {
    # Bounded: gnome-session, for one, may not heed SIGTERM once its shell is gone.
    local p
    for p in $WL_COMPOSITOR_PID $WL_HELPER_PIDS; do end_started "$p" 3; done
    WL_COMPOSITOR_PID="" WL_HELPER_PIDS=""
    [ -n "$WL_RUNTIME" ] && rm -rf "$WL_RUNTIME"
    WL_RUNTIME=""
    unset SWAYSOCK WAYLAND_DISPLAY KWIN_SHOT DBUS_SESSION_BUS_ADDRESS
}

# A screenshot of output $1 in its own pixels: grim on sway; ScreenShot2 on KWin, as the
# user; on GNOME, gnome-screenshot's cropped to $1, a monitor's WxH+X+Y; on weston, the
# file its screenshooter (allowed by --debug) writes into the current directory.
wl_grab() {
    if [ -n "${SWAYSOCK:-}" ]; then
        grim -o "$1" "$2" 2>/dev/null
        return
    elif [ "${WAYLAND_DISPLAY:-}" = vandrel-gnome ]; then
        wl_as_user timeout 10 gnome-screenshot -f "$WL_RUNTIME/shot.png" >/dev/null 2>&1 &&
            convert "$WL_RUNTIME/shot.png" -crop "$1" +repage "$2"
        return
    fi
    if [ -n "${KWIN_SHOT:-}" ]; then
        local size
        size=$( (wl_exec_as_user env DBUS_SESSION_BUS_ADDRESS="$DBUS_SESSION_BUS_ADDRESS" \
            "$KWIN_SHOT" "$1" "$WL_RUNTIME/shot.raw") 2>/dev/null) &&
            convert -size "$size" -depth 8 "bgra:$WL_RUNTIME/shot.raw" -alpha off "$2"
        return
    fi
    local dir
    dir=$(mktemp -d)
    (cd "$dir" && weston-screenshooter >/dev/null 2>&1) && mv "$dir"/*.png "$2"
    rm -rf "$dir"
}

# A screenshot of output $1 once the picture has settled (two shots half a second apart
# that agree, for up to 10 s).
wl_shot() {
    local i
    wl_grab "$1" "$2"
    for i in $(seq 20); do
        sleep 0.5
        wl_grab "$1" "$2.next.png"
        [ "$(compare -metric AE "$2" "$2.next.png" null: 2>&1)" = 0 ] && break
        mv "$2.next.png" "$2"
    done
    rm -f "$2.next.png"
}

# Waits up to $3 s for output $1 to become picture $2, a screenshot each round; E2E_MS
# is the time it took.
wl_becomes() {
    local o=$1 p=$2
    poll_within "$3" 'wl_grab "$o" "$p.try.png" && [ "$(wl_diff "$p.try.png" "$p")" = 0 ]'
}

# What an output of WxH showing the dashboard should look like: black, with the reference
# rendering $3 at $4,$5, each of its pixels a $6 x $6 block. Usage:
# wl_expected W H REFERENCE X Y SCALE OUT
wl_expected() {
    convert -size "$1x$2" xc:black \( "$3" -filter point -scale "$((100 * $6))%" \) \
        -geometry "+$4+$5" -composite -depth 8 "PNG24:$7"
}

# Pixels in which screenshot $1 differs from picture $2; a difference image goes next to
# the screenshot. A size mismatch counts as every pixel.
wl_diff() {
    if [ "$(identify -format '%wx%h' "$1")" != "$(identify -format '%wx%h' "$2")" ]; then
        identify -format '%[fx:w*h]' "$1"
        return
    fi
    compare -metric AE "$1" "$2" "${1%.png}_diff.png" 2>&1
}

# Pixels of screenshot $1 in the desktop colour #3366cc.
desktop_pixels() {
    convert "$1" -fill black +opaque '#3366cc' -fill white -opaque '#3366cc' -colorspace gray \
        -format '%[fx:int(mean*w*h+0.5)]' info:
}

# Pixels of screenshot $1 that are not black.
lit_pixels() { count_lit "$1" 0 0 "$(identify -format '%w' "$1")" "$(identify -format '%h' "$1")"; }

# The start of a Wayland test, after stage is made: the user and its settings (no
# worker), and the demo record served by the holder, whose pid lands in holder; the
# snapshot command ($1) renders the record into $out/reference.png. X11 is out of reach.
wl_serve_record() {
    e2e_user
    DISPLAY=""
    write_settings "$E2E_HOME/.config/vandrel/vandrel.ini" 0 0 "$stage/no-worker" "$stage/client"
    chown -R "$E2E_USER:" "$E2E_HOME/.config"
    "$1" --demo --header "$stage/client/header.bmp" --write-record "$stage/record.bin" \
        "$out/reference.png" >/dev/null
    chmod a+r "$stage/record.bin"
    clear_record
    (exec_as_user "$stage/vandrel_record_holder" "$stage/record.bin") &
    holder=$!
    wait_for 5 '[ -e "$SHM" ]'
}

# Ends what a Wayland test started: its saver, pointer, inhibitor and holder, the compositor, the
# record and the stage.
wl_end_test() {
    local p
    for p in ${saver:-} ${pointer:-} ${inhibitor:-} ${holder:-}; do
        end_started "$p" 2
    done
    wl_cleanup
    clear_record
    rm -rf "$stage"
}
