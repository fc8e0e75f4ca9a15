#!/usr/bin/env bash
# The tray item on a real X server (Xvfb) and session bus, with a stand-in
# StatusNotifierWatcher; the menu is driven over D-Bus as a tray host drives
# it. The program runs from a copy outside the build tree, and the icon the
# item names is the program's own. Checks the item's title and its menu (the
# design's four items, with the "Listen to" and "Sensitivity" submenus of
# radio items and "Start at login" before "Exit"), the check marks of "-peak"
# and of the menu toggles, the radio items set by the command line and
# switched by a click (what cannot apply is not written to the settings file),
# the dark display and the new frame size after "16-bit", the About box (one
# at a time; OK and Enter close it, Escape and the close box do not; the menu
# and the tick go on while it is open), "Exit" while the About box is open,
# and the start-up failure dialog with its exit code.
. "$(dirname "$0")/lib.sh"
require fusermount3 xdotool
start_bus
start_display
export XDG_RUNTIME_DIR="$PRIVATE_DIR"  # no audio server: the display stays dark

about_windows_are() { [ "$(xdotool search --onlyvisible --name '^About$' 2>/dev/null | wc -l)" = "$1" ]; }
dialog_open() { xdotool search --onlyvisible --name '^Sonabar$' >/dev/null 2>&1; }
press() { timeout 10 xdotool windowfocus --sync "$1" && xdotool key "$2"; }

start_port tray
log="$PRIVATE_DIR/tray.log"
cp "$SONABAR" "$PRIVATE_DIR/sonabar-copy"
SONABAR="$PRIVATE_DIR/sonabar-copy" start_sonabar tray -peak -gain=+3 -port="$PRIVATE_DIR/tray/parport0"
wait_until 10 test -s "$PRIVATE_DIR/items" || log "the tray item did not register"
check "the item's title is Sonabar" [ "$(tray title)" = Sonabar ]
check "the menu: About, 16-bit, Peak, the two submenus, Start at login, Exit; -peak checked Peak" \
    [ "$(tray list | tr '\n' ' ')" = "About -1 16-bit 0 Peak 1 Listen to -1 Sensitivity -1 Start at login 0 Exit -1 " ]
check "Listen to: two radio items, the sound input checked" \
    submenu_is "Listen to" "Sound input radio 1 What is playing radio 0 "
check "Sensitivity: the presets, -gain=+3 as an item of its own and checked, Automatic" \
    submenu_is Sensitivity "Normal radio 0 +3 dB radio 1 +6 dB radio 0 +12 dB radio 0 +18 dB radio 0 Automatic radio 0 "
read -r icon_name icon_path < <(tray icon)
check "the copied program's icon is its own ($icon_path)" \
    cmp -s "$icon_path/hicolor/scalable/apps/$icon_name.svg" "$(dirname "$0")/../../app/resources/sonabar.svg"

tray click "+12 dB"
check "+12 dB clicked: it alone is checked" wait_until 5 submenu_is Sensitivity \
    "Normal radio 0 +3 dB radio 0 +6 dB radio 0 +12 dB radio 1 +18 dB radio 0 Automatic radio 0 "
tray click "+12 dB"
sleep 0.3
check "+12 dB clicked again: still checked" state_is "+12 dB" 1
tray click Automatic
check "Automatic clicked: checked" wait_until 5 state_is Automatic 1
check "Automatic clicked: +12 dB unchecked" state_is "+12 dB" 0
# No sound server here: what is playing cannot be recorded, so the check stays.
tray click "What is playing"
sleep 0.5
check "What is playing without a sound server: the sound input stays checked" \
    submenu_is "Listen to" "Sound input radio 1 What is playing radio 0 "
check "... and is not written to the settings file, unlike Automatic" \
    [ "$(cat "$XDG_CONFIG_HOME/sonabar/sonabar.conf")" = "$(printf '[Sonabar]\ngain=auto')" ]

tray click Peak
check "Peak clicked: unchecked" wait_until 5 state_is Peak 0
tray click Peak
check "Peak clicked again: checked" wait_until 5 state_is Peak 1

start=$(now)
tray click 16-bit
check "16-bit clicked: checked" wait_until 5 state_is 16-bit 1
sleep 0.4
check "16-bit on: a dark display, then 16-LED frames" frames switch "$log" "$start" 16
start=$(now)
tray click 16-bit
check "16-bit clicked again: unchecked" wait_until 5 state_is 16-bit 0
sleep 0.4
check "16-bit off: a dark display, then 8-LED frames" frames switch "$log" "$start" 8

tray click About
check "About opens its box" wait_until 10 about_windows_are 1
about=$(xdotool search --onlyvisible --name '^About$' | head -1)
tray click About
sleep 0.5
check "About while open: still one box" about_windows_are 1
tray click Peak
check "the menu works while the box is open" wait_until 5 state_is Peak 0
before=$(frames count "$log" data)
press "$about" Escape
"$PYTHON" "$ITEST_TOOLS/x_close.py" "$about"
sleep 0.5
check "Escape and the close box leave it open" about_windows_are 1
check "the tick runs while the box is open" [ "$(frames count "$log" data)" -gt "$((before + 20))" ]
press "$about" Return
check "Enter closes it" wait_until 5 about_windows_are 0
tray click About
check "About opens it again" wait_until 10 about_windows_are 1
button=$(xdotool search --onlyvisible --name '^About$' | head -1)
# OK: the default button; a click on it through the keyboard's activation.
press "$button" space
check "OK closes it" wait_until 5 about_windows_are 0

tray click About
wait_until 10 about_windows_are 1
tray click Exit
wait_exit "$SONABAR_PID" 10
check "Exit while the About box is open ends the program with code 0 (got $EXIT_CODE)" [ "$EXIT_CODE" = 0 ]
check "Exit: the last writes are control 0, then data 0" ends_dark "$log"
check "Exit: the port released and closed" [ "$(tail -2 "$log" | cut -d' ' -f2 | tr '\n' ' ')" = "release close " ]
check "no GTK or GLib warnings on stderr" quiet "$PRIVATE_DIR/tray.err"

# The start-up failure with a display: the dialog, and the text on stderr.
start_sonabar failure -port="$PRIVATE_DIR/nowhere/parport0"
check "the failure dialog opens" wait_until 10 dialog_open
dialog=$(xdotool search --onlyvisible --name '^Sonabar$' | head -1)
check "the headline and the cause are on stderr" \
    [ "$(head -1 "$PRIVATE_DIR/failure.err")" = "sonabar: cannot use the parallel port $PRIVATE_DIR/nowhere/parport0" -a \
      "$(wc -l <"$PRIVATE_DIR/failure.err")" -eq 2 ]
press "$dialog" Return
wait_exit "$SONABAR_PID" 10
check "the failure dialog's OK ends with code 1 (got $EXIT_CODE)" [ "$EXIT_CODE" = 1 ]

finish
