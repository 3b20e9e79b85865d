#!/usr/bin/env bash
# The Debian package, built with cpack from this build under a group-writable umask and
# looked into without installing it: lintian's verdict, its files, libraries and declared
# dependencies, the manual pages against the programs' own usage texts, the settings-
# program config and the options it hands the program. Then a non-root cmake --install
# to a prefix of its own, which must give the package's files, settings under PREFIX/etc.
# Usage: deb_test.sh BUILD_DIR OUT_DIR VERSION (as the package shows it, e.g. 2.02)
set -u
build="$1"
out="$2"
version="$3"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/../e2e/lib.sh"
source "$here/lib_linux.sh"
need_programs cpack dpkg-deb ldd
rm -rf "$out"
mkdir -p "$out"
skipped=
(umask 0002 && exec cpack -G DEB --config "$build/CPackConfig.cmake" -B "$out") \
    >"$out/cpack.log" 2>&1
check "cpack builds the package" [ $? = 0 ]
deb="$out/vandrel_${version}_amd64.deb"
check "the package is vandrel_${version}_amd64.deb" [ -f "$deb" ]

# Errors and warnings only; lintian's own failures (status 2) count too.
if command -v lintian >/dev/null; then
    lintian --tag-display-limit 0 "$deb" >"$out/lintian.txt" 2>"$out/lintian.err"
    status=$?
    complaints=$(grep -E '^[EW]: ' "$out/lintian.txt")
    [ -z "$complaints" ] || sed 's/^/   /' <<<"$complaints"
    check "lintian: no error or warning (status $status)" '[ $status = 0 ] && [ -z "$complaints" ]'
else
    check "lintian is installed (scripts/install-deps.sh)" false
fi

tree="$out/tree"
dpkg -x "$deb" "$tree"
files=$(dpkg -c "$deb" | awk '$6 !~ /\/$/ {print $6}' | sort)
expected='./etc/xdg/vandrel/vandrel.ini
./usr/bin/vandrel
./usr/bin/vandrel-demo-worker
./usr/lib/systemd/user/vandrel-idle.service
./usr/libexec/xscreensaver/vandrel
./usr/share/doc/vandrel/changelog.gz
./usr/share/doc/vandrel/copyright
./usr/share/man/man1/vandrel-demo-worker.1.gz
./usr/share/man/man6/vandrel.6.gz
./usr/share/vandrel/header.bmp
./usr/share/xscreensaver/config/vandrel.xml'
# The settings window's, where the build found GTK 4.
settings_app="$build/host/settings_gtk/vandrel-settings"
if [ -x "$settings_app" ]; then
    expected=$(printf '%s\n' "$expected" ./usr/bin/vandrel-settings \
        ./usr/share/applications/vandrel-settings.desktop ./usr/share/man/man1/vandrel-settings.1.gz \
        ./usr/share/metainfo/org.vandrel.settings.metainfo.xml \
        ./usr/share/icons/hicolor/scalable/apps/vandrel-settings.svg \
        $(printf './usr/share/icons/hicolor/%sx%s/apps/vandrel-settings.png\n' 16 16 24 24 32 32 48 48 \
            64 64 128 128 256 256) | sort)
fi
diff <(echo "$expected") <(echo "$files") | sed -n 's/^[<>]/   &/p'
check "the package holds its $(wc -l <<<"$expected") files and nothing else" [ "$files" = "$expected" ]
check "/usr/bin/vandrel is a relative link to the display mode" \
    [ "$(readlink "$tree/usr/bin/vandrel")" = ../libexec/xscreensaver/vandrel ]
for path in usr/libexec/xscreensaver/vandrel usr/bin/vandrel-demo-worker; do
    check "$path is an executable" [ -x "$tree/$path" ]
    missing=$(ldd "$tree/$path" 2>&1 | grep -c 'not found')
    check "$path finds every library ($missing missing)" [ "$missing" = 0 ]
done
check "the system-wide settings point at the packaged worker" \
    grep -q '^ClientPath=/usr/bin/vandrel-demo-worker' "$tree/etc/xdg/vandrel/vandrel.ini"

unit="$tree/usr/lib/systemd/user/vandrel-idle.service"
check "the user unit runs the packaged watcher with the session, and stops it alone" \
    '[ "$(grep -c -e "^ExecStart=/usr/bin/vandrel --idle$" -e "^WantedBy=graphical-session.target$" \
        -e "^PartOf=graphical-session.target$" -e "^Restart=on-failure$" -e "^KillMode=process$" \
        "$unit")" = 5 ]'
sed "s#=/usr/#=$tree/usr/#" "$unit" >"$out/vandrel-idle.service"
verify=$(XDG_RUNTIME_DIR="$out" systemd-analyze --user verify --man=no \
    "$out/vandrel-idle.service" 2>&1)
check "systemd-analyze verify: the unit is sound (status $?)${verify:+: $verify}" [ -z "$verify" ]

# Each page renders without a warning and has an entry under OPTIONS for every option its
# program's --help names (an entry's tag starts at the section's indent of 7).
for pair in man6/vandrel.6.gz:bin/vandrel man1/vandrel-demo-worker.1.gz:bin/vandrel-demo-worker; do
    page="$tree/usr/share/man/${pair%%:*}"
    text=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>"$out/man.err")
    [ -s "$out/man.err" ] && sed 's/^/   /' "$out/man.err"
    check "${pair%%:*} renders without warnings" '[ -n "$text" ] && [ ! -s "$out/man.err" ]'
    options=$("$tree/usr/${pair#*:}" --help | grep -oE '(^|[][ |,])--?[a-z][a-z0-9-]*' |
        sed 's/^[][ |,]//' | sort -u)
    entries=$(awk '/^OPTIONS/ {on = 1; next} /^[A-Z]/ {on = 0} on' <<<"$text")
    undocumented=$(for o in $options; do
        grep -qE -- "^ {7}([^ ].*, )?$o( |,|$)" <<<"$entries" || echo "$o"
    done)
    check "${pair%%:*} documents the $(wc -w <<<"$options") options of --help${undocumented:+ (not: $undocumented)}" \
        '[ -n "$options" ] && [ -z "$undocumented" ]'
done

# The settings program's dashboard size: automatic (no argument) and 1x..8x, each an
# argument the packaged program takes.
xml="$tree/usr/share/xscreensaver/config/vandrel.xml"
check "the config is well-formed XML" xmllint --noout "$xml"
check "the config runs it on the daemon's window" grep -q '<command arg="--root"/>' "$xml"
check "the config has a description" grep -q '<_description>' "$xml"
option() { xmllint --xpath "$1" "$xml" 2>/dev/null; }
sets=$(option '//select[@id="scale"]/option/@arg-set' | grep -o '"[^"]*"' | tr -d '"')
check "the size menu offers 1x to 8x as --scale 1..8" \
    '[ "$sets" = "$(printf -- "--scale %s\n" 1 2 3 4 5 6 7 8)" ]'
check "the size menu's default is automatic, without an argument" \
    '[ "$(option "count(//select[@id=\"scale\"]/option[not(@arg-set)])")" = 1 ] &&
     option "//select[@id=\"scale\"]/option[not(@arg-set)]/@_label" | grep -qi automatic'
accepted=0
while read -r arg; do
    "$tree/usr/bin/vandrel" $arg --help >/dev/null 2>&1 && accepted=$((accepted + 1))
done <<<"$sets"
check "vandrel takes every size the menu offers ($accepted of 8)" [ "$accepted" = 8 ]
"$tree/usr/bin/vandrel" --scale 9 --help >/dev/null 2>&1
check "vandrel refuses a size the menu does not offer" [ $? = 2 ]

# The settings window's entry, metadata and package, by the desktop's own checkers.
if [ -x "$settings_app" ]; then
    need_programs desktop-file-validate appstreamcli lintian
    said=$(desktop-file-validate "$tree/usr/share/applications/vandrel-settings.desktop" 2>&1)
    status=$?
    check "desktop-file-validate: clean${said:+: $said}" '[ $status = 0 ] && [ -z "$said" ]'
    said=$(appstreamcli validate --no-net --pedantic --no-color \
        "$tree/usr/share/metainfo/org.vandrel.settings.metainfo.xml" 2>&1)
    status=$?
    check "appstreamcli validate --pedantic: clean${said:+: $said}" \
        '[ $status = 0 ] && ! grep -qE "^[EWIP]:" <<<"$said"'
    said=$(lintian --pedantic --tag-display-limit 0 "$deb" 2>&1 | grep -E '^[EWIP]: ')
    check "lintian --pedantic: clean${said:+: $said}" '[ -z "$said" ]'
    check "Depends names GTK 4's runtime" 'dpkg -I "$deb" | grep -q "^ Depends:.*libgtk-4-1"'
fi

info=$(dpkg -I "$deb")
depends=$(sed -n 's/^ Depends: //p' <<<"$info")
echo "   Depends: $depends"
for package in fonts-liberation libc6 libstdc++6 libx11-6 libfreetype6 libfontconfig1; do
    check "Depends names $package" grep -q "\\b$package\\b" <<<"$depends"
done
check "the architecture is amd64" grep -q '^ Architecture: amd64' <<<"$info"
check "the version is $version" grep -qxF " Version: $version" <<<"$info"
for f in man/man6/vandrel.6.gz man/man1/vandrel-demo-worker.1.gz doc/vandrel/changelog.gz; do
    check "$f heads with the version" 'zcat "$tree/usr/share/$f" | head -1 | grep -qF "$version"'
done
check "the settings are a conffile" \
    '[ "$(dpkg-deb --ctrl-tarfile "$deb" | tar -xO ./conffiles)" = /etc/xdg/vandrel/vandrel.ini ]'

# cmake --install by a user without root, to a prefix of its own: the package's files
# with /usr/ as PREFIX/ and /etc/ as PREFIX/etc/. cmake writes its install manifest into
# the build folder, which a user who built it owns; here root does, so the user gets
# that one file.
prefix="$out/prefix"
mkdir -p "$prefix"
cmake=$(command -v cmake)
manifest="$build/install_manifest.txt"
if [ "$(id -u)" != 0 ]; then
    "$cmake" --install "$build" --prefix "$prefix" >"$out/install.log" 2>&1
    installed=$?
elif e2e_user && runuser -u "$E2E_USER" -- test -r "$build/cmake_install.cmake"; then
    chown "$E2E_USER" "$prefix"
    rm -f "$manifest" && touch "$manifest" && chown "$E2E_USER" "$manifest"
    runuser -u "$E2E_USER" -- env -i HOME="$E2E_HOME" PATH=/usr/bin:/bin \
        "$cmake" --install "$build" --prefix "$prefix" >"$out/install.log" 2>&1
    installed=$?
    rm -f "$manifest"
else
    echo "skip - the non-root install: $E2E_USER cannot read $build"
    skipped=1
fi
if [ -z "$skipped" ]; then
    [ "$installed" = 0 ] || sed 's/^/   /' "$out/install.log"
    check "cmake --install to a prefix works without root" [ "$installed" = 0 ]
    placed=$(cd "$prefix" && find . ! -type d | sort)
    wanted=$(sed 's#^\./usr/#./#' <<<"$expected" | sort)
    diff <(echo "$wanted") <(echo "$placed") | sed -n 's/^[<>]/   &/p'
    check "the prefix gets the package's files, the settings in PREFIX/etc/xdg/vandrel" \
        '[ "$placed" = "$wanted" ] && [ -x "$prefix/bin/vandrel" ]'
    check "the prefix's user unit runs PREFIX/bin/vandrel" \
        grep -qx "ExecStart=$prefix/bin/vandrel --idle" "$prefix/lib/systemd/user/vandrel-idle.service"
fi

echo "Debian package: $E2E_FAILURES failure(s)"
[ "$E2E_FAILURES" = 0 ] || exit 1
[ -z "$skipped" ] || exit 77
