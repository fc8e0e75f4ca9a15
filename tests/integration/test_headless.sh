#!/usr/bin/env bash
# No display and no audio server: the program runs without a tray icon on a
# plain main loop, says once that it hears no sound and why, the display
# stays dark, the tick
# still writes a frame every 10 ms, and SIGTERM, SIGINT and SIGHUP each end it
# in order: dark display last, the port released, exit code 0. A capture
# device named with -device= that does not exist is reported in one line.
. "$(dirname "$0")/lib.sh"
require fusermount3
unset DISPLAY WAYLAND_DISPLAY
export XDG_RUNTIME_DIR="$PRIVATE_DIR"  # no PipeWire socket here
# told_no_input FILE: the path taken, then one line with ALSA's cause.
told_no_input() {
    [ "$(wc -l <"$1")" -eq 2 ] &&
        [ "$(sed -n 1p "$1")" = "sonabar: listening to the default input through ALSA (no PipeWire server answered)" ] &&
        grep -q -x 'sonabar: no sound: cannot open the ALSA device "default": .*; the LEDs stay dark until it is back' "$1"
}

for signal in TERM INT HUP; do
    start_port "port-$signal"
    log="$PRIVATE_DIR/port-$signal.log"
    start_sonabar "run-$signal" -peak -port="$PRIVATE_DIR/port-$signal/parport0"
    wait_until 10 sh -c "[ \$(grep -c ' data ' '$log') -ge 50 ]"
    kill -"$signal" "$SONABAR_PID"
    wait_exit "$SONABAR_PID" 10
    code=$EXIT_CODE
    check "SIG$signal: exit code 0 (got $code)" [ "$code" = 0 ]
    check "SIG$signal: the port was claimed, then set to standard mode" \
        [ "$(grep -v -E ' (open|claim) ' "$log" | head -1 | cut -d' ' -f2,3)" = "mode 256" ]
    check "SIG$signal: every frame dark" frames dark "$log" 0
    check "SIG$signal: the last writes are control 0, then data 0" ends_dark "$log"
    check "SIG$signal: the port released and closed after them" \
        [ "$(tail -2 "$log" | cut -d' ' -f2 | tr '\n' ' ')" = "release close " ]
    check "SIG$signal: stderr says once that there is no sound input, and why" told_no_input "$PRIVATE_DIR/run-$signal.err"
done

# A capture device named on the command line that does not exist: one line
# says so (once, though the program keeps trying it), and the program runs on
# with a dark display.
start_port nodevice
start_sonabar nodevice -device=sonabar_no_such_device -port="$PRIVATE_DIR/nodevice/parport0"
wait_until 10 sh -c "[ \$(grep -c ' data ' '$PRIVATE_DIR/nodevice.log') -ge 20 ]"
kill -TERM "$SONABAR_PID"
wait_exit "$SONABAR_PID" 10
check "missing capture device: exit code 0 (got $EXIT_CODE)" [ "$EXIT_CODE" = 0 ]
check "missing capture device: the path taken, then one line with the cause" [ "$(cat "$PRIVATE_DIR/nodevice.err")" = \
    'sonabar: listening to the ALSA capture device "sonabar_no_such_device"
sonabar: no sound: cannot open the ALSA device "sonabar_no_such_device": No such file or directory; the LEDs stay dark until it is back' ]
check "missing capture device: the display ran dark" frames dark "$PRIVATE_DIR/nodevice.log" 0

# The tick keeps its period: about 100 frames a second.
start_port rate
start_sonabar rate -port="$PRIVATE_DIR/rate/parport0"
sleep 2.2
kill -TERM "$SONABAR_PID"
wait_exit "$SONABAR_PID" 10
rate=$(frames rate "$PRIVATE_DIR/rate.log")
check "about 100 frames a second (got $rate)" [ "$rate" -ge 70 -a "$rate" -le 130 ]

finish
