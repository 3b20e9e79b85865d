#!/usr/bin/env bash
# The Debian package, built with cpack from this build and looked into without installing
# it: file name, paths, the settings-program config naming the installed program, no
# missing libraries, and the declared dependencies.
# Usage: deb_test.sh BUILD_DIR OUT_DIR
set -u
build="$1"
out="$2"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../e2e/lib.sh"
need_programs cpack dpkg-deb ldd
rm -rf "$out"
mkdir -p "$out"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1
check "cpack builds the package" [ $? = 0 ]
deb="$out/vandrel_2.02_amd64.deb"
check "the package is vandrel_2.02_amd64.deb" [ -f "$deb" ]

tree="$out/tree"
dpkg -x "$deb" "$tree"
for path in usr/libexec/xscreensaver/vandrel usr/bin/vandrel-demo-worker; do
    check "$path is an executable" [ -x "$tree/$path" ]
    missing=$(ldd "$tree/$path" 2>&1 | grep -c 'not found')
    check "$path finds every library ($missing missing)" [ "$missing" = 0 ]
done
xml="$tree/usr/share/xscreensaver/config/vandrel.xml"
check "the config is in /usr/share/xscreensaver/config" [ -f "$xml" ]
name=$(sed -n 's/.*<screensaver name="\([^"]*\)".*/\1/p' "$xml")
check "the config names the installed program (name=\"$name\")" \
    [ -x "$tree/usr/libexec/xscreensaver/$name" ]
check "the config runs it on the daemon's window" grep -q '<command arg="--root"/>' "$xml"
check "the config has a description" grep -q '<_description>' "$xml"
check "the system-wide settings point at the packaged worker" \
    grep -q '^ClientPath=/usr/bin/vandrel-demo-worker' "$tree/etc/xdg/vandrel/vandrel.ini"
check "the package holds nothing else" \
    '[ -z "$(dpkg -c "$deb" | awk "{print \$6}" | grep -v -e "/$" -e "^./usr/libexec/xscreensaver/vandrel$" \
        -e "^./usr/bin/vandrel-demo-worker$" -e "^./usr/share/xscreensaver/config/vandrel.xml$" \
        -e "^./usr/share/vandrel/header.bmp$" -e "^./etc/xdg/vandrel/vandrel.ini$")" ]'

info=$(dpkg -I "$deb")
depends=$(sed -n 's/^ Depends: //p' <<<"$info")
echo "   Depends: $depends"
for package in fonts-liberation libc6 libstdc++6 libx11-6 libfreetype6 libfontconfig1; do
    check "Depends names $package" grep -q "\\b$package\\b" <<<"$depends"
done
check "the architecture is amd64" grep -q '^ Architecture: amd64' <<<"$info"
check "the version is 2.02" grep -q '^ Version: 2.02$' <<<"$info"
check "the settings are a conffile" \
    '[ "$(dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles)" = /etc/xdg/vandrel/vandrel.ini ]'

echo "Debian package: $E2E_FAILURES failure(s)"
[ "$E2E_FAILURES" = 0 ]
