#!/usr/bin/env bash
# Start-up without a usable parallel port, with no display: a missing device
# node, a node the user may not open, and a port another driver holds each
# give a headline naming the port and a line with the cause and its remedy
# on stderr, and exit code 1; the remedy for a node the user may not open
# names the group that owns it. A port that starts failing, or vanishes,
# while the program runs changes nothing else: it runs on and ends cleanly.
. "$(dirname "$0")/lib.sh"
require fusermount3 setpriv
unset DISPLAY WAYLAND_DISPLAY
export XDG_RUNTIME_DIR="$PRIVATE_DIR"  # no audio server: capture stays silent

# expect_failure NAME CAUSE REMEDY [RUNNER...] -- PORT: runs the program on
# the port node PORT to its end and checks the exit code and both stderr lines.
expect_failure() {
    local name=$1 cause=$2 remedy=$3
    shift 3
    local runner=()
    while [ "$1" != "--" ]; do runner+=("$1"); shift; done
    local port=$2
    "${runner[@]}" "$SONABAR" -port="$port" >"$PRIVATE_DIR/$name.out" 2>"$PRIVATE_DIR/$name.err" &
    local code
    wait_exit $! 10
    code=$EXIT_CODE
    local err="$PRIVATE_DIR/$name.err"
    check "$name: exit code 1 (got $code)" [ "$code" = 1 ]
    check "$name: the headline names the port" \
        [ "$(sed -n 1p "$err")" = "sonabar: cannot use the parallel port $port" ]
    check "$name: cause on the second line" grep -q -F -- "$cause" <(sed -n 2p "$err")
    check "$name: remedy on the second line" grep -q -F -- "$remedy" <(sed -n 2p "$err")
    check "$name: nothing more on stderr" [ "$(wc -l <"$err")" -eq 2 ]
    check "$name: nothing on stdout" [ ! -s "$PRIVATE_DIR/$name.out" ]
}

expect_failure missing "no such device" "modprobe ppdev" -- "$PRIVATE_DIR/nowhere/parport0"

start_port busy --claim-busy
expect_failure busy "port busy" "modprobe -r lp" -- "$PRIVATE_DIR/busy/parport0"
check "busy: the claim was tried, then the node closed" \
    grep -q "claim-refused" "$PRIVATE_DIR/busy.log"
check "busy: nothing was written" [ "$(frames count "$PRIVATE_DIR/busy.log" data)" = 0 ]

# Another program holds the port: the claim waits, and start-up gives up.
start_port held --claim-block
expect_failure held "port busy" "Another program" -- "$PRIVATE_DIR/held/parport0"
check "held: the claim waited and was given up" grep -q "claim-interrupted" "$PRIVATE_DIR/held.log"

# Permission: the program runs as nobody (root ignores file modes, so the
# kernel's own check needs another user) on a node of the audio group, mode
# 0660: the remedy names that group, not lp.
if [ "$(id -u)" -eq 0 ] && getent group audio >/dev/null; then
    mkdir -m 0755 "$PRIVATE_DIR/denied"
    : >"$PRIVATE_DIR/denied/parport0"
    chgrp audio "$PRIVATE_DIR/denied/parport0"
    chmod 0660 "$PRIVATE_DIR/denied/parport0"
    cp "$SONABAR" "$PRIVATE_DIR/sonabar-copy"
    SONABAR="$PRIVATE_DIR/sonabar-copy" expect_failure denied "permission denied" \
        "It belongs to the audio group: join it (sudo usermod -aG audio \$USER)" \
        setpriv --reuid=nobody --regid=nogroup --clear-groups -- "$PRIVATE_DIR/denied/parport0"
    check "denied: lp is not suggested" [ -z "$(grep -w lp "$PRIVATE_DIR/denied.err")" ]
else
    start_port denied --mode=0000
    expect_failure denied "permission denied" "log in again" -- "$PRIVATE_DIR/denied/parport0"
fi

# A port that fails every write after the first 50, and one that vanishes after 80.
for mode in fail vanish; do
    if [ $mode = fail ]; then start_port $mode --fail-after=50; else start_port $mode --vanish-after=80; fi
    start_sonabar $mode -16bit -port="$PRIVATE_DIR/$mode/parport0"
    wait_until 10 sh -c "grep -q -E 'failed|vanished' '$PRIVATE_DIR/$mode.log'"
    sleep 0.3
    kill -TERM "$SONABAR_PID"
    wait_exit "$SONABAR_PID" 10
    code=$EXIT_CODE
    check "$mode: the program ran on and exited with code 0 (got $code)" [ "$code" = 0 ]
    check "$mode: nothing on stderr" quiet "$PRIVATE_DIR/$mode.err"
done

finish
