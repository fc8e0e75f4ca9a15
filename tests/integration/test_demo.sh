#!/usr/bin/env bash
# The demo command, short: scripts/demo plays its music-like signal through a
# private PipeWire for a few seconds into `sonabar -16bit -peak -preview`
# with a FUSE-served port. The port's log and the preview's lines (plain, as
# stdout is a file) both show a level that moves, the run ends with the dark
# display and exit code 0, and the demo leaves no service behind.
. "$(dirname "$0")/lib.sh"
require fusermount3 pipewire wireplumber pipewire-pulse pactl pacat dbus-daemon
root=$(cd "$(dirname "$0")/../.." && pwd)
build_dir=$(dirname "$SONABAR")

bash "$root/scripts/demo" --no-setup --no-build --build-dir="$build_dir" --seconds=5 \
    --port-log="$PRIVATE_DIR/port.log" >"$PRIVATE_DIR/demo.out" 2>"$PRIVATE_DIR/demo.err" </dev/null
code=$?
check "the demo ends with exit code 0 (got $code)" [ "$code" = 0 ]
check "the port's frames show a moving level" frames moving "$PRIVATE_DIR/port.log" 16 4
check "the last writes are control 0, then data 0" ends_dark "$PRIVATE_DIR/port.log"
preview_levels=$(grep -E '^\|[#.]{16}\| 16 LEDs$' "$PRIVATE_DIR/demo.out" | tr -cd '#\n' | awk '{print length}' | sort -un | wc -l)
check "the preview's lines show a moving level (got $preview_levels lit counts)" [ "$preview_levels" -ge 4 ]
check "the preview ends dark" [ "$(grep -E '^\|' "$PRIVATE_DIR/demo.out" | tail -1)" = "|................| 16 LEDs" ]
check "nothing on stderr" quiet "$PRIVATE_DIR/demo.err"
check "no demo service is left" [ -z "$(ls -d /tmp/sonabar-demo.* 2>/dev/null)" ]

finish
