#!/usr/bin/env bash
# Fault: the audio server goes away while the program records a loud tone,
# and comes back; it stalls; it goes away just before the program ends.
# Nothing lost means: no crash; the display no longer shows the level of a
# sound that is no longer heard - it falls to dark by its own ballistics
# within 1 s, never rising; stderr says once that the input is lost and why,
# and once that it is back; while the server is away the program tries again
# twice a second and wakes little besides the tick; once the server is back,
# the LEDs follow the sound again within 2 s without anybody's help; and the
# program ends in order within 1 s in every state: server back, server
# stalled, server gone in the middle of a reconnection (exit code 0, the dark
# display last, the port released, no process left).
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/fault_lib.sh"
require fusermount3
unset DISPLAY WAYLAND_DISPLAY
start_bus
start_audio

# run NAME: the program on a port of its own, started and running.
run() {
    start_port "$1"
    start_sonabar "$1" -port="$PRIVATE_DIR/$1/parport0"
    wait_until 10 sh -c "grep -q ' mode ' '$PRIVATE_DIR/$1.log'" || log "$1: program did not start"
    sleep 0.5
}

run server
log="$PRIVATE_DIR/server.log"
play 1000 32767 6 2>/dev/null &
sleep 1.5
level=$(frames_hold "$log" "$(add_seconds "$(now)" -0.5)" "$(now)")
check "before: a steady tone lights $level LEDs" [ -n "$level" ]
killed=$(now)
stop_audio
sleep 1.5
check "server gone: the program runs on" kill -0 "$SONABAR_PID"
check "server gone: the display falls to dark within 1 s, never rising" frames fall "$log" "$killed" 1.0
check "server gone: stderr says so once, with the cause" [ "$(grep -c '^sonabar: no sound: ' "$PRIVATE_DIR/server.err")" = 1 ]
check "server gone: ... the PipeWire server went away" grep -q -x \
    'sonabar: no sound: the PipeWire server went away; the LEDs stay dark until it is back' \
    "$PRIVATE_DIR/server.err"
idle=$(wakeups "$SONABAR_PID" 2)
check "server gone: the capture wakes little ($idle wake-ups a second besides the tick's)" [ "$idle" -lt 50 ]

restart_audio
back=$(now)
play 1000 32767 2.5 2>/dev/null
check "server back: the LEDs follow the sound again within 2 s" frames steady "$log" "$back" "$(now)" 8 "$level"
check "server back: stderr says so once" [ "$(grep -c -x \
    'sonabar: the sound is back: listening to the default input through PipeWire' "$PRIVATE_DIR/server.err")" = 1 ]
end_orderly "server back" "$log"
check "server back: ended within 1 s" below "$END_SECONDS" 1

# The server stops answering (stopped, not gone): the program still ends at once.
run stalled
for pid in "${AUDIO_PIDS[@]}"; do kill -STOP "$pid"; done
sleep 1
end_orderly "server stalled" "$PRIVATE_DIR/stalled.log"
check "server stalled: ended within 1 s" below "$END_SECONDS" 1
for pid in "${AUDIO_PIDS[@]}"; do kill -CONT "$pid"; done

# The server goes away and the program ends while it tries to connect again.
run reconnecting
stop_audio
sleep 0.7
end_orderly "mid-reconnection" "$PRIVATE_DIR/reconnecting.log"
check "mid-reconnection: ended within 1 s" below "$END_SECONDS" 1
finish
