#!/usr/bin/env bash
# Fault: the tray host stalls - the StatusNotifier watcher is stopped
# (SIGSTOP) before the program starts, so that its registration gets no
# answer, and again while the program runs and menu commands arrive - or the
# tray library's own connection to the bus arrives after it has seen the
# host, as on a busy start-up (tests/tools/late_bus.c, preloaded, makes it
# 500 ms late); the item would then never register.
# Nothing lost means: the tick never waits for the tray - frames keep coming
# at about 100 a second from start-up on and while the watcher is stopped;
# the menu still works (Peak and 16-bit toggle their check marks, and
# 16-bit switches the frames); the item registers all the same when the
# library's connection is late, and its menu works; and Exit from the menu, or SIGTERM, ends the
# program within 2 s with exit code 0, the dark display last, the port
# released and no process left.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/fault_lib.sh"
require fusermount3
start_bus
start_display
export XDG_RUNTIME_DIR="$PRIVATE_DIR"  # no audio server: the display stays dark
watcher=$(pgrep -f -n "sni_watcher.py $PRIVATE_DIR/items")

# pace LOG FROM: the median interval between frames from FROM on is about 10 ms.
pace() {
    local median count
    read -r median _ _ count < <(frames intervals "$1" "$2" "$(now)")
    log "frames from $2: median $median ms over $count intervals"
    below "$median" 10.5 && [ "${count:-0}" -ge 100 ]
}

# The watcher is stopped before the program starts: the registration hangs unanswered.
kill -STOP "$watcher"
start_port early
log="$PRIVATE_DIR/early.log"
started=$(now)
start_sonabar early -port="$PRIVATE_DIR/early/parport0"
sleep 2.5
check "watcher stopped at start-up: frames keep their 10 ms pace" pace "$log" "$started"
kill -CONT "$watcher"
check "watcher back: the item registers" wait_until 10 test -s "$PRIVATE_DIR/items"
end_orderly "watcher stopped at start-up, then SIGTERM" "$log"

# The watcher stops while the program runs; the menu is used meanwhile.
start_port running
log="$PRIVATE_DIR/running.log"
: >"$PRIVATE_DIR/items"
start_sonabar running -port="$PRIVATE_DIR/running/parport0"
wait_until 10 test -s "$PRIVATE_DIR/items" || log "the tray item did not register"
kill -STOP "$watcher"
stopped=$(now)
tray click Peak
check "watcher stopped: Peak still toggles" wait_until 5 state_is Peak 1
switched=$(now)
tray click 16-bit
check "watcher stopped: 16-bit still toggles" wait_until 5 state_is 16-bit 1
sleep 1.5
check "watcher stopped: 16-bit switched the frames" frames switch "$log" "$switched" 16
check "watcher stopped: frames keep their 10 ms pace" pace "$log" "$stopped"
end_orderly "watcher stopped, then Exit from the menu" "$log" menu
kill -CONT "$watcher"
check "nothing on stderr" quiet "$PRIVATE_DIR/early.err" "$PRIVATE_DIR/running.err"

# The tray library's connection to the bus arrives late: its first item misses
# the watcher, and the program makes a new one. It starts from the defaults
# again, not from the choices the run before kept.
rm -f "$XDG_CONFIG_HOME/sonabar/sonabar.conf"
start_port late
log="$PRIVATE_DIR/late.log"
: >"$PRIVATE_DIR/items"
LD_PRELOAD="${LATE_BUS:?CTest names the late_bus library}" ASAN_OPTIONS="$ASAN_OPTIONS:verify_asan_link_order=0" \
    start_sonabar late -port="$PRIVATE_DIR/late/parport0"
check "library's connection late: the library missed the watcher (its complaint is on stderr)" \
    wait_until 5 grep -q -F "$TRAY_LIBRARY_COMPLAINT" "$PRIVATE_DIR/late.err"
check "library's connection late: the item registers all the same" wait_until 10 test -s "$PRIVATE_DIR/items"
tray click Peak
check "library's connection late: the menu works" wait_until 5 state_is Peak 1
end_orderly "library's connection late, then Exit from the menu" "$log" menu
check "library's connection late: nothing else on stderr" quiet "$PRIVATE_DIR/late.err"
finish
