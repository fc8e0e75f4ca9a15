#!/usr/bin/env bash
# End-to-end test of the Windows program under Wine, with the x86_64 or the
# i686 cross build: the program starts, its icon appears in Wine's tray, a
# right-click on the icon opens the menu at the cursor (a left click opens
# nothing), the menu commands switch the check marks and the radio mark of the
# "Sensitivity" submenu, a start with -gain=+3 shows an item of its own for
# it, checked, a start with -gain=loud only shows a box saying what is wrong
# and ends with exit code 2, a second start
# says "Sonabar is already running." and ends with exit code 0 while the first
# runs on unchanged, the icon comes back when the tray has lost it (as a
# restarted tray host knows no icon of before; Wine cannot restart its own
# tray host while programs run) and "TaskbarCreated" is broadcast, the About
# box shows its text and only OK closes it, and Exit (or closing the hidden
# window) ends the program with exit code 0 and removes the icon. Without a wave input device
# under Wine, the program runs on with a dark display.
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
# directory, Xvfb on a free display and one wineserver for all steps (see
# wine_lib.sh), and removes them at the end. Screenshots of the open menu and
# of the About box are left in BUILD_DIR/e2e-artefacts.
#
# Usage: tests/integration/wine_e2e.sh BUILD_DIR   (an x86_64 or i686 cross build)
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/wine_lib.sh"

wine_use_build "$@"
artefacts="$build/e2e-artefacts"
mkdir -p "$artefacts"
screenshot() { timeout 20 import -display "$DISPLAY" -window root "$artefacts/$1" || die "screenshot $1"; }

# menu post|wait SIXTEEN PEAK GAIN [OWN]: the tray menu must read About,
# 16-bit and Peak with these check marks (0 or 1), the "Sensitivity" submenu
# with the radio mark on the item whose command is GAIN, and Exit. OWN
# (COMMAND:TEXT) is the item of its own for a -gain=N, after "Normal".
menu() {
  local how=$1 gain=$4 own=${5:-} item mark
  local items=(40008:0:About "40007:$2:16-bit" "40006:$3:Peak" 0:0:Sensitivity)
  for item in 40030:Normal ${own:+"$own"} "40031:+6 dB" "40032:+12 dB" "40033:+18 dB" 40034:Automatic; do
    mark=0
    [ "${item%%:*}" = "$gain" ] && mark=2
    items+=("Sensitivity>${item%%:*}:$mark:${item#*:}")
  done
  tray menu "$how" "${items[@]}" 40003:0:Exit
}

wine_start
step "the driver registered and stopped, window frames drawn by Wine"
# Wine draws the window frames itself, so the About box shows its caption.
run_windows reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null
register_driver

step "start without options"
start_program_with_driver
icon=$(tray tray-icon) || exit 1
read -r icon_x icon_y <<<"$icon"
echo "icon in the tray at ($icon_x,$icon_y)"

step "left click on the icon: nothing"
xdotool mousemove "$icon_x" "$icon_y" click 1
tray no-menu

step "right click on the icon: the menu at the cursor"
xdotool mousemove "$icon_x" "$icon_y" click 3
menu wait 0 0 40030
tray close-menu

step "Peak, then Peak again and 16-bit"
tray command 40006
menu post 0 1 40030
tray close-menu
tray command 40006
tray command 40007
menu post 1 0 40030
tray close-menu

step "Sensitivity: Automatic, then +12 dB"
tray command 40034
menu post 1 0 40034
tray close-menu
tray command 40032
xdotool mousemove "$icon_x" "$icon_y" click 3
menu wait 1 0 40032
xdotool key Down Down Down Down Right Down Down
sleep 1
screenshot menu.png
xdotool key Left
tray close-menu

step "a second start says so and ends; the first runs on with its icon and its options"
timeout 120 "$WINELOADER" "$program" -peak >"$work/second.log" 2>&1 &
second_pid=$!
tray notice-box "Sonabar is already running."
rc=0
timeout 30 tail --pid="$second_pid" -f /dev/null || die "the second start did not end within 30 s"
wait "$second_pid" || rc=$?
[ "$rc" -eq 0 ] || die "the second start's exit code is $rc"
echo "the second start: exit code 0"
tray tray-icon >/dev/null
menu post 1 0 40032
tray close-menu

step "the tray forgets the icon, as a restarted tray host does: \"TaskbarCreated\" brings it back"
tray tray-forget
tray taskbar-created
icon=$(tray tray-icon) || exit 1
read -r icon_x icon_y <<<"$icon"
echo "icon back in the tray at ($icon_x,$icon_y)"
xdotool mousemove "$icon_x" "$icon_y" click 3
menu wait 1 0 40032
tray close-menu

step "About box"
tray about-open
screenshot about.png
tray about-ok

step "Exit"
tray command 40003
end_program

step "start with -peak -16bit -gain=+3, end by closing the hidden window"
restart_server
start_program_with_driver -peak -16bit -gain=+3
menu post 1 1 40035 "40035:+3 dB"
tray close-menu
tray close-window
end_program

step "start with -gain=loud: a box says what is wrong, nothing else starts, exit code 2"
timeout 120 "$WINELOADER" "$program" -peak -gain=loud >"$work/refused.log" 2>&1 &
program_pid=$!
tray notice-box "-gain= takes a number of dB from -20 to +40, or auto: 'loud'"
end_program 2

step "passed; screenshots in $artefacts"
