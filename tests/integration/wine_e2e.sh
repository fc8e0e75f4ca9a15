#!/usr/bin/env bash
# End-to-end test of the Windows program under wine64, with the x86_64 cross
# build: the program starts, its icon appears in Wine's tray, a right-click on
# the icon opens the four-item menu at the cursor (a left click opens nothing),
# the menu commands switch the check marks, the About box shows its text and
# only OK closes it, and Exit (or closing the hidden window) ends the program
# with exit code 0 and removes the icon. Without a wave input device under
# Wine, the program runs on with a dark display.
#
# The program meets a real driver channel: the prefix has the port I/O driver
# registered as a stopped kernel service with an absolute image path (this
# Wine cannot start one from the relative path the program registers), and
# each run starts it. Wine does not emulate port instructions, so a run's
# first port write kills the driver host and its later writes fail silently;
# a killed driver cannot be started again within one wineserver, so the
# server is restarted between runs.
#
# The script starts everything itself: a private Wine prefix in a temporary
# directory, Xvfb on a free display and one wineserver for all steps, and
# removes them at the end. Screenshots of the open menu and of the About box
# are left in BUILD_DIR/e2e-artefacts.
#
# Usage: tests/integration/wine_e2e.sh BUILD_DIR   (an x86_64 cross build)
set -euo pipefail

[ $# -eq 1 ] || { echo "usage: $0 X86_64_BUILD_DIR" >&2; exit 2; }
build=$(cd "$1" && pwd)
program="$build/sonabar.exe"
client="$build/tests/integration/win/tray_client.exe"
driver_client="$build/tests/integration/win/driver_client.exe"
image="$build/driver/hwinterface.sys"
for f in "$program" "$client" "$build/tests/integration/win/tray_probe.dll" "$driver_client" "$image"; do
  [ -f "$f" ] || { echo "missing $f (build the x86_64 cross build first)" >&2; exit 2; }
done
artefacts="$build/e2e-artefacts"
mkdir -p "$artefacts"

work=$(mktemp -d "${TMPDIR:-/tmp}/sonabar-wine.XXXXXX")
export WINEPREFIX="$work/prefix"
export WINELOADER=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree=;mshtml="  # no Mono or Gecko installers in the fresh prefix

xvfb_pid=""
program_pid=""
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  [ -d "$WINEPREFIX" ] && timeout 20 "$WINESERVER" -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

step() { printf -- '-- %s\n' "$*"; }
die() { echo "FAIL: $*" >&2; exit 1; }
run_windows() { timeout 30 "$WINELOADER" "$@"; }
client() { run_windows "$client" "$@" | tr -d '\r' || die "tray_client $*"; }
screenshot() { timeout 20 import -display "$DISPLAY" -window root "$artefacts/$1" || die "screenshot $1"; }

# Xvfb on the first free display from :91 on.
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
step "Xvfb on $DISPLAY, Wine prefix in $work"

step "fresh Wine prefix with the driver registered and stopped"
mkdir -p "$WINEPREFIX"
timeout 180 "$WINELOADER" wineboot -i >"$work/wineboot.log" 2>&1 || die "wineboot: $(tail -n 3 "$work/wineboot.log")"
# wineboot returns while the prefix's set-up still holds the service database:
# let the set-up and its server end before the program needs the database.
timeout 180 "$WINESERVER" -w
timeout 20 "$WINESERVER" -p  # one server for the steps, until the -k at the end or a restart
# Wine draws the window frames itself, so the About box shows its caption.
run_windows reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null
mkdir -p "$WINEPREFIX/drive_c/sonabar"
cp "$image" "$WINEPREFIX/drive_c/sonabar/hwinterface.sys"
run_windows "$driver_client" register 'C:\sonabar\hwinterface.sys' >"$work/register.log" ||
  die "registering the driver: $(tr -d '\r' <"$work/register.log")"

# restart_server: a fresh wineserver, in which the stopped driver can start again.
restart_server() {
  timeout 20 "$WINESERVER" -k
  timeout 20 "$WINESERVER" -w
  timeout 20 "$WINESERVER" -p
}

# start_program ARGUMENTS: runs the program in the background; it must come
# up without the failure message, having started the driver, and finish its
# start-up (the tray drops clicks while start-up's port writes still wait).
start_program() {
  timeout 120 "$WINELOADER" "$program" "$@" >"$work/program.log" 2>&1 &
  program_pid=$!
  client window
  client tray-icon >/dev/null
  client no-error-box
  client ready
}

# end_program: the program must end by itself with exit code 0 and leave no icon.
end_program() {
  local rc
  for _ in $(seq 150); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$program_pid" 2>/dev/null && die "the program did not end within 15 s"
  rc=0
  wait "$program_pid" || rc=$?
  program_pid=""
  [ "$rc" -eq 0 ] || die "exit code $rc"
  echo "exit code 0"
  client gone
  client tray-empty
}

step "start without options"
start_program
icon=$(client tray-icon) || exit 1
read -r icon_x icon_y <<<"$icon"
echo "icon in the tray at ($icon_x,$icon_y)"

step "left click on the icon: nothing"
xdotool mousemove "$icon_x" "$icon_y" click 1
client no-menu

step "right click on the icon: the menu at the cursor"
xdotool mousemove "$icon_x" "$icon_y" click 3
client menu wait 40008:0:About 40007:0:16-bit 40006:0:Peak 40003:0:Exit
client close-menu

step "Peak, then Peak again and 16-bit"
client command 40006
client menu post 40008:0:About 40007:0:16-bit 40006:1:Peak 40003:0:Exit
client close-menu
client command 40006
client command 40007
client menu post 40008:0:About 40007:1:16-bit 40006:0:Peak 40003:0:Exit
screenshot menu.png
client close-menu

step "About box"
client about-open
screenshot about.png
client about-ok

step "Exit"
client command 40003
end_program

step "start with -peak -16bit, end by closing the hidden window"
restart_server
start_program -peak -16bit
client menu post 40008:0:About 40007:1:16-bit 40006:1:Peak 40003:0:Exit
client close-menu
client close-window
end_program

step "passed; screenshots in $artefacts"
