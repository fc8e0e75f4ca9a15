#!/usr/bin/env bash
# Fault: the parallel-port device goes away while the program drives it -
# its node disappears (the kernel answers "no such device"), or the whole
# device server dies (every request fails at once).
# Nothing lost means: the failing writes are silent (nothing on stderr) and
# change nothing else - the program runs on at its tick, the tray menu still
# answers (Peak toggles its check mark), and Exit from the menu or SIGTERM
# ends it within 2 s with exit code 0 and no process left. The dark display
# cannot reach a port that is gone; every write up to the loss was logged.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/fault_lib.sh"
require fusermount3
start_bus
start_display
export XDG_RUNTIME_DIR="$PRIVATE_DIR"  # no audio server: the display stays dark


# The node disappears after 150 writes, under a program with its tray icon.
start_port vanish --vanish-after=150
start_sonabar vanish -port="$PRIVATE_DIR/vanish/parport0"
check "vanish: the node disappeared under the program" \
    wait_until 10 sh -c "grep -q ' vanished ' '$PRIVATE_DIR/vanish.log'"
sleep 1
check "vanish: the program runs on" kill -0 "$SONABAR_PID"
check "vanish: 150 writes reached the port before" \
    [ "$(grep -c -E ' (data|control|mode) ' "$PRIVATE_DIR/vanish.log")" = 150 ]
tray click Peak
check "vanish: the menu still answers (Peak checked)" wait_until 5 state_is Peak 1
end_orderly "vanish, then Exit from the menu" - menu
check "vanish: nothing on stderr" quiet "$PRIVATE_DIR/vanish.err"

# The device server dies: every request on the open node fails from then on.
unset DISPLAY
start_port dead
server=${PRIVATE_PIDS[-1]}
start_sonabar dead -16bit -port="$PRIVATE_DIR/dead/parport0"
wait_until 10 sh -c "[ \$(grep -c ' data ' '$PRIVATE_DIR/dead.log') -ge 50 ]"
kill -KILL "$server"
sleep 1
check "server dead: the program runs on" kill -0 "$SONABAR_PID"
end_orderly "server dead, then SIGTERM" -
check "server dead: nothing on stderr" quiet "$PRIVATE_DIR/dead.err"
finish
