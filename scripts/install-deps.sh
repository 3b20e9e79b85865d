#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need, or one demo alone needs, when
# missing, and says which; packages named as arguments too.
set -euo pipefail
# What each demo needs, and nothing more: a newcomer's first command stays short.
# Usage: install-deps.sh [--demo windows|linux|wayland] [PACKAGE...]
windows_demo=(cmake make g++-mingw-w64-x86-64-posix wine64 xvfb x11-apps x11-utils xdotool
              imagemagick fonts-liberation nsis zip unzip procps)
native_build=(cmake make g++ pkg-config libfreetype-dev libfontconfig-dev fonts-liberation
              libpng-dev libx11-dev libxext-dev libxrandr-dev libxss-dev libxi-dev
              libwayland-dev wayland-protocols libsystemd-dev)
linux_demo=("${native_build[@]}" xvfb x11-apps x11-utils xdotool imagemagick xscreensaver procps
            util-linux passwd)
wayland_demo=("${native_build[@]}" sway grim procps util-linux passwd)
case "${1:-}" in
    --demo)
        case "${2:-}" in
            windows) packages=("${windows_demo[@]}") ;;
            linux) packages=("${linux_demo[@]}") ;;
            wayland) packages=("${wayland_demo[@]}") ;;
            *) echo "install-deps.sh: --demo takes windows, linux or wayland" >&2; exit 2 ;;
        esac
        shift 2
        packages+=("$@")
        ;;
    *)
        # Every build and test: both demos' packages, the test frameworks, sanitizers and
        # fuzzers (clang), several monitors (Xorg's dummy driver), the package checkers.
        packages=("${windows_demo[@]}" "${linux_demo[@]}" googletest libgtest-dev
                  libbenchmark-dev clang libclang-rt-14-dev xserver-xorg-core
                  xserver-xorg-video-dummy x11-xserver-utils dpkg-dev lintian libxml2-utils
                  man-db "$@")
        # A real X11 locker beside the saver; a debugger that makes a saver hang.
        packages+=(i3lock gdb systemd)
        # The settings window and the checkers of its desktop files.
        packages+=(libgtk-4-dev libadwaita-1-dev desktop-file-utils appstream)
        # The Wayland end-to-end tests: headless compositors, their screenshots, a typed
        # key; KWin's screenshots over its own session bus, its desktop colour from swaybg.
        packages+=(sway grim wtype weston kwin-wayland dbus swaybg)
        # GNOME's: its shell on a bus of its own, its screenshot tool and an idle inhibitor;
        # keys typed through the shell's remote desktop from Python's GObject bindings.
        packages+=(gnome-shell gnome-screenshot gnome-session-bin dbus-daemon python3-gi)
        ;;
esac
missing=()
for p in $(printf '%s\n' "${packages[@]}" | sort -u); do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi
echo "Installing missing packages: ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
    echo "error: installing packages needs root (run as root or install them: ${missing[*]})" >&2
    exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "Installed: ${missing[*]}"
