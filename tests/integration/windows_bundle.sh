#!/usr/bin/env bash
# Makes the release bundle of one Windows cross build with cpack and checks
# it: sonabar-<version>-win32.zip (i686) or -win64.zip (x86_64) holds, in one
# folder of its own name, the build's sonabar.exe, README.txt and LICENSE.txt,
# the texts with Windows line ends.
# Usage: tests/integration/windows_bundle.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: windows_bundle.sh BUILD_DIR}" && pwd)
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
bits=win64
x86_64-w64-mingw32-objdump -f "$build/sonabar.exe" | grep -q 'pei-i386' && bits=win32
name=sonabar-$version-$bits
rm -f "$build/$name.zip"
(cd "$build" && cpack >cpack.log 2>&1) || { echo "windows_bundle: cpack failed, see $build/cpack.log" >&2; exit 1; }
/usr/bin/python3 - "$build/$name.zip" "$name" "$build/sonabar.exe" <<'PY' || { echo "windows_bundle: $build/$name.zip" >&2; exit 1; }
import sys, zipfile
bundle, name, exe = sys.argv[1:]
z = zipfile.ZipFile(bundle)
assert sorted(z.namelist()) == sorted(name + "/" + f for f in ("sonabar.exe", "README.txt", "LICENSE.txt")), z.namelist()
assert z.read(name + "/sonabar.exe") == open(exe, "rb").read(), "sonabar.exe differs from the build's"
for text in ("README.txt", "LICENSE.txt"):
    data = z.read(name + "/" + text)
    assert data.count(b"\n") == data.count(b"\r\n") > 0, text + ": lines without Windows line ends"
PY
echo "windows_bundle: $name.zip: sonabar.exe, README.txt, LICENSE.txt"
