# Helpers of the fault-matrix tests, sourced after lib.sh: the program runs
# from a private copy (so that a process left behind is found by its path),
# an orderly end is checked the same way everywhere, the audio server can be
# brought back after it was killed, and a process's wake-ups are counted.

# The program runs from $PRIVATE_DIR/sonabar (its icon is built in).
cp "$SONABAR" "$PRIVATE_DIR/sonabar"
SONABAR="$PRIVATE_DIR/sonabar"

# Seconds from $1 (a `now` reading) to now.
since() { "$PYTHON" -c "import sys; print('%.2f' % ($(now) - float(sys.argv[1])))" "$1"; }
below() { "$PYTHON" -c "import sys; sys.exit(not float(sys.argv[1]) < float(sys.argv[2]))" "$1" "$2"; }
no_leftovers() { ! pgrep -f "^$PRIVATE_DIR/sonabar" >/dev/null; }

# end_orderly WHAT LOG [HOW]: ends $SONABAR_PID by HOW - a signal name (TERM
# by default) or "menu" for the tray menu's Exit - and checks an orderly end
# within 2 s: exit code 0, no process of the program left, and where LOG
# shows a claimed port (LOG "-" for a port that is gone), the dark display as
# the last writes and the port released. Sets END_SECONDS.
end_orderly() {
    local what=$1 log=$2 how=${3:-TERM} sent
    sent=$(now)
    if [ "$how" = menu ]; then tray click Exit; else kill -"$how" "$SONABAR_PID" 2>/dev/null; fi
    wait_exit "$SONABAR_PID" 10
    END_SECONDS=$(since "$sent")
    check "$what: exit code 0 (got $EXIT_CODE)" [ "$EXIT_CODE" = 0 ]
    check "$what: ended within 2 s (took $END_SECONDS s)" below "$END_SECONDS" 2
    if [ "$log" != - ] && grep -q ' claim ' "$log"; then
        check "$what: the last writes are control 0, then data 0" ends_dark "$log"
        check "$what: the port released and closed after them" \
            [ "$(grep -E ' (data|control|mode|release|close) ' "$log" | tail -2 | cut -d' ' -f2 | tr '\n' ' ')" = "release close " ]
    fi
    check "$what: no process of the program left" no_leftovers
}

# restart_audio: the audio server comes back after stop_audio, with the same
# null sink as the default source.
restart_audio() {
    rm -f "$XDG_RUNTIME_DIR"/pipewire-0*
    bg pipewire >>"$PRIVATE_DIR/pipewire.log" 2>&1
    AUDIO_PIDS=("${PRIVATE_PIDS[-1]}")
    wait_until 10 test -S "$XDG_RUNTIME_DIR/pipewire-0" || { log "FAIL: pipewire did not restart"; exit 1; }
    bg wireplumber >>"$PRIVATE_DIR/wireplumber.log" 2>&1
    AUDIO_PIDS+=("${PRIVATE_PIDS[-1]}")
    bg pipewire-pulse >>"$PRIVATE_DIR/pipewire-pulse.log" 2>&1
    AUDIO_PIDS+=("${PRIVATE_PIDS[-1]}")
    wait_until 15 pactl info >/dev/null || { log "FAIL: pipewire-pulse did not answer"; exit 1; }
    pactl load-module module-null-sink sink_name=vsink rate=44100 channels=1 format=s16le >/dev/null
    pactl set-default-source vsink.monitor
    wait_until 10 sh -c 'pactl get-default-source | grep -qx vsink.monitor' ||
        { log "FAIL: no default source after the restart"; exit 1; }
}

# wakeups PID SECONDS: the context switches per second of all the process's
# threads but the busiest, which is the tick's (each port write waits for the
# FUSE-served node: some 300 a second).
wakeups() {
    local pid=$1 seconds=$2
    snapshot() {
        local task
        for task in /proc/"$pid"/task/*; do
            echo "${task##*/} $(awk '/ctxt_switches/ {n += $2} END {print n + 0}' "$task/status" 2>/dev/null)"
        done | sort
    }
    snapshot >"$PRIVATE_DIR/wakeups.before"
    sleep "$seconds"
    snapshot >"$PRIVATE_DIR/wakeups.after"
    join "$PRIVATE_DIR/wakeups.before" "$PRIVATE_DIR/wakeups.after" |
        awk -v s="$seconds" '{d = $3 - $2; n += d; if (d > m) m = d} END {print int((n - m) / s)}'
}

# frames_hold LOG FROM TO: every frame from FROM to TO lights the same number
# of LEDs (at least one); prints that number.
frames_hold() { "$PYTHON" "$ITEST_TOOLS/port_frames.py" hold "$@"; }
