# Shared set-up of the tests of the Windows program under Wine (wine_driver.sh,
# wine_e2e.sh), which run an x86_64 or an i686 cross build: the build's files
# under test, Wine's environment, a private working directory holding a fresh
# Wine prefix (its crash dialog off) served by one wineserver for all steps,
# Xvfb on a display it picks itself, running Windows programs with a time
# limit, the tray client's steps, and the program's start and orderly end.
# The exit trap ends everything started here and removes the working
# directory. Sourced by the test scripts, which run under
# `set -euo pipefail` and are called as
#   tests/integration/wine_*.sh BUILD_DIR
# An x86_64 build runs under the system's wine64. An i686 build runs under the
# 32-bit Wine of scripts/wine-i386 (an emulated CPU: this kernel runs no 32-bit
# code), prepared on first use in WINE_I386_DIR (default build/wine-i386 of the
# checkout); its waits are longer.
# A failure ends the test with exit code 1 and a message naming the test and
# what failed; a wrong call or an incomplete build ends it with exit code 2.

# shellcheck shell=bash

WINE_TEST=$(basename "$0" .sh)
WINE_SOURCE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

export WINELOADER=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver64
export WINEDEBUG=-all
wine_arch=x86_64
# Disables the .NET and HTML engines, so the fresh prefix asks to install neither.
export WINEDLLOVERRIDES="mscoree,mshtml="

work=""
xvfb_pid=""
program_pid=""
wine_cleanup() {
  if [ -n "$program_pid" ]; then kill "$program_pid" 2>/dev/null || true; fi
  if [ -n "$work" ] && [ -d "$WINEPREFIX" ]; then
    timeout 20 "$WINESERVER" -k >/dev/null 2>&1 || true
    timeout 20 "$WINESERVER" -w >/dev/null 2>&1 || true
  fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  if [ -n "$work" ]; then rm -rf "$work"; fi
}
trap wine_cleanup EXIT

step() { printf -- '-- %s\n' "$*"; }
die() { echo "$WINE_TEST: FAILED: $*" >&2; exit 1; }

# wine_use_build ARGUMENTS: takes the script's arguments (one build
# directory) and sets build, program, image, tray_client and driver_client,
# all of which must exist, and wine_arch (x86_64 or i686, from the program);
# for an i686 build, the 32-bit Wine.
wine_use_build() {
  [ $# -eq 1 ] || { echo "usage: $0 BUILD_DIR   (an x86_64 or i686 cross build)" >&2; exit 2; }
  build=$(cd "$1" && pwd) || exit 2
  program=$build/sonabar.exe
  # The driver image the program carries: the test-signed one where the build signs.
  image=$build/driver/hwinterface.sys
  if grep -q '^SONABAR_TEST_SIGNING:BOOL=ON$' "$build/CMakeCache.txt" 2>/dev/null; then
    image=$build/driver/hwinterface-test-signed.sys
  fi
  tray_client=$build/tests/integration/win/tray_client.exe
  driver_client=$build/tests/integration/win/driver_client.exe
  local f
  for f in "$program" "$image" "$tray_client" "$driver_client" "$build/tests/integration/win/tray_probe.dll"; do
    [ -f "$f" ] || { echo "$WINE_TEST: missing $f (build the cross build first)" >&2; exit 2; }
  done
  if x86_64-w64-mingw32-objdump -f "$program" | grep -q 'file format pei-i386'; then
    wine_arch=i686
    wine_i386_dir=${WINE_I386_DIR:-$WINE_SOURCE_DIR/build/wine-i386}
    WINELOADER=$("$WINE_SOURCE_DIR/scripts/wine-i386" "$wine_i386_dir") ||
      { echo "$WINE_TEST: no 32-bit Wine for the i686 build" >&2; exit 2; }
  fi
}

# wine_start_display: Xvfb for the program's windows, the tray and the
# message boxes. Xvfb picks a free display itself and writes its number once
# it accepts connections: no race with other X servers starting at the same time.
wine_start_display() {
  local number=$work/xvfb.display
  Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$number" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do
    [ -s "$number" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || die "Xvfb ended at start: $(tail -n 3 "$work/xvfb.log")"
    sleep 0.1
  done
  [ -s "$number" ] || die "Xvfb named no display within 10 s"
  DISPLAY=":$(tr -d '[:space:]' <"$number")"
  export DISPLAY
  [ -S "/tmp/.X11-unix/X${DISPLAY#:}" ] || die "Xvfb named display $DISPLAY but has no socket for it"
}

# wine_start: the working directory, Xvfb, and a fresh prefix kept by one
# wineserver until the exit trap (or restart_server) ends it.
wine_start() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/sonabar-$WINE_TEST.XXXXXX")
  export WINEPREFIX=$work/prefix
  mkdir "$WINEPREFIX"
  wine_start_display
  step "fresh Wine prefix in $work (Xvfb on $DISPLAY)"
  timeout 180 "$WINELOADER" wineboot -i >"$work/wineboot.log" 2>&1 ||
    die "wineboot: $(tail -n 3 "$work/wineboot.log")"
  # wineboot returns while the prefix's set-up still runs in the background and
  # holds the service database (StartService then fails with 1055 or 1053):
  # wait until every process of the set-up has ended and the server with them.
  timeout 180 "$WINESERVER" -w || die "the prefix's set-up did not end within 180 s"
  if [ "$wine_arch" = i686 ]; then
    cp "$wine_i386_dir/zlib1.dll" "$WINEPREFIX/drive_c/windows/syswow64/" || die "zlib1.dll for the 32-bit builtins"
  fi
  timeout 20 "$WINESERVER" -p || die "starting the wineserver for the steps"
  # A Windows program that crashes ends at once, its report in Wine's log,
  # instead of waiting for someone to close a crash dialog on the hidden display.
  run_windows reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null ||
    die "switching off Wine's crash dialog"
}

# restart_server: a fresh wineserver for the steps that follow (a driver whose
# host died can be started again only in a new server).
restart_server() {
  timeout 20 "$WINESERVER" -k || die "ending the wineserver"
  timeout 20 "$WINESERVER" -w || die "the wineserver did not end within 20 s"
  timeout 20 "$WINESERVER" -p || die "starting a new wineserver"
}

# run_windows PROGRAM ARGUMENTS: runs a Windows program with a time limit,
# its output with Windows line ends made plain; Wine's own messages go to a log.
run_windows() { timeout 60 "$WINELOADER" "$@" 2>>"$work/wine.log" | tr -d '\r'; }

# tray ARGUMENTS: one check or action of the tray client; a failed one ends
# the test. The client gives its verdict as exit code 0 or 1, with the reason
# printed. Any other code means it gave none: Wine did not run it to the end
# (it died, or hung past the time limit, as a Wine process now and then does
# at start-up). That is reported with the end of Wine's log and the step is
# run once more. A second run cannot hide a fault: a check run twice checks
# the same, and an action done twice or cut short leaves a state that the
# step itself or the next check rejects.
tray() {
  local rc=0
  run_windows "$tray_client" "$@" || rc=$?
  if [ "$rc" -ne 0 ] && [ "$rc" -ne 1 ]; then
    {
      echo "tray_client $*: no verdict (exit code $rc); the end of Wine's log:"
      tail -n 5 "$work/wine.log" | sed 's/^/  /'
      echo "tray_client $*: once more"
    } >&2
    rc=0
    run_windows "$tray_client" "$@" || rc=$?
  fi
  [ "$rc" -eq 0 ] || die "tray_client $* (exit code $rc)"
}

# register_driver: the built driver at C:\sonabar\hwinterface.sys, registered
# as a stopped kernel service with that absolute image path (this Wine cannot
# start a driver from the relative path the program registers).
register_driver() {
  mkdir -p "$WINEPREFIX/drive_c/sonabar"
  cp "$image" "$WINEPREFIX/drive_c/sonabar/hwinterface.sys"
  run_windows "$driver_client" register 'C:\sonabar\hwinterface.sys' >"$work/register.log" ||
    die "registering the driver: $(cat "$work/register.log")"
}

# start_program ARGUMENTS: runs the program in the background and waits for its hidden window.
start_program() {
  timeout 120 "$WINELOADER" "$program" "$@" >"$work/program.log" 2>&1 &
  program_pid=$!
  tray window
}

# start_program_with_driver ARGUMENTS: start_program, then the program must
# come up with its icon, without the failure message (having started the
# driver), and finish its start-up (the tray drops clicks while start-up's
# port writes still wait).
start_program_with_driver() {
  start_program "$@"
  tray tray-icon >/dev/null
  tray no-error-box
  tray ready
}

# end_program [CODE]: the program must end by itself within 15 s with exit
# code CODE (0 when not given) and leave no window and no icon.
end_program() {
  local rc=0 expected=${1:-0}
  for _ in $(seq 150); do
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$program_pid" 2>/dev/null && die "the program did not end within 15 s"
  wait "$program_pid" || rc=$?
  program_pid=""
  [ "$rc" -eq "$expected" ] || die "the program's exit code is $rc, not $expected"
  echo "exit code $rc"
  tray gone
  tray tray-empty
}
