#!/usr/bin/env bash
# Fault: a second Sonabar is started on the port the first one drives. The
# port node models the kernel's ownership: a claim waits while another open
# handle holds the port.
# Nothing lost means: the first instance's display is untouched - while the
# second one tries, every frame still shows the tone's level and the frames
# keep their 10 ms pace, and not one write from the second instance reaches
# the port (the node logs none as unclaimed, and the second handle never
# holds the port); the second instance gives up after its claim's patience
# with exit code 1 and says why on stderr: a headline naming the port, then "port
# busy" naming a second Sonabar as the likely holder; the first one ends in
# order; after that the port is free and a new instance claims it at once.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/fault_lib.sh"
require fusermount3
unset DISPLAY WAYLAND_DISPLAY
start_bus
start_audio
start_port two --exclusive
log="$PRIVATE_DIR/two.log"
port="$PRIVATE_DIR/two/parport0"

start_sonabar first -port="$port"
first=$SONABAR_PID
wait_until 10 sh -c "grep -q ' mode ' '$log'" || log "the first instance did not start"
play 1000 32767 6 2>/dev/null &
sleep 1.5

second_start=$(now)
"$SONABAR" -port="$port" >"$PRIVATE_DIR/second.out" 2>"$PRIVATE_DIR/second.err" &
wait_exit $! 10
second_end=$(now)
check "second: exit code 1 (got $EXIT_CODE)" [ "$EXIT_CODE" = 1 ]
check "second: gave up after its claim's patience ($(since "$second_start") s)" below "$(since "$second_start")" 4
check "second: the headline names the port" \
    [ "$(sed -n 1p "$PRIVATE_DIR/second.err")" = "sonabar: cannot use the parallel port $port" ]
check "second: \"port busy\" on the second line, naming a second Sonabar" \
    grep -q "port busy\. Another program holds it, such as a second Sonabar" <(sed -n 2p "$PRIVATE_DIR/second.err")
check "second: nothing more on stderr" [ "$(wc -l <"$PRIVATE_DIR/second.err")" -eq 2 ]
check "second: its claim waited and was given up" grep -q ' claim-interrupted 2$' "$log"
check "second: no write of it reached the port" [ "$(frames count "$log" unclaimed)" = 0 ]
check "second: it never held the port" [ "$(grep -c -E ' (claim|release) 2$' "$log")" = 0 ]

check "first: runs on" kill -0 "$first"
check "first: its display held the tone's level throughout" \
    frames_hold "$log" "$second_start" "$(add_seconds "$second_end" 0.2)"
read -r median _ longest _ < <(frames intervals "$log" "$second_start" "$second_end")
check "first: frames kept their pace (median $median ms, longest $longest ms)" \
    "$PYTHON" -c "import sys; sys.exit(not ($median < 10.5 and $longest < 50))"
SONABAR_PID=$first
end_orderly "first" "$log"

start_sonabar third -port="$port"
check "the port is free again: a new instance claims it at once" \
    wait_until 3 sh -c "grep -q ' claim 3$' '$log'"
sleep 0.3
end_orderly "third" "$log"
check "nothing on the first and third instances' stderr" quiet "$PRIVATE_DIR/first.err" "$PRIVATE_DIR/third.err"
finish
