#!/usr/bin/env bash
# What the program hears, through a private PipeWire: a sound input of its own
# (the monitor of the null sink "vmic", the default source) plays a loud tone,
# the default output ("vsink") a softer one, and a second output ("vout2") a
# third. With -listen=input the LEDs show the input's tone; with
# -listen=playing the output's, and when the user switches the default output
# the LEDs follow it; neither changes a default of the desktop. The tray's
# "Listen to" items switch between the two at once, and its tip tells what is
# heard, and why nothing is when the server is killed (with the greyed icon).
# Without a server the program records through ALSA's default device, says
# so, and once a server is there it hears through it without help.
. "$(dirname "$0")/lib.sh"
. "$(dirname "$0")/fault_lib.sh"
require fusermount3
unset DISPLAY WAYLAND_DISPLAY
start_bus
start_audio
for sink in vmic vout2; do
    pactl load-module module-null-sink sink_name=$sink rate=44100 channels=1 format=s16le >/dev/null
done
pactl set-default-sink vsink
pactl set-default-source vmic.monitor
wait_until 10 sh -c 'pactl get-default-source | grep -qx vmic.monitor' || log "no default source"

# tone_into SINK AMPLITUDE: a long 1 kHz tone into SINK; the player stays on
# SINK when the default output changes.
tone_into() {
    "$PYTHON" "$ITEST_TOOLS/tone.py" 1000 "$2" 40 |
        pacat --playback --device="$1" --property=node.dont-reconnect=true --format=s16le \
            --rate=44100 --channels=1 --raw 2>/dev/null &
    PRIVATE_PIDS+=($!)
}
tone_into vmic 32767   # 7 of 8 LEDs
tone_into vsink 16000  # 3 of 8
tone_into vout2 24000  # 5 of 8
wait_until 20 sh -c '[ "$(pactl list short sink-inputs | wc -l)" -ge 3 ]' || log "the players did not start"

# shows NAME LEDS: the last 1.5 s of NAME's port showed LEDS lit, steadily.
shows() { frames steady "$PRIVATE_DIR/$1.log" "$(add_seconds "$(now)" -1.5)" "$(now)" 8 "$2"; }
listen_run() {
    start_port "$1"
    start_sonabar "$1" -port="$PRIVATE_DIR/$1/parport0" "${@:2}"
    sleep 2
}

listen_run input -listen=input
check "input: the input's tone (7 LEDs)" shows input 7
check "input: says what it hears" grep -q -x 'sonabar: listening to the default input through PipeWire' "$PRIVATE_DIR/input.err"
end_orderly input "$PRIVATE_DIR/input.log"

listen_run playing -listen=playing
check "playing: the default output's tone (3 LEDs)" shows playing 3
pactl set-default-sink vout2
sleep 2
check "playing: follows the output switched to vout2 (5 LEDs)" shows playing 5
check "playing: says what it hears" grep -q -x 'sonabar: listening to what is playing through PipeWire' "$PRIVATE_DIR/playing.err"
check "playing: the desktop's default input is still vmic.monitor" [ "$(pactl get-default-source)" = vmic.monitor ]
check "playing: nothing else on stderr" quiet "$PRIVATE_DIR/playing.err"
end_orderly playing "$PRIVATE_DIR/playing.log"

# From the tray: "What is playing" switches at once - the dark display, then
# the output's tone - and "Sound input" back; the radio items follow.
start_display
start_port tray
start_sonabar tray -port="$PRIVATE_DIR/tray/parport0"
wait_until 20 test -s "$PRIVATE_DIR/items" || log "the tray item did not register"
check "tray: the tip tells what is heard" wait_until 5 tip_is sonabar "Sonabar: the sound input, Normal, 8 LEDs"
sleep 1.5
check "tray: the input's tone first" shows tray 7
clicked=$(tray click_time "What is playing")  # the click itself, not the client's start-up
sleep 1.5
check "tray: What is playing: the dark display at once" \
    [ "$(frames dark_writes "$PRIVATE_DIR/tray.log" "$clicked" 0.2)" -ge 1 ]
check "tray: What is playing: then the output's tone (5 LEDs)" shows tray 5
check "tray: What is playing is checked, Sound input is not" \
    [ "$(tray state "What is playing") $(tray state "Sound input")" = "1 0" ]
check "tray: What is playing: the tip follows" tip_is sonabar "Sonabar: what is playing, Normal, 8 LEDs"
tray click "Sound input"
sleep 1.5
check "tray: Sound input: the input's tone again" shows tray 7
check "tray: each switch said what it hears" [ "$(grep -c '^sonabar: listening to ' "$PRIVATE_DIR/tray.err")" = 3 ]
stop_audio
check "tray: server killed: the greyed icon, the tip says why" \
    wait_until 5 tip_is sonabar-no-sound "Sonabar: no sound (the PipeWire server went away)"
end_orderly tray "$PRIVATE_DIR/tray.log" menu

# No server: ALSA's default device, which finds the server once it is there.
listen_run alsa
check "no server: the ALSA path, said so" grep -q -x \
    'sonabar: listening to the default input through ALSA (no PipeWire server answered)' "$PRIVATE_DIR/alsa.err"
check "no server: no sound, said once" [ "$(grep -c '^sonabar: no sound: ' "$PRIVATE_DIR/alsa.err")" = 1 ]
restart_audio
back=$(now)
play 1000 32767 2.5 2>/dev/null
check "server started: the LEDs follow the sound through ALSA" frames steady "$PRIVATE_DIR/alsa.log" "$back" "$(now)" 8 7
check "server started: the sound is back, said once" grep -q -x \
    'sonabar: the sound is back: listening to the default input through ALSA (no PipeWire server answered)' \
    "$PRIVATE_DIR/alsa.err"
end_orderly alsa "$PRIVATE_DIR/alsa.log"
finish
