# Shared helpers of the Linux edition's integration tests, over the private
# services of tools/private_services.sh (a working directory, a session bus,
# PipeWire with a null sink as the default source, a FUSE-served parallel
# port, bounded waits): Xvfb with a stand-in tray watcher, the program run in
# the background, checks that are counted, and readers of the port's log.
# Sourced by the test scripts, which are run by CTest as
#   bash SCRIPT SONABAR_BINARY FAKE_PARPORT_BINARY
# A test skips (exit 77) only when a tool it needs is not installed.

set -u
ITEST_SKIP=77
ITEST_NAME=$(basename "$0" .sh)
ITEST_TOOLS=$(cd "$(dirname "${BASH_SOURCE[0]}")/../tools" && pwd)
SONABAR=${1:?usage: $0 SONABAR_BINARY FAKE_PARPORT_BINARY}
FAKE_PARPORT=${2:?usage: $0 SONABAR_BINARY FAKE_PARPORT_BINARY}
ITEST_FAILURES=0
PRIVATE_NAME=$ITEST_NAME PRIVATE_MISSING=$ITEST_SKIP
. "$(dirname "${BASH_SOURCE[0]}")/../../tools/private_services.sh"

# A sanitizer build of the program reports through these settings.
. "$(dirname "${BASH_SOURCE[0]}")/sanitizer_env.sh"

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
        log "$ITEST_FAILURES check(s) failed; logs in $PRIVATE_DIR"
        PRIVATE_KEEP=1
        exit 1
    fi
    log "all checks passed"
    exit 0
}

# play FREQUENCY AMPLITUDE SECONDS: plays a tone into the null sink (blocks).
play() {
    "$PYTHON" "$ITEST_TOOLS/tone.py" "$1" "$2" "$3" |
        timeout $(($(printf '%.0f' "$3") + 10)) pacat --playback --device=vsink --format=s16le \
            --rate=44100 --channels=1 --raw
}

now() { "$PYTHON" "$ITEST_TOOLS/port_frames.py" now; }
frames() { "$PYTHON" "$ITEST_TOOLS/port_frames.py" "$@"; }
add_seconds() { "$PYTHON" -c "import sys; print('%.6f' % (float(sys.argv[1]) + float(sys.argv[2])))" "$1" "$2"; }

# start_display [--no-tray]: Xvfb on a free display, and (unless --no-tray)
# the stand-in tray watcher on the session bus writing registered items to
# $PRIVATE_DIR/items. Needs start_bus.
start_display() {
    require Xvfb
    # Xvfb picks a free display itself and writes its number: no race with
    # other X servers starting at the same time.
    local number="$PRIVATE_DIR/xvfb.display"
    bg Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number" 2>"$PRIVATE_DIR/xvfb.log"
    wait_until 10 test -s "$number" || { log "FAIL: Xvfb did not start"; exit 1; }
    export DISPLAY=":$(tr -d '[:space:]' <"$number")"
    wait_until 10 test -S "/tmp/.X11-unix/X${DISPLAY#:}" || { log "FAIL: no X display"; exit 1; }
    export NO_AT_BRIDGE=1 GDK_BACKEND=x11
    unset WAYLAND_DISPLAY
    [ "${1:-}" = --no-tray ] || start_tray
}

# start_tray: the stand-in tray watcher, writing registered items to $PRIVATE_DIR/items.
start_tray() {
    bg "$PYTHON" "$ITEST_TOOLS/sni_watcher.py" "$PRIVATE_DIR/items"
    wait_until 10 dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.GetNameOwner string:org.kde.StatusNotifierWatcher >/dev/null ||
        { log "FAIL: tray watcher did not start"; exit 1; }
}

tray() { "$PYTHON" "$ITEST_TOOLS/tray_menu.py" "$PRIVATE_DIR/items" "$@"; }
# state_is ITEM STATE: the menu item's check mark as the tray host reads it (1, 0, or -1 for none).
state_is() { [ "$(tray state "$1")" = "$2" ]; }
# tip_is ICON TEXT: the item shows the icon ICON, and its title and its icon's description are TEXT.
tip_is() { [ "$(tray tip)" = "$1|$2|$2" ]; }
# submenu_is LABEL ITEMS: the submenu's items as "label type state " each.
submenu_is() { [ "$(tray list "$1" | tr '\n' ' ')" = "$2" ]; }

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
    grep -v -e '^sonabar: listening to ' -e '^sonabar: no sound: ' -e '^sonabar: the sound is back: '
}

# start_sonabar NAME ARGS...: runs the program in the background, output in
# $PRIVATE_DIR/NAME.out and NAME.err; its pid in SONABAR_PID.
start_sonabar() {
    local name=$1
    shift
    "$SONABAR" "$@" >"$PRIVATE_DIR/$name.out" 2>"$PRIVATE_DIR/$name.err" &
    SONABAR_PID=$!
    PRIVATE_PIDS+=("$SONABAR_PID")
}

# The last two register writes are the dark display: control 0, then data 0.
ends_dark() { [ "$(frames last "$1" 2 | tr '\n' ' ')" = "control 0 data 0 " ]; }
