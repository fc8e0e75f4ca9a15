#!/usr/bin/env bash
# Fault: SIGTERM at awkward moments - at several points of start-up, while
# the port claim waits for another holder, while the About box is open, and
# under heavy load (both cores busy, a loud tone, 16 LEDs with the peak dot).
# Nothing lost means, each time: the program ends within 2 s of the signal
# with no process left; when it had opened the port, it ended in order with
# exit code 0, the dark display as its last writes and the port released;
# a signal that comes before the program has taken the port may end it at
# once (death by the signal) but then nothing was written. A claim cut short
# ends start-up quietly with exit code 0 and nothing written. Under load the tick
# still kept its 10 ms.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/fault_lib.sh"
require fusermount3 xdotool
start_bus
start_display
start_audio

# The About box is open (first, while the tray watcher knows only this item).
start_port about
start_sonabar about -port="$PRIVATE_DIR/about/parport0"
wait_until 10 test -s "$PRIVATE_DIR/items" || log "the tray item did not register"
tray click About
check "about: the box is open" wait_until 10 sh -c "xdotool search --onlyvisible --name '^About$' >/dev/null"
end_orderly "SIGTERM with the About box open" "$PRIVATE_DIR/about.log"
check "about: nothing on stderr" quiet "$PRIVATE_DIR/about.err"

# Start-up: the signal after each delay from the program's exec.
for delay in 0 0.005 0.02 0.05 0.1 0.2 0.35 0.6; do
    name="startup-$delay"
    start_port "$name"
    log="$PRIVATE_DIR/$name.log"
    start_sonabar "$name" -peak -port="$PRIVATE_DIR/$name/parport0"
    sleep "$delay"
    sent=$(now)
    kill -TERM "$SONABAR_PID"
    wait_exit "$SONABAR_PID" 10
    took=$(since "$sent")
    check "$name: ended within 2 s (took $took s)" below "$took" 2
    check "$name: no process of the program left" no_leftovers
    if grep -q ' open ' "$log"; then
        check "$name: the port was taken, so exit code 0 (got $EXIT_CODE)" [ "$EXIT_CODE" = 0 ]
        if grep -q ' claim ' "$log"; then
            check "$name: the last writes are control 0, then data 0" ends_dark "$log"
            check "$name: the port released and closed" [ "$(tail -2 "$log" | cut -d' ' -f2 | tr '\n' ' ')" = "release close " ]
        fi
        check "$name: nothing on stderr" quiet "$PRIVATE_DIR/$name.err"
    else
        check "$name: ended before taking the port (exit $EXIT_CODE), nothing written" \
            [ "$(frames count "$log" data)" = 0 ]
    fi
done

# The claim waits while another program holds the port; the signal cuts it short.
start_port held --claim-block
log="$PRIVATE_DIR/held.log"
start_sonabar held -port="$PRIVATE_DIR/held/parport0"
wait_until 5 sh -c "grep -q ' claim-waiting ' '$log'" || log "the claim did not wait"
sent=$(now)
kill -TERM "$SONABAR_PID"
wait_exit "$SONABAR_PID" 10
took=$(since "$sent")
check "claim waiting: exit code 0 (got $EXIT_CODE)" [ "$EXIT_CODE" = 0 ]
check "claim waiting: the signal cut the wait short (took $took s)" below "$took" 1
check "claim waiting: the claim was interrupted" grep -q ' claim-interrupted ' "$log"
check "claim waiting: nothing written" [ "$(grep -c -E ' (data|control|mode) ' "$log")" = 0 ]
check "claim waiting: no failure on stderr (nothing failed)" quiet "$PRIVATE_DIR/held.err"
check "claim waiting: no failure dialog left open" \
    [ -z "$(xdotool search --onlyvisible --name '^Sonabar$' 2>/dev/null)" ]
check "claim waiting: no process of the program left" no_leftovers

# Heavy load: a busy loop on each core, a loud tone, 16 LEDs with the peak dot.
unset DISPLAY
start_port load
log="$PRIVATE_DIR/load.log"
start_sonabar load -16bit -peak -port="$PRIVATE_DIR/load/parport0"
wait_until 10 sh -c "grep -q ' mode ' '$log'"
bg sh -c 'while :; do :; done'
hog1=${PRIVATE_PIDS[-1]}
bg sh -c 'while :; do :; done'
hog2=${PRIVATE_PIDS[-1]}
play 1000 32767 4 2>/dev/null &
sleep 1
from=$(now)
sleep 2
read -r median _ < <(frames intervals "$log" "$from" "$(now)")
check "load: the tick kept 10 ms (median $median ms)" below "$median" 10.5
end_orderly "SIGTERM under load" "$log"
kill -KILL "$hog1" "$hog2"
check "load: nothing on stderr" quiet "$PRIVATE_DIR/load.err"
finish
