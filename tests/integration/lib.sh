# Shared helpers of the Linux edition's integration tests: a private working
# directory, the services a test needs (a session bus, PipeWire with a null
# sink as the default source, a FUSE-served parallel port, Xvfb with a
# stand-in tray watcher), each started here and ended by the exit trap, and
# bounded waits. Sourced by the test scripts, which are run by CTest as
#   bash SCRIPT SONABAR_BINARY FAKE_PARPORT_BINARY
# A test skips (exit 77) only when a tool it needs is not installed.

set -u
ITEST_SKIP=77
ITEST_NAME=$(basename "$0" .sh)
ITEST_TOOLS=$(cd "$(dirname "${BASH_SOURCE[0]}")/../tools" && pwd)
SONABAR=${1:?usage: $0 SONABAR_BINARY FAKE_PARPORT_BINARY}
FAKE_PARPORT=${2:?usage: $0 SONABAR_BINARY FAKE_PARPORT_BINARY}
PYTHON=/usr/bin/python3
ITEST_PIDS=()
ITEST_MOUNTS=()
ITEST_FAILURES=0

# A sanitizer build of the program reports through these settings.
. "$(dirname "${BASH_SOURCE[0]}")/sanitizer_env.sh"

ITEST_DIR=$(mktemp -d "/tmp/sonabar-$ITEST_NAME.XXXXXX")
chmod 0755 "$ITEST_DIR"

itest_cleanup() {
    local pid mount
    for mount in "${ITEST_MOUNTS[@]}"; do fusermount3 -u -z "$mount" 2>/dev/null; done
    for ((i = ${#ITEST_PIDS[@]} - 1; i >= 0; i--)); do
        pid=${ITEST_PIDS[i]}
        kill -TERM "$pid" 2>/dev/null
    done
    for pid in "${ITEST_PIDS[@]}"; do
        for _ in $(seq 20); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
        kill -KILL "$pid" 2>/dev/null
    done
    if [ "$ITEST_FAILURES" -eq 0 ] || [ -z "${ITEST_KEEP:-}" ]; then rm -rf "$ITEST_DIR"; fi
}
trap itest_cleanup EXIT
trap 'exit 130' INT TERM HUP

log() { printf '[%s] %s\n' "$ITEST_NAME" "$*"; }

# require TOOL...: skips the test when a tool is missing.
require() {
    local tool
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            log "SKIP: '$tool' is not installed (scripts/setup installs it)"
            exit "$ITEST_SKIP"
        fi
    done
}

# check DESCRIPTION COMMAND...: runs a check, records a failure.
check() {
    local what=$1
    shift
    if "$@"; then
        log "ok: $what"
    else
        log "FAIL: $what"
        ITEST_FAILURES=$((ITEST_FAILURES + 1))
    fi
}

finish() {
    if [ "$ITEST_FAILURES" -ne 0 ]; then
        log "$ITEST_FAILURES check(s) failed; logs in $ITEST_DIR"
        ITEST_KEEP=1
        exit 1
    fi
    log "all checks passed"
    exit 0
}

# wait_until SECONDS COMMAND...: true once the command succeeds, false at the time-out.
wait_until() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@" 2>/dev/null; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.05
    done
}

# wait_exit PID SECONDS: waits for a child of this shell to end and sets
# EXIT_CODE to its exit code, or to "timeout" after killing it.
wait_exit() {
    local pid=$1 deadline=$((SECONDS + $2))
    while [ "$(sed 's/.*) //' "/proc/$pid/stat" 2>/dev/null | cut -d' ' -f1)" != Z ] && [ -e "/proc/$pid" ]; do
        if [ "$SECONDS" -ge "$deadline" ]; then
            kill -KILL "$pid" 2>/dev/null
            wait "$pid" 2>/dev/null
            EXIT_CODE=timeout
            return
        fi
        sleep 0.05
    done
    wait "$pid"
    EXIT_CODE=$?
}

# bg COMMAND...: starts a service in the background; the exit trap ends it.
bg() {
    "$@" &
    ITEST_PIDS+=($!)
}

now() { "$PYTHON" "$ITEST_TOOLS/port_frames.py" now; }
frames() { "$PYTHON" "$ITEST_TOOLS/port_frames.py" "$@"; }
add_seconds() { "$PYTHON" -c "import sys; print('%.6f' % (float(sys.argv[1]) + float(sys.argv[2])))" "$1" "$2"; }

# start_port NAME [FAKE OPTIONS...]: serves a fake port at $ITEST_DIR/NAME/parport0,
# logging to $ITEST_DIR/NAME.log. Options go to the fake (--claim-busy, --mode=...).
start_port() {
    local name=$1
    shift
    if [ ! -c /dev/fuse ]; then
        log "SKIP: this machine has no /dev/fuse to serve the fake parallel port"
        exit "$ITEST_SKIP"
    fi
    mkdir -p "$ITEST_DIR/$name"
    : >"$ITEST_DIR/$name.log"
    # Single-threaded keeps the log in write order; a blocking claim needs a
    # second thread to take the interrupt (the fake then logs under a lock).
    local threads=-s
    [[ " $* " == *" --claim-block "* || " $* " == *" --exclusive "* ]] && threads=
    bg "$FAKE_PARPORT" "$ITEST_DIR/$name" -f $threads -o allow_other,default_permissions \
        --log="$ITEST_DIR/$name.log" "$@"
    ITEST_MOUNTS+=("$ITEST_DIR/$name")
    wait_until 10 test -e "$ITEST_DIR/$name/parport0" || { log "FAIL: fake port did not appear"; exit 1; }
}

# start_bus: a private session bus.
start_bus() {
    require dbus-daemon
    bg dbus-daemon --session --address="unix:path=$ITEST_DIR/bus" --nofork --nopidfile 2>"$ITEST_DIR/bus.log"
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$ITEST_DIR/bus"
    wait_until 10 test -S "$ITEST_DIR/bus" || { log "FAIL: session bus did not start"; exit 1; }
}

# start_audio: private PipeWire with a mono 44.1 kHz null sink "vsink" whose
# monitor is the default source. Needs start_bus.
start_audio() {
    require pipewire wireplumber pipewire-pulse pactl pacat
    mkdir -m 0700 "$ITEST_DIR/xdg"
    export XDG_RUNTIME_DIR="$ITEST_DIR/xdg"
    bg pipewire >"$ITEST_DIR/pipewire.log" 2>&1
    AUDIO_PIDS=("${ITEST_PIDS[-1]}")
    wait_until 10 test -S "$XDG_RUNTIME_DIR/pipewire-0" || { log "FAIL: pipewire did not start"; exit 1; }
    bg wireplumber >"$ITEST_DIR/wireplumber.log" 2>&1
    AUDIO_PIDS+=("${ITEST_PIDS[-1]}")
    # The clients polled below make "pulse" too; pipewire-pulse gives up if
    # it finds the directory missing and then cannot make it.
    mkdir -m 0700 "$XDG_RUNTIME_DIR/pulse"
    bg pipewire-pulse >"$ITEST_DIR/pipewire-pulse.log" 2>&1
    AUDIO_PIDS+=("${ITEST_PIDS[-1]}")
    # A busy machine can take a while to bring the graph up.
    wait_until 30 pactl info >/dev/null || {
        log "FAIL: pipewire-pulse did not answer; its log:"
        tail -5 "$ITEST_DIR/pipewire-pulse.log"
        exit 1
    }
    pactl load-module module-null-sink sink_name=vsink rate=44100 channels=1 format=s16le >/dev/null
    pactl set-default-source vsink.monitor
    wait_until 10 sh -c 'pactl get-default-source | grep -qx vsink.monitor' ||
        { log "FAIL: no default source"; exit 1; }
    play 0 0 0.2  # the first playback sets the graph up
}

# stop_audio: the audio server goes away at once, as after a crash.
stop_audio() {
    local pid
    for pid in "${AUDIO_PIDS[@]}"; do kill -KILL "$pid" 2>/dev/null; done
    for pid in "${AUDIO_PIDS[@]}"; do wait "$pid" 2>/dev/null; done
}

# play FREQUENCY AMPLITUDE SECONDS: plays a tone into the null sink (blocks).
play() {
    "$PYTHON" "$ITEST_TOOLS/tone.py" "$1" "$2" "$3" |
        timeout $(($(printf '%.0f' "$3") + 10)) pacat --playback --device=vsink --format=s16le \
            --rate=44100 --channels=1 --raw
}

# start_display [--no-tray]: Xvfb on a free display, and (unless --no-tray)
# the stand-in tray watcher on the session bus writing registered items to
# $ITEST_DIR/items. Needs start_bus.
start_display() {
    require Xvfb
    # Xvfb picks a free display itself and writes its number: no race with
    # other X servers starting at the same time.
    local number="$ITEST_DIR/xvfb.display"
    bg Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number" 2>"$ITEST_DIR/xvfb.log"
    wait_until 10 test -s "$number" || { log "FAIL: Xvfb did not start"; exit 1; }
    export DISPLAY=":$(tr -d '[:space:]' <"$number")"
    wait_until 10 test -S "/tmp/.X11-unix/X${DISPLAY#:}" || { log "FAIL: no X display"; exit 1; }
    export NO_AT_BRIDGE=1 GDK_BACKEND=x11
    unset WAYLAND_DISPLAY
    [ "${1:-}" = --no-tray ] || start_tray
}

# start_tray: the stand-in tray watcher, writing registered items to $ITEST_DIR/items.
start_tray() {
    bg "$PYTHON" "$ITEST_TOOLS/sni_watcher.py" "$ITEST_DIR/items"
    wait_until 10 dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.GetNameOwner string:org.kde.StatusNotifierWatcher >/dev/null ||
        { log "FAIL: tray watcher did not start"; exit 1; }
}

tray() { "$PYTHON" "$ITEST_TOOLS/tray_menu.py" "$ITEST_DIR/items" "$@"; }
# state_is ITEM STATE: the menu item's check mark as the tray host reads it (1, 0, or -1 for none).
state_is() { [ "$(tray state "$1")" = "$2" ]; }

# quiet FILE...: the program's stderr holds nothing but what the capture says
# of its input (the line naming what it listens to, and in tests without an
# audio server the line saying there is no sound) - apart, with a display,
# from the tray library's complaint when its connection to the bus came after
# it had seen the tray host (a start-up race inside the library, more likely
# on a busy machine; the program makes a new item then).
TRAY_LIBRARY_COMPLAINT="g_dbus_proxy_new: assertion 'G_IS_DBUS_CONNECTION (connection)' failed"
quiet() { [ -z "$(cat "$@" | but_input_lines | grep -v -F -e "$TRAY_LIBRARY_COMPLAINT" | grep -v '^$')" ]; }
# but_input_lines: stdin without what the capture says of its input.
but_input_lines() {
    grep -v -e '^sonabar: listening to ' -e '^sonabar: no sound from the input: ' -e '^sonabar: the sound input is back: '
}

# start_sonabar NAME ARGS...: runs the program in the background, output in
# $ITEST_DIR/NAME.out and NAME.err; its pid in SONABAR_PID.
start_sonabar() {
    local name=$1
    shift
    "$SONABAR" "$@" >"$ITEST_DIR/$name.out" 2>"$ITEST_DIR/$name.err" &
    SONABAR_PID=$!
    ITEST_PIDS+=("$SONABAR_PID")
}

# The last two register writes are the dark display: control 0, then data 0.
ends_dark() { [ "$(frames last "$1" 2 | tr '\n' ' ')" = "control 0 data 0 " ]; }
