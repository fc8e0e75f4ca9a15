#!/usr/bin/env bash
# The command line: --help and --version answer with exit code 0 and touch
# nothing; a bad command line - an unknown option, a stray argument, a bad
# value of -listen= or -gain=, a value after a space instead of "=",
# -listen=playing with -device=, or -listen=playing where no PipeWire server
# answers - ends at once with exit code 2, a message naming the problem and a
# pointer to --help on stderr, nothing on stdout, and the port never opened.
. "$(dirname "$0")/lib.sh"
require fusermount3
unset DISPLAY WAYLAND_DISPLAY
export XDG_RUNTIME_DIR="$PRIVATE_DIR"  # no sound server answers here
start_port cli
port="$PRIVATE_DIR/cli/parport0"

for option in --help -h --version; do
    timeout 5 "$SONABAR" "$option" -port="$port" >"$PRIVATE_DIR/out" 2>"$PRIVATE_DIR/err"
    code=$?
    check "$option: exit code 0 (got $code), something on stdout, nothing on stderr" \
        [ "$code" = 0 -a -s "$PRIVATE_DIR/out" -a ! -s "$PRIVATE_DIR/err" ]
done
check "--help lists the exit codes" grep -q '^  2  bad command line$' <("$SONABAR" --help)

# ARGUMENTS|FIRST LINE OF STDERR
while IFS='|' read -r arguments message; do
    read -r -a argv <<<"$arguments"
    timeout 5 "$SONABAR" "${argv[@]}" -port="$port" >"$PRIVATE_DIR/out" 2>"$PRIVATE_DIR/err"
    code=$?
    check "'$arguments': exit code 2 (got $code)" [ "$code" = 2 ]
    check "'$arguments': says why" [ "$(head -1 "$PRIVATE_DIR/err")" = "$message" ]
    check "'$arguments': points to --help, nothing else" \
        [ "$(tail -n +2 "$PRIVATE_DIR/err")" = "Try 'sonabar --help' for more information." ]
    check "'$arguments': nothing on stdout" [ ! -s "$PRIVATE_DIR/out" ]
done <<'CASES'
--foo|sonabar: unknown option '--foo'
-peak -Peak|sonabar: unknown option '-Peak'
stray|sonabar: unexpected argument 'stray' (sonabar takes options only)
-listen=speakers|sonabar: -listen= takes input (the sound input) or playing (what the desktop plays), not 'speakers'
--gain=1e9|sonabar: --gain= takes a number of dB from -20 to +40, or auto: '1e9'
-gain=+41|sonabar: -gain= takes a number of dB from -20 to +40, or auto: '+41'
--listen playing|sonabar: write --listen=playing (the value goes after =)
--gain -6|sonabar: write --gain=-6 (the value goes after =)
-listen=playing -device=default|sonabar: -listen=playing cannot be used with -device=: an ALSA capture device has no "what is playing" (leave out -device= to record what the desktop plays)
-listen=playing|sonabar: -listen=playing records what the desktop plays through its PipeWire server, and no PipeWire server answered. Start it (systemctl --user start pipewire wireplumber), or record the sound input with -listen=input or a -device=NAME
CASES
check "the port was never opened" [ "$(frames count "$PRIVATE_DIR/cli.log" open)" = 0 ]
finish
