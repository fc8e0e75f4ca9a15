# The private services Sonabar runs against where there is no sound card and
# no parallel port: a session bus, a PipeWire server with a null sink whose
# monitor is the default source, and a parallel port served through FUSE.
# Each is started here, in a private working directory, and ended by the exit
# trap, so nothing outlives the script that sourced this. Sourced by
# scripts/demo, scripts/measure, scripts/soak, scripts/pictures and the
# integration tests, which set before sourcing:
#   PRIVATE_NAME    the working directory's name (/tmp/sonabar-NAME.XXXXXX)
#   FAKE_PARPORT    the built fake port (tools/fake_parport), for start_port
# and may add their own processes to PRIVATE_PIDS and mount points to
# PRIVATE_MOUNTS, and set PRIVATE_KEEP=1 to keep the working directory.

set -u
PYTHON=/usr/bin/python3
PRIVATE_PIDS=()
PRIVATE_MOUNTS=()
PRIVATE_MISSING=${PRIVATE_MISSING:-77}  # exit code when a tool is not installed
PRIVATE_DIR=$(mktemp -d "/tmp/sonabar-$PRIVATE_NAME.XXXXXX")
chmod 0755 "$PRIVATE_DIR"
# A configuration folder of its own: the user's settings file and autostart
# entry neither steer these runs nor are written by them.
export XDG_CONFIG_HOME="$PRIVATE_DIR/config"

private_cleanup() {
    local pid mount
    for mount in "${PRIVATE_MOUNTS[@]}"; do fusermount3 -u -z "$mount" 2>/dev/null; done
    for ((i = ${#PRIVATE_PIDS[@]} - 1; i >= 0; i--)); do
        pid=${PRIVATE_PIDS[i]}
        kill -TERM "$pid" 2>/dev/null
    done
    for pid in "${PRIVATE_PIDS[@]}"; do
        for _ in $(seq 20); do kill -0 "$pid" 2>/dev/null || break; sleep 0.05; done
        kill -KILL "$pid" 2>/dev/null
    done
    [ -n "${PRIVATE_KEEP:-}" ] || rm -rf "$PRIVATE_DIR"
}
trap private_cleanup EXIT
trap 'exit 130' INT TERM HUP

log() { printf '[%s] %s\n' "$PRIVATE_NAME" "$*"; }

# require TOOL...: ends the script (exit code PRIVATE_MISSING) when a tool is missing.
require() {
    local tool
    for tool in "$@"; do
        if ! command -v "$tool" >/dev/null 2>&1; then
            log "SKIP: '$tool' is not installed (scripts/setup installs it)"
            exit "$PRIVATE_MISSING"
        fi
    done
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
    PRIVATE_PIDS+=($!)
}

# start_port NAME [FAKE OPTIONS...]: serves a fake port at $PRIVATE_DIR/NAME/parport0,
# logging to $PRIVATE_DIR/NAME.log. Options go to the fake (--claim-busy, --mode=...).
start_port() {
    local name=$1
    shift
    if [ ! -c /dev/fuse ]; then
        log "SKIP: this machine has no /dev/fuse to serve the fake parallel port"
        exit "$PRIVATE_MISSING"
    fi
    mkdir -p "$PRIVATE_DIR/$name"
    : >"$PRIVATE_DIR/$name.log"
    # Single-threaded keeps the log in write order; a blocking claim needs a
    # second thread to take the interrupt (the fake then logs under a lock).
    local threads=-s
    [[ " $* " == *" --claim-block "* || " $* " == *" --exclusive "* ]] && threads=
    bg "$FAKE_PARPORT" "$PRIVATE_DIR/$name" -f $threads -o allow_other,default_permissions \
        --log="$PRIVATE_DIR/$name.log" "$@"
    PRIVATE_MOUNTS+=("$PRIVATE_DIR/$name")
    wait_until 10 test -e "$PRIVATE_DIR/$name/parport0" || { log "FAIL: fake port did not appear"; exit 1; }
}

# start_bus: a private session bus.
start_bus() {
    require dbus-daemon
    bg dbus-daemon --session --address="unix:path=$PRIVATE_DIR/bus" --nofork --nopidfile 2>"$PRIVATE_DIR/bus.log"
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$PRIVATE_DIR/bus"
    wait_until 10 test -S "$PRIVATE_DIR/bus" || { log "FAIL: session bus did not start"; exit 1; }
}

# start_audio: private PipeWire with a mono 44.1 kHz null sink "vsink" whose
# monitor is the default source. Needs start_bus.
start_audio() {
    require pipewire wireplumber pipewire-pulse pactl pacat
    mkdir -m 0700 "$PRIVATE_DIR/xdg"
    export XDG_RUNTIME_DIR="$PRIVATE_DIR/xdg"
    bg pipewire >"$PRIVATE_DIR/pipewire.log" 2>&1
    AUDIO_PIDS=("${PRIVATE_PIDS[-1]}")
    wait_until 10 test -S "$XDG_RUNTIME_DIR/pipewire-0" || { log "FAIL: pipewire did not start"; exit 1; }
    bg wireplumber >"$PRIVATE_DIR/wireplumber.log" 2>&1
    AUDIO_PIDS+=("${PRIVATE_PIDS[-1]}")
    # The clients polled below make "pulse" too; pipewire-pulse gives up if
    # it finds the directory missing and then cannot make it.
    mkdir -m 0700 "$XDG_RUNTIME_DIR/pulse"
    bg pipewire-pulse >"$PRIVATE_DIR/pipewire-pulse.log" 2>&1
    AUDIO_PIDS+=("${PRIVATE_PIDS[-1]}")
    # A busy machine can take a while to bring the graph up.
    wait_until 30 pactl info >/dev/null || {
        log "FAIL: pipewire-pulse did not answer; its log:"
        tail -5 "$PRIVATE_DIR/pipewire-pulse.log"
        exit 1
    }
    pactl load-module module-null-sink sink_name=vsink rate=44100 channels=1 format=s16le >/dev/null
    pactl set-default-source vsink.monitor
    wait_until 10 sh -c 'pactl get-default-source | grep -qx vsink.monitor' ||
        { log "FAIL: no default source"; exit 1; }
    # The first playback sets the graph up: 0.2 s of silence.
    head -c 17640 /dev/zero | timeout 10 pacat --playback --device=vsink --format=s16le \
        --rate=44100 --channels=1 --raw
}

# stop_audio: the audio server goes away at once, as after a crash.
stop_audio() {
    local pid
    for pid in "${AUDIO_PIDS[@]}"; do kill -KILL "$pid" 2>/dev/null; done
    for pid in "${AUDIO_PIDS[@]}"; do wait "$pid" 2>/dev/null; done
}
