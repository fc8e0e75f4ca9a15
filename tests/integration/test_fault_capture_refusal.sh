#!/usr/bin/env bash
# Fault: the capture device refuses a buffer given back to it. The real case:
# the capture worker is about to queue a recorded buffer again when the audio
# server goes away and the device ends, so the ended device refuses it. The
# test makes that order certain with a debugger: the worker is held inside
# the call that queues the buffer while the server is killed and the other
# threads run on, and goes on once the device has ended.
# Nothing lost means: the refused buffer drops out of the ring - the call
# returns the device's refusal and nothing hangs on it: the program runs on
# with the held display and the tick at 10 ms, and SIGTERM ends it in order
# within 2 s (exit code 0, the dark display last, the port released, no
# process left, nothing on stderr).
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/fault_lib.sh"
require fusermount3 gdb
unset DISPLAY WAYLAND_DISPLAY
start_bus
start_audio
start_port refusal
log="$ITEST_DIR/refusal.log"
start_sonabar refusal -port="$ITEST_DIR/refusal/parport0"
wait_until 10 sh -c "grep -q ' mode ' '$log'" || log "program did not start"
play 1000 32767 8 2>/dev/null &
sleep 1

# The debugger stops the program when the worker next queues a buffer, the
# server is killed, and the worker sleeps inside that call for 1.5 s while
# the other threads run on (the device ends within some 50 ms); then the
# call goes on and its result is shown.
{
    echo "#!/usr/bin/env bash"
    declare -p AUDIO_PIDS
    echo 'for pid in "${AUDIO_PIDS[@]}"; do kill -KILL "$pid"; done'
} >"$ITEST_DIR/server_off.sh"
cat >"$ITEST_DIR/gdb.commands" <<COMMANDS
set pagination off
set confirm off
break wave_in_add_buffer
continue
delete
shell bash $ITEST_DIR/server_off.sh
call (int) usleep(1500000)
finish
printf "wave_in_add_buffer returned %d\\n", (int) \$rax
detach
quit
COMMANDS
timeout 60 gdb -batch -nx -p "$SONABAR_PID" -x "$ITEST_DIR/gdb.commands" >"$ITEST_DIR/gdb.out" 2>&1
killed=$(now)
if grep -q 'ptrace: Operation not permitted' "$ITEST_DIR/gdb.out"; then
    log "SKIP: the debugger may not attach to a process here (ptrace refused)"
    exit "$ITEST_SKIP"
fi
check "the worker was held at the requeue" grep -q 'Breakpoint 1, .*wave_in_add_buffer' "$ITEST_DIR/gdb.out"
check "the ended device refused the buffer (code 6)" grep -qx 'wave_in_add_buffer returned 6' "$ITEST_DIR/gdb.out"
sleep 1
check "after the refusal: the program runs on" kill -0 "$SONABAR_PID"
check "after the refusal: the display holds the last level" frames_hold "$log" "$killed" "$(now)"
read -r median _ < <(frames intervals "$log" "$killed" "$(now)")
check "after the refusal: the tick goes on at 10 ms (median $median ms)" below "$median" 10.5
end_orderly "after the refusal" "$log"
check "nothing on stderr" quiet "$ITEST_DIR/refusal.err"
finish
