#!/usr/bin/env bash
# Fault: the audio server is killed while the program records a loud tone,
# and later started again.
# Nothing lost means: no crash; the display does what the design says when
# blocks stop arriving - the last spectrum stays, so every frame after the
# server went lights exactly the LEDs lit just before it went, and the tick
# goes on at 10 ms; the capture thread sees that its stream has lost the
# server and stops polling it (the threads besides the tick's fall from
# hundreds of wake-ups a second to a few); recording does not resume when
# the server is back (there is no reconnection: the LEDs keep holding that
# level while a different tone plays); and SIGTERM still ends the program in order within 2 s - exit code
# 0, the dark display last, the port released, no process left, nothing on
# stderr.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/fault_lib.sh"
require fusermount3
unset DISPLAY WAYLAND_DISPLAY
start_bus
start_audio
start_port server
log="$ITEST_DIR/server.log"
start_sonabar server -port="$ITEST_DIR/server/parport0"
wait_until 10 sh -c "grep -q ' mode ' '$log'" || log "program did not start"

play 1000 32767 6 2>/dev/null &
sleep 1.5
busy=$(wakeups "$SONABAR_PID" 1)
level=$(frames_hold "$log" "$(add_seconds "$(now)" -0.5)" "$(now)")
check "before: a steady tone lights $level LEDs" [ -n "$level" ]
killed=$(now)
stop_audio
sleep 1.5
check "server gone: the program runs on" kill -0 "$SONABAR_PID"
check "server gone: every frame holds the $level LEDs of the last block" \
    [ "$(frames_hold "$log" "$killed" "$(now)")" = "$level" ]
read -r median _ < <(frames intervals "$log" "$killed" "$(now)")
check "server gone: the tick goes on at 10 ms (median $median ms)" below "$median" 10.5
idle=$(wakeups "$SONABAR_PID" 2)
check "server gone: the capture stops polling ($busy wake-ups a second besides the tick's before, $idle after)" \
    [ "$idle" -lt 50 ]

restart_audio
play 300 3000 1.5 2>/dev/null
check "server back: the program runs on" kill -0 "$SONABAR_PID"
check "server back: no reconnection, the LEDs still hold $level" \
    [ "$(frames_hold "$log" "$killed" "$(now)")" = "$level" ]

end_orderly "server gone and back" "$log"
check "nothing on stderr" quiet "$ITEST_DIR/server.err"
finish
