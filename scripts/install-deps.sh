#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need, when missing, and says which;
# packages named as arguments (what one demo alone needs) too.
set -euo pipefail
packages=(cmake g++ make pkg-config g++-mingw-w64-x86-64-posix wine64 xvfb x11-apps xdotool
          imagemagick libfreetype-dev libfontconfig-dev fonts-liberation libpng-dev googletest
          libgtest-dev libbenchmark-dev clang libclang-rt-14-dev valgrind nsis zip unzip
          x11-utils procps xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils
          libx11-dev libxext-dev libxrandr-dev libxss-dev xscreensaver dpkg-dev util-linux passwd lintian
          libxml2-utils man-db libwayland-dev wayland-protocols libsystemd-dev libxi-dev "$@")
# A real X11 locker beside the saver; a debugger that makes a saver hang.
packages+=(i3lock gdb systemd)
# The settings window and the checkers of its desktop files.
packages+=(libgtk-4-dev libadwaita-1-dev desktop-file-utils appstream)
# The Wayland end-to-end tests: headless compositors, their screenshots, a typed key;
# KWin's screenshots over its own session bus, its desktop colour from swaybg.
packages+=(sway grim wtype weston kwin-wayland dbus swaybg)
# GNOME's: its shell on a bus of its own, its screenshot tool and an idle inhibitor.
packages+=(gnome-shell gnome-screenshot gnome-session-bin dbus-daemon)
missing=()
for p in "${packages[@]}"; do
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
