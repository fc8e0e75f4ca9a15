#!/usr/bin/env bash
# Checks a built sonabar.exe without running it: GUI subsystem, only system
# DLLs imported (everything else is linked statically), and the resources
# menu 101, icon group 102, dialog 110. The i686 program must load on Windows
# XP and create its threads on Windows 95, 98 and Me: every function it
# imports must be on xp_imports.txt (what XP SP3 offers), and its thread
# creation must pass a place for the thread id (exe_imports.py, with pefile).
# Usage: tests/integration/check_windows_exe.sh ARCH EXE   (ARCH: i686 | x86_64)
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 i686|x86_64 EXE" >&2; exit 2; }
arch=$1
exe=$2
fail() { echo "FAIL ($arch): $*" >&2; exit 1; }

headers=$("$arch-w64-mingw32-objdump" -p "$exe")
grep -q "(Windows GUI)" <<<"$headers" || fail "not a GUI-subsystem exe"

# DLLs every Windows since the first 32-bit ones ships with.
while read -r dll; do
  case "${dll,,}" in
    kernel32.dll | user32.dll | gdi32.dll | shell32.dll | advapi32.dll | winmm.dll | msvcrt.dll) ;;
    *) fail "imports $dll (link it statically)" ;;
  esac
done < <(sed -n 's/^\s*DLL Name: //p' <<<"$headers")

if [ "$arch" = i686 ]; then
  here=$(dirname "${BASH_SOURCE[0]}")
  faults=$(/usr/bin/python3 "$here/exe_imports.py" "$exe" "$here/xp_imports.txt") ||
    fail "$faults"
fi

resources=$("$arch-w64-mingw32-windres" -i "$exe" -O rc)
for pattern in '^101 MENU' '^102 14 ' '^110 DIALOG' 'CAPTION "About"' \
  '"About", 40008' '"16-bit", 40007' '"Peak", 40006' '"Exit", 40003' 'POPUP "Sensitivity"' \
  '"Normal", 40030' '"Automatic", 40034'; do
  grep -q -E "$pattern" <<<"$resources" || fail "resource missing: $pattern"
done
echo "$arch: GUI subsystem, system DLLs only${here:+ (functions of Windows XP alone, thread ids kept)}, resources 101, 102, 110"
