#!/usr/bin/env bash
# The tray item on a real X server (Xvfb) and session bus, with a stand-in
# StatusNotifierWatcher; the menu is driven over D-Bus as a tray host drives
# it. The program runs from a copy outside the build tree, and the icons the
# item names are the program's own, in a folder of its own that is gone after
# it ends (and those of programs ended by force are gone when it starts).
# Checks the item's tip while no sound comes (no audio server here), its menu
# (the design's four items, with the "Listen to" and "Sensitivity" submenus of
# radio items and "Start at login" before "Exit", separators between the
# groups), the check marks of "-peak" and of the menu toggles, the radio items
# set by the command line and switched by a click (what cannot apply is not
# written to the settings file), the dark display and the new frame size
# after "16-bit", the About box (one at a time, the program's icon on its
# window; OK, Enter, Escape and the close button close it; the menu and the
# tick go on while it is open), "Exit" while the About box is open, and the
# start-up failure dialog, closed by its close button, with its exit code.
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
# What a program ended by force left: its process number runs no more.
sh -c 'exit 0' & gone=$!; wait $gone
mkdir -p "$XDG_RUNTIME_DIR/sonabar-icons-$gone/hicolor/scalable/apps"
touch "$XDG_RUNTIME_DIR/sonabar-icons-$gone/hicolor/scalable/apps/sonabar.svg"
SONABAR="$PRIVATE_DIR/sonabar-copy" start_sonabar tray -peak -gain=+3 -port="$PRIVATE_DIR/tray/parport0"
wait_until 10 test -s "$PRIVATE_DIR/items" || log "the tray item did not register"
# The greyed icon, and the title and the icon's description both "Sonabar: no sound (CAUSE)".
no_sound_told() {
    [[ "$(tray tip)" =~ ^sonabar-no-sound\|(Sonabar: no sound \(.+\))\|(.+)$ ]] && [ "${BASH_REMATCH[1]}" = "${BASH_REMATCH[2]}" ]
}
check "no sound (no audio server): the greyed icon, the tip says why" wait_until 5 no_sound_told
check "the menu: About, 16-bit, Peak, the two submenus, Start at login, Exit, separated; -peak checked Peak" \
    [ "$(tray list | tr '\n' ' ')" = "About -1 --- -1 16-bit 0 Peak 1 --- -1 Listen to -1 Sensitivity -1 --- -1 Start at login 0 Exit -1 " ]
check "Listen to: two radio items, the sound input checked" \
    submenu_is "Listen to" "Sound input radio 1 What is playing radio 0 "
check "Sensitivity: the presets, -gain=+3 as an item of its own and checked, Automatic" \
    submenu_is Sensitivity "Normal radio 0 +3 dB radio 1 +6 dB radio 0 +12 dB radio 0 +18 dB radio 0 Automatic radio 0 "
read -r icon_name icon_path < <(tray icon)
icon_is_own() {
    [ "$icon_path" = "$XDG_RUNTIME_DIR/sonabar-icons-$SONABAR_PID" ] &&
        cmp -s "$icon_path/hicolor/scalable/apps/$icon_name.svg" "$(dirname "$0")/../../app/resources/$icon_name.svg"
}
check "the copied program's icon is its own, in a folder of its own ($icon_path)" icon_is_own
check "the icons a program ended by force left are gone" [ ! -e "$XDG_RUNTIME_DIR/sonabar-icons-$gone" ]

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

# open_about: opens the box and sets $about to its window.
open_about() {
    tray click About
    wait_until 10 about_windows_are 1 && about=$(xdotool search --onlyvisible --name '^About$' | head -1)
}
data_writes_beyond() { [ "$(frames count "$log" data)" -gt "$1" ]; }
check "About opens its box" open_about
check "the box's window carries the program's icon" sh -c "xprop -id '$about' _NET_WM_ICON | grep -q 'Icon (48 x 48)'"
tray click About
sleep 0.5
check "About while open: still one box" about_windows_are 1
tray click Peak
check "the menu works while the box is open" wait_until 5 state_is Peak 0
before=$(frames count "$log" data)
check "the tick runs while the box is open" wait_until 5 data_writes_beyond "$((before + 20))"
press "$about" Escape
check "Escape closes it" wait_until 5 about_windows_are 0
open_about
"$PYTHON" "$ITEST_TOOLS/x_close.py" "$about"
check "the close button (WM_DELETE_WINDOW) closes it" wait_until 5 about_windows_are 0
open_about
press "$about" Return
check "Enter closes it" wait_until 5 about_windows_are 0
check "About opens it again" open_about
# OK: the default button; a click on it through the keyboard's activation.
press "$about" space
check "OK closes it" wait_until 5 about_windows_are 0

tray click About
wait_until 10 about_windows_are 1
tray click Exit
wait_exit "$SONABAR_PID" 10
check "Exit while the About box is open ends the program with code 0 (got $EXIT_CODE)" [ "$EXIT_CODE" = 0 ]
check "Exit: the last writes are control 0, then data 0" ends_dark "$log"
check "Exit: the port released and closed" [ "$(tail -2 "$log" | cut -d' ' -f2 | tr '\n' ' ')" = "release close " ]
check "no GTK or GLib warnings on stderr" quiet "$PRIVATE_DIR/tray.err"
check "Exit: the icons' folder is gone" [ ! -e "$icon_path" ]

# The start-up failure with a display: the dialog, and the text on stderr.
start_sonabar failure -port="$PRIVATE_DIR/nowhere/parport0"
check "the failure dialog opens" wait_until 10 dialog_open
dialog=$(xdotool search --onlyvisible --name '^Sonabar$' | head -1)
check "the headline and the cause are on stderr" \
    [ "$(head -1 "$PRIVATE_DIR/failure.err")" = "sonabar: cannot use the parallel port $PRIVATE_DIR/nowhere/parport0" -a \
      "$(wc -l <"$PRIVATE_DIR/failure.err")" -eq 2 ]
"$PYTHON" "$ITEST_TOOLS/x_close.py" "$dialog"
wait_exit "$SONABAR_PID" 10
check "the failure dialog's close button ends it with code 1 (got $EXIT_CODE)" [ "$EXIT_CODE" = 1 ]
check "nothing of the program's is left in the runtime folder" \
    [ -z "$(find "$XDG_RUNTIME_DIR" -maxdepth 1 -name 'sonabar-icons*')" ]

finish
