#!/usr/bin/env bash
# No tray to show the icon, with a display: without a tray host, one line on
# stderr says that the program runs without its icon and how to end it, and
# the icon appears when a host starts later; without a session bus, one line
# says so instead of the tray library's warnings. Each run ends on SIGTERM
# with exit code 0 and the dark display.
. "$(dirname "$0")/lib.sh"
require fusermount3
start_bus
start_display --no-tray
export XDG_RUNTIME_DIR="$PRIVATE_DIR"  # no sound server: the display stays dark

# says_only NAME LINE: besides what the capture says of its input, NAME's stderr is LINE.
says_only() { [ "$(but_input_lines <"$PRIVATE_DIR/$1.err")" = "$2" ]; }

start_port nohost
start_sonabar nohost -port="$PRIVATE_DIR/nohost/parport0"
line="sonabar: no system tray is running, so Sonabar runs without its icon (it appears when a tray starts); end it with Ctrl-C, or with: kill $SONABAR_PID"
check "no tray host: one line says so and how to end the program" \
    wait_until 6 says_only nohost "$line"
start_tray
check "a tray host that starts later gets the item" wait_until 10 test -s "$PRIVATE_DIR/items"
check "and its menu" [ "$(tray state Peak)" = 0 ]
kill -TERM "$SONABAR_PID"
wait_exit "$SONABAR_PID" 10
check "no tray host: SIGTERM ends with exit code 0 (got $EXIT_CODE)" [ "$EXIT_CODE" = 0 ]
check "no tray host: the dark display last" ends_dark "$PRIVATE_DIR/nohost.log"
check "no tray host: nothing more on stderr" says_only nohost "$line"

start_port nobus
DBUS_SESSION_BUS_ADDRESS="unix:path=$PRIVATE_DIR/no-such-bus" start_sonabar nobus -port="$PRIVATE_DIR/nobus/parport0"
wait_until 10 sh -c "grep -q ' mode ' '$PRIVATE_DIR/nobus.log'"
sleep 3  # past the first look for a tray host
kill -TERM "$SONABAR_PID"
wait_exit "$SONABAR_PID" 10
check "no session bus: SIGTERM ends with exit code 0 (got $EXIT_CODE)" [ "$EXIT_CODE" = 0 ]
check "no session bus: the dark display last" ends_dark "$PRIVATE_DIR/nobus.log"
check "no session bus: one line says so and how to end the program, nothing else" \
    says_only nobus "sonabar: no session bus (Could not connect: No such file or directory), so Sonabar runs without a tray icon; end it with Ctrl-C, or with: kill $SONABAR_PID"
finish
