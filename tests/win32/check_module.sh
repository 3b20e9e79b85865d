#!/usr/bin/env bash
# Checks the built module as the desktop sees it: a GUI executable that exports the two
# procedures under their exact names and links none of the modules looked up at run time.
set -u
scr="$1"
dump=$(x86_64-w64-mingw32-objdump -p "$scr") || { echo "cannot read $scr"; exit 1; }
fail=0
check() { if ! grep -qE "$1" <<<"$dump"; then echo "missing: $2"; fail=1; fi; }
check 'Subsystem[[:space:]]+00000002' "GUI subsystem"
check '^[[:space:]]*\[[[:space:]]*[0-9]+\] ScreenSaverProc$' "export ScreenSaverProc"
check '^[[:space:]]*\[[[:space:]]*[0-9]+\] ScreenSaverConfigureDialog$' "export ScreenSaverConfigureDialog"
for dll in IMM32 MPR PASSWORD; do
    if grep -qi "DLL Name: $dll" <<<"$dump"; then echo "links $dll, which must be looked up at run time"; fail=1; fi
done
# No runtime DLLs of the compiler: the module is copied alone into the system folder.
if grep -qiE 'DLL Name: (libstdc|libgcc|libwinpthread)' <<<"$dump"; then echo "needs compiler runtime DLLs"; fail=1; fi
[ "$fail" = 0 ] && echo "module ok"
exit "$fail"
