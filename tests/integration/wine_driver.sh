#!/usr/bin/env bash
# Loads the port I/O driver hwinterface.sys under wine64 and talks to it:
# in a private Wine prefix, the x86_64 test client registers the driver as a
# kernel service (with an absolute image path, which this Wine needs), starts
# it, opens "\\.\hwinterface" and sends requests that touch no port (a port
# access would crash Wine's driver host), then stops it and checks that the
# device is gone. Port-touching requests are covered by the unit tests of the
# driver's request checks.
# Usage: tests/integration/wine_driver.sh BUILD_DIR   (an x86_64 cross build)
set -euo pipefail

build=$(cd "${1:?usage: wine_driver.sh BUILD_DIR (an x86_64 cross build)}" && pwd)
image=$build/driver/hwinterface.sys
client=$build/tests/integration/win/driver_client.exe
for f in "$image" "$client"; do
  [ -f "$f" ] || { echo "wine_driver: missing $f (build the x86_64 cross build first)" >&2; exit 1; }
done

export WINELOADER=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no .NET or HTML engine installers in the fresh prefix
work=$(mktemp -d /tmp/sonabar-wine-driver.XXXXXX)
export WINEPREFIX=$work/prefix
mkdir -p "$WINEPREFIX"

cleanup() {
  timeout 20 "$WINESERVER" -k >/dev/null 2>&1 || true
  timeout 20 "$WINESERVER" -w >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "wine_driver: creating the Wine prefix"
timeout 180 "$WINELOADER" wineboot -i >/dev/null 2>&1
# wineboot returns while the prefix's set-up still runs in the background and
# holds the service database (StartService then fails with 1055 or 1053):
# wait until every process of the set-up has ended and the server with them.
timeout 180 "$WINESERVER" -w
# From here on one server for every step, ended by the clean-up.
timeout 20 "$WINESERVER" -p

drivers=$WINEPREFIX/drive_c/windows/system32/drivers
cp "$image" "$drivers/hwinterface.sys"

echo "wine_driver: running the driver client"
status=0
timeout 120 "$WINELOADER" "$client" 'C:\windows\system32\drivers\hwinterface.sys' | tr -d '\r' || status=$?
if [ "$status" -ne 0 ]; then
  echo "wine_driver: FAILED (client exit $status)" >&2
  exit 1
fi
echo "wine_driver: passed"
