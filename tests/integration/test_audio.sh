#!/usr/bin/env bash
# Real audio end to end: a private PipeWire with a null sink whose monitor is
# the default source; a generated tone played into it reaches the program
# through ALSA's default device, and the fake port's log shows what the LEDs
# did. A full-scale 1,000 Hz tone is a steady 14 of 16 LEDs with -16bit -peak
# and 7 of 8 without options; a soft tone that lights nothing on the standard
# scale lights 3 with -gain=+12; silence afterwards falls to dark by the
# ballistics; SIGTERM ends with the dark display. When the audio server goes
# away under the running program, it runs on and still ends cleanly; after
# the program has stalled for a while, recording goes on.
. "$(dirname "$0")/lib.sh"
require fusermount3
unset DISPLAY WAYLAND_DISPLAY
start_bus
start_audio

# tone_run NAME KIND LEDS OPTIONS...: a 2.5 s tone, then silence.
tone_run() {
    local name=$1 kind=$2 leds=$3
    shift 3
    start_port "$name"
    local log="$PRIVATE_DIR/$name.log"
    start_sonabar "$name" -port="$PRIVATE_DIR/$name/parport0" "$@"
    wait_until 10 sh -c "grep -q ' mode ' '$log'" || log "program did not start"
    local start end
    start=$(now)
    play 1000 32767 2.5
    end=$(now)
    sleep 2.3
    check "$name: a steady $leds of $kind LEDs during the tone" \
        frames steady "$log" "$start" "$(add_seconds "$end" -0.1)" "$kind" "$leds"
    check "$name: silence falls to dark within 2 s, never rising" frames fall "$log" "$end" 2.0
    kill -TERM "$SONABAR_PID"
    wait_exit "$SONABAR_PID" 10
    check "$name: SIGTERM gives exit code 0 (got $EXIT_CODE)" [ "$EXIT_CODE" = 0 ]
    check "$name: the last writes are control 0, then data 0" ends_dark "$log"
    check "$name: nothing on stderr" quiet "$PRIVATE_DIR/$name.err"
}

tone_run sixteen 16 14 -16bit -peak
tone_run eight 8 7

# Sensitivity: a tone 18 dB below full scale lights no LED on the standard
# scale, and 3 of 8 with -gain=+12 (its spectrum maximum, about 7,400, times
# 10^(12/20)).
start_port gain
start_sonabar gain -gain=+12 -port="$PRIVATE_DIR/gain/parport0"
wait_until 10 sh -c "grep -q ' mode ' '$PRIVATE_DIR/gain.log'"
start=$(now)
play 1000 4000 2
check "gain: -gain=+12 lights 3 of 8 LEDs for a soft tone" frames steady "$PRIVATE_DIR/gain.log" "$start" "$(now)" 8 3
kill -TERM "$SONABAR_PID"
wait_exit "$SONABAR_PID" 10
start_port nogain
start_sonabar nogain -port="$PRIVATE_DIR/nogain/parport0"
wait_until 10 sh -c "grep -q ' mode ' '$PRIVATE_DIR/nogain.log'"
start=$(now)
play 1000 4000 2
check "gain: the standard scale lights none for it" frames dark "$PRIVATE_DIR/nogain.log" "$start"
kill -TERM "$SONABAR_PID"
wait_exit "$SONABAR_PID" 10

# The program stalls for 0.6 s during a tone (stopped, as an overloaded
# machine may hold it): once the blocks around the gap have passed, the tone
# shows steadily again, and the silence after it reaches the LEDs, so blocks
# are arriving again.
start_port stall
start_sonabar stall -16bit -peak -port="$PRIVATE_DIR/stall/parport0"
wait_until 10 sh -c "grep -q ' mode ' '$PRIVATE_DIR/stall.log'"
play 1000 32767 2.5 &
player=$!
sleep 0.8
kill -STOP "$SONABAR_PID"
sleep 0.6
kill -CONT "$SONABAR_PID"
resumed=$(now)
wait "$player"
end=$(now)
sleep 2.3
check "stall: the tone shows again after it" \
    frames steady "$PRIVATE_DIR/stall.log" "$(add_seconds "$resumed" 0.3)" "$(add_seconds "$end" -0.1)" 16 14
check "stall: the silence after it falls to dark" frames fall "$PRIVATE_DIR/stall.log" "$end" 2.0
kill -TERM "$SONABAR_PID"
wait_exit "$SONABAR_PID" 10
check "stall: SIGTERM gives exit code 0 (got $EXIT_CODE)" [ "$EXIT_CODE" = 0 ]

# The audio server goes away while the program records.
start_port gone
start_sonabar gone -port="$PRIVATE_DIR/gone/parport0"
wait_until 10 sh -c "grep -q ' mode ' '$PRIVATE_DIR/gone.log'"
play 1000 32767 0.5
stop_audio
sleep 1
check "server gone: the program still runs" kill -0 "$SONABAR_PID"
kill -TERM "$SONABAR_PID"
wait_exit "$SONABAR_PID" 10
check "server gone: SIGTERM gives exit code 0 (got $EXIT_CODE)" [ "$EXIT_CODE" = 0 ]
check "server gone: the last writes are control 0, then data 0" ends_dark "$PRIVATE_DIR/gone.log"

finish
