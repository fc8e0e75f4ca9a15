#!/usr/bin/env bash
# The terminal preview. On a terminal (a pseudo-terminal from `script`, as a
# user's would be) with no display and no usable port: one line says the
# preview runs without a port and why, the LED line is drawn in colour within
# 3 s, and SIGTERM ends the program with exit code 0 and the line ended. With
# a port and stdout in a file: the frames still reach the port, and the
# preview writes plain lines.
. "$(dirname "$0")/lib.sh"
require script fusermount3
unset DISPLAY WAYLAND_DISPLAY
export XDG_RUNTIME_DIR="$PRIVATE_DIR"  # no audio server: the display stays dark
export TERM=xterm

typescript="$PRIVATE_DIR/typescript"
script -qfec "sh -c 'echo \$\$ >\"$PRIVATE_DIR/pid\"; exec \"$SONABAR\" -16bit -peak -preview -port=/nonexistent/parport9'" \
    "$typescript" >"$PRIVATE_DIR/script.out" 2>&1 </dev/null &
script_pid=$!
PRIVATE_PIDS+=("$script_pid")
check "the LED line is drawn within 3 s" wait_until 3 grep -q $'\e\\[90m' "$typescript"
check "one line says the preview runs without a port, and why" \
    grep -q '^sonabar: the preview runs without a port: /nonexistent/parport9: no such device' "$typescript"
kill -TERM "$(cat "$PRIVATE_DIR/pid")"
wait_exit "$script_pid" 10
check "SIGTERM: exit code 0 (got $EXIT_CODE)" [ "$EXIT_CODE" = 0 ]
# The last drawing (after the dark display) has no lit LED and ends the line.
last_drawing() {
    "$PYTHON" - "$typescript" <<'PY'
import re, sys
text = open(sys.argv[1], "rb").read()
drawings = re.findall(rb"\r(\x1b\[[0-9;]*m[^\r\n]*?\x1b\[0m 16 LEDs\x1b\[K)(\r\n)?", text)
last, ending = drawings[-1]
sys.exit(0 if b"\x1b[1;3" not in last and ending == b"\r\n" else 1)
PY
}
check "the last drawing shows 16 dark LEDs, resets the colour and ends the line" last_drawing

# With a port: frames on the port, plain lines on stdout, nothing on stderr.
start_port plain
start_sonabar plain -preview -port="$PRIVATE_DIR/plain/parport0"
wait_until 10 sh -c "[ \$(grep -c ' data ' '$PRIVATE_DIR/plain.log') -ge 20 ]"
kill -TERM "$SONABAR_PID"
wait_exit "$SONABAR_PID" 10
check "with a port: exit code 0 (got $EXIT_CODE)" [ "$EXIT_CODE" = 0 ]
check "with a port: the frames reached it, ending dark" ends_dark "$PRIVATE_DIR/plain.log"
check "with a port: plain lines of 8 dark LEDs" grep -qx '|........| 8 LEDs' "$PRIVATE_DIR/plain.out"
check "with a port: no escape codes in a file" [ "$(grep -c $'\e' "$PRIVATE_DIR/plain.out")" = 0 ]
check "with a port: nothing on stderr" quiet "$PRIVATE_DIR/plain.err"

finish
