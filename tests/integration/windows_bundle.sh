#!/usr/bin/env bash
# Makes the release bundle of one Windows cross build with cpack and checks
# it: sonabar-<version>-win32.zip for i686, -win64.zip for x86_64, holding in
# one folder of the same name exactly the build's sonabar.exe, README.txt and
# LICENSE.txt, the two texts with Windows line ends throughout.
# Usage: tests/integration/windows_bundle.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?usage: windows_bundle.sh BUILD_DIR}" && pwd)
fail() { echo "windows_bundle: $build: $*" >&2; exit 1; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
case $(x86_64-w64-mingw32-objdump -f "$build/sonabar.exe") in
  *pei-i386*) name=sonabar-$version-win32 ;;
  *pei-x86-64*) name=sonabar-$version-win64 ;;
  *) fail "sonabar.exe is no Windows program" ;;
esac
rm -f "$build/$name.zip"
(cd "$build" && cpack >"$build/cpack.log" 2>&1) || fail "cpack: $(tail -n 3 "$build/cpack.log")"
[ -f "$build/$name.zip" ] || fail "cpack made no $name.zip: $(ls "$build"/*.zip 2>/dev/null | tr '\n' ' ')"

/usr/bin/python3 - "$build/$name.zip" "$name" "$build/sonabar.exe" <<'PY' || fail "$name.zip"
import sys, zipfile
bundle, name, exe = sys.argv[1:]
with zipfile.ZipFile(bundle) as z:
    files = sorted(z.namelist())
    want = sorted(name + "/" + f for f in ("sonabar.exe", "README.txt", "LICENSE.txt"))
    assert files == want, "holds %s, not %s" % (files, want)
    assert z.read(name + "/sonabar.exe") == open(exe, "rb").read(), "sonabar.exe differs from the build's"
    for text in ("README.txt", "LICENSE.txt"):
        data = z.read(name + "/" + text)
        assert data and data.count(b"\n") == data.count(b"\r\n"), text + " has lines without Windows line ends"
PY
echo "windows_bundle: $name.zip: sonabar.exe, README.txt, LICENSE.txt"
