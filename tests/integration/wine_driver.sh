#!/usr/bin/env bash
# The port I/O driver hwinterface.sys and its provisioning under wine64, with
# the x86_64 cross build, in one private Wine prefix, in this order:
#  1. Fresh prefix: the program writes the driver file out of its resources,
#     registers the kernel service with its relative image path and tries to
#     start it. This Wine cannot start a driver from a relative image path, so
#     the program shows its failure message and ends with exit code 0, without
#     a tray icon. The file must be the built image byte for byte, and the
#     service's registry values those the program registers.
#  2. The driver file the program wrote: the driver client registers it with
#     an absolute image path (which this Wine needs), starts it, talks to it
#     with requests that touch no port (a port access would crash Wine's
#     driver host), stops it and removes the service. Port-touching requests
#     are covered by the unit tests of the driver's request checks.
#  3. The service registered with an absolute image path and stopped: the
#     program starts it, opens the device and comes up without the failure
#     message and without installing anything. Wine does not emulate port
#     instructions, so the program's first port write kills the driver host;
#     from there its writes fail silently, the program stays up and answers,
#     and Exit ends it with exit code 0.
# The script starts everything itself (prefix, one wineserver for all steps,
# Xvfb on a free display) and removes it at the end; every step has a time limit.
# Usage: tests/integration/wine_driver.sh BUILD_DIR   (an x86_64 cross build)
set -euo pipefail

build=$(cd "${1:?usage: wine_driver.sh BUILD_DIR (an x86_64 cross build)}" && pwd)
image=$build/driver/hwinterface.sys
program=$build/sonabar.exe
driver_client=$build/tests/integration/win/driver_client.exe
tray_client=$build/tests/integration/win/tray_client.exe
for f in "$image" "$program" "$driver_client" "$tray_client" "$build/tests/integration/win/tray_probe.dll"; do
  [ -f "$f" ] || { echo "wine_driver: missing $f (build the x86_64 cross build first)" >&2; exit 1; }
done

export WINELOADER=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="  # no .NET or HTML engine installers in the fresh prefix
work=$(mktemp -d /tmp/sonabar-wine-driver.XXXXXX)
export WINEPREFIX=$work/prefix
mkdir -p "$WINEPREFIX"

xvfb_pid=""
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  timeout 20 "$WINESERVER" -k >/dev/null 2>&1 || true
  timeout 20 "$WINESERVER" -w >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

step() { printf -- '-- %s\n' "$*"; }
die() { echo "wine_driver: FAILED: $*" >&2; exit 1; }
# Runs a Windows program with a time limit; Wine's own messages go to a log.
run_windows() { timeout 60 "$WINELOADER" "$@" 2>>"$work/wine.log" | tr -d '\r'; }
tray() { run_windows "$tray_client" "$@" || die "tray_client $*"; }

# Xvfb on the first free display from :91 on (the message box and the tray need one).
for n in $(seq 91 140); do
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
  Xvfb ":$n" -screen 0 800x600x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ -e "/tmp/.X11-unix/X$n" ] && kill -0 "$xvfb_pid" 2>/dev/null; then
    export DISPLAY=":$n"
    break
  fi
  xvfb_pid=""
done
[ -n "$xvfb_pid" ] || die "no free X display for Xvfb"

step "creating the Wine prefix (Xvfb on $DISPLAY)"
timeout 180 "$WINELOADER" wineboot -i >"$work/wineboot.log" 2>&1 || die "wineboot: $(tail -n 3 "$work/wineboot.log")"
# wineboot returns while the prefix's set-up still runs in the background and
# holds the service database (StartService then fails with 1055 or 1053):
# wait until every process of the set-up has ended and the server with them.
timeout 180 "$WINESERVER" -w
# From here on one server for every step, ended by the clean-up.
timeout 20 "$WINESERVER" -p

drivers=$WINEPREFIX/drive_c/windows/system32/drivers
service_key='HKLM\System\CurrentControlSet\Services\hwinterface'

# start_program: runs the program in the background and waits for its hidden window.
start_program() {
  timeout 120 "$WINELOADER" "$program" >"$work/program.log" 2>&1 &
  program_pid=$!
  tray window
}

# end_program: the program must end by itself with exit code 0 and leave no icon.
end_program() {
  local rc=0
  for _ in $(seq 150); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$program_pid" 2>/dev/null && die "the program did not end within 15 s"
  wait "$program_pid" || rc=$?
  program_pid=""
  [ "$rc" -eq 0 ] || die "the program's exit code is $rc"
  echo "exit code 0"
  tray gone
  tray tray-empty
}

# service_value NAME: "TYPE DATA" of one value of the service's registry key.
service_value() {
  run_windows reg query "$service_key" /v "$1" |
    awk -v name="$1" -F '    ' '$2 == name { print $3, $4 }'
}

# expect_value NAME EXPECTED [ALSO_ACCEPTED]
expect_value() {
  local value
  value=$(service_value "$1")
  [ "$value" = "$2" ] || { [ $# -ge 3 ] && [ "$value" = "$3" ]; } ||
    die "service value $1 is \"$value\", expected \"$2\"${3:+ or \"$3\"}"
  echo "service value $1: $value"
}

step "fresh prefix: the program installs the driver, cannot start it here, says so and ends"
[ ! -e "$drivers/hwinterface.sys" ] || die "the fresh prefix has a driver file already"
start_program
tray error-box "Error loading kernel-mode I/O-driver!"
end_program
cmp "$drivers/hwinterface.sys" "$image" || die "the driver file written differs from the built image"
echo "driver file: the built image, $(stat -c %s "$image") bytes"
expect_value Type "REG_DWORD 0x1"
expect_value Start "REG_DWORD 0x1"
expect_value ErrorControl "REG_DWORD 0x1"
expect_value ImagePath 'REG_EXPAND_SZ System32\Drivers\hwinterface.sys' 'REG_SZ System32\Drivers\hwinterface.sys'
expect_value DisplayName "REG_SZ hwinterface"

step "the installed driver file loads and answers requests that touch no port"
run_windows "$driver_client" unregister || die "removing the service"
status=0
run_windows "$driver_client" check 'C:\windows\system32\drivers\hwinterface.sys' || status=$?
[ "$status" -eq 0 ] || die "driver client: $status failed check(s)"

step "service registered with an absolute path and stopped: the program starts it and runs on"
mkdir -p "$WINEPREFIX/drive_c/sonabar"
cp "$image" "$WINEPREFIX/drive_c/sonabar/hwinterface.sys"
rm "$drivers/hwinterface.sys"
run_windows "$driver_client" register 'C:\sonabar\hwinterface.sys' || die "registering the service"
start_program
tray tray-icon >/dev/null
tray no-error-box
# The message loop runs after start-up's first port write, which broke the
# channel: the program answers its menu all the same.
tray ready
tray command 40003
end_program
[ ! -e "$drivers/hwinterface.sys" ] || die "the program installed the driver although its service started"
if grep -qs "Unhandled privileged instruction" "$work"/*.log; then
  echo "(the driver host died at the program's first port write, as it does under this Wine)"
fi
expect_value ImagePath 'REG_EXPAND_SZ C:\sonabar\hwinterface.sys' 'REG_SZ C:\sonabar\hwinterface.sys'

echo "wine_driver: passed"
