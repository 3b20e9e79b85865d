#!/usr/bin/env bash
# The installer under Wine: a silent install puts the saver into the Windows directory
# and its files into the program folder, writes vandrel.ini with their paths; a silent
# uninstall removes all of it again.
# Usage: installer_test.sh Vandrel-<version>-setup.exe Vandrel.scr VERSION (e.g. 2.02)
set -u
setup="$1"
built_scr="$2"
version="$3"
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/lib.sh"
e2e_on_exit e2e_cleanup
e2e_prefix "${VANDREL_E2E_PREFIX:?}"
start=$SECONDS
windir="$WINEPREFIX/drive_c/windows"
instdir="$WINEPREFIX/drive_c/Program Files/Vandrel"
ini="$windir/vandrel.ini"
# Every line after the first argument is a whole line of it.
has_lines() {
    local text="$1" line
    shift
    for line in "$@"; do
        grep -qxF "$line" <<<"$text" || return 1
    done
}
files=(vandrel-demo-worker.exe header.bmp windows_help.txt install.txt uninstall.exe)
rm -f "$ini" "$windir/Vandrel.scr"

"$WINE" "$setup" /S
check "the silent install succeeds" [ $? = 0 ]
check "Vandrel.scr is in the Windows directory" [ -s "$windir/Vandrel.scr" ]
for f in "${files[@]}"; do
    check "$f is in the program folder" [ -s "$instdir/$f" ]
done
ini_text=$(tr -d '\r' <"$ini" 2>/dev/null)
echo "$ini_text"
check "vandrel.ini points at the worker" \
    has_lines "$ini_text" 'ClientPath=C:\Program Files\Vandrel\vandrel-demo-worker.exe'
check "vandrel.ini points at the program folder" \
    has_lines "$ini_text" 'ClientDir=C:\Program Files\Vandrel'
check "vandrel.ini has the blanking and size defaults" has_lines "$ini_text" 'Blank=0' 'Minutes=5' 'Scale=0'
check "the installed saver is the built one" cmp -s "$windir/Vandrel.scr" "$built_scr"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vandrel'
check "the help text and the uninstall entry say version $version" 'head -1 "$instdir/windows_help.txt" |
    grep -qF " $version " && "$WINE" reg query "$key" /v DisplayVersion | grep -qE "\s$version\s*$"'

# A reinstall keeps the user's blanking choice and still writes the paths.
printf '[boot]\r\nBlank=1\r\nMinutes=9\r\n' >"$ini"
"$WINE" "$setup" /S
ini_text=$(tr -d '\r' <"$ini")
check "a reinstall keeps Blank and Minutes" has_lines "$ini_text" 'Blank=1' 'Minutes=9'
check "a reinstall writes the paths" grep -q '^ClientPath=C:' <<<"$ini_text"

# The uninstaller copies itself away and runs from there, so wait for its effect.
"$WINE" "$instdir/uninstall.exe" /S
for _ in $(seq 150); do
    [ -e "$instdir" ] || break
    sleep 0.2
done
check "the program folder is gone" [ ! -e "$instdir" ]
check "Vandrel.scr is gone" [ ! -e "$windir/Vandrel.scr" ]
check "vandrel.ini is gone" [ ! -e "$ini" ]

echo "installer: $E2E_FAILURES failure(s) in $((SECONDS - start)) s"
[ "$E2E_FAILURES" = 0 ]
