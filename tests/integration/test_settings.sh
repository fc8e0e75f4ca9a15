#!/usr/bin/env bash
# What Sonabar remembers, with the real program, its tray menu driven over
# D-Bus, a private PipeWire and a private configuration folder: the choices
# made in the tray are written to the settings file at once, changing only
# their key (the user's comments, other groups and edits made meanwhile
# stay), and the next run starts from them (16 LEDs on the port, the menu's
# checks); an option on the command line wins for its run and is not
# written. "Start at login" writes Sonabar's own autostart entry (valid, with
# this program's path and its -port=, or its name when the PATH finds it) and
# deletes it, and hides and shows a user's own entry without changing
# anything else. A bad value is told (the file
# named as the user knows it) and the other keys apply; a file that is no key
# file gives the defaults and is set aside at the first change; a full disk
# is told once and leaves the file whole.
. "$(dirname "$0")/lib.sh"
require fusermount3 desktop-file-validate
start_bus
start_audio
start_display

folder=$XDG_CONFIG_HOME/sonabar
conf=$folder/sonabar.conf
entry=$XDG_CONFIG_HOME/autostart/sonabar.desktop
mkdir -p "$folder" "$(dirname "$entry")"

# run NAME ARGS...: the program on a port of its own, once its tray item is registered.
run() {
    local name=$1 before
    shift
    before=$(cat "$PRIVATE_DIR/items" 2>/dev/null | wc -l)
    start_port "$name"
    start_sonabar "$name" -port="$PRIVATE_DIR/$name/parport0" "$@"
    wait_until 10 sh -c "[ \$(wc -l <'$PRIVATE_DIR/items') -gt $before ]" || log "the tray item did not register"
}
stop() {
    tray click Exit
    wait_exit "$SONABAR_PID" 10
    check "$1: Exit ends with code 0 (got $EXIT_CODE)" [ "$EXIT_CODE" = 0 ]
}
menu_is() { [ "$(tray list | grep -v '^--- ' | tr '\n' ' ')" = "$1" ]; }  # the items, separators aside
# holds FILE TEXT: FILE holds TEXT (a printf format), blank lines aside: GLib
# (2.74) writes a blank line after each key it adds to a group.
holds() { [ "$(grep -v '^$' "$1")" = "$(printf "$2")" ]; }
click() { tray click "$1" && wait_until 5 state_is "$1" "$2"; }
told() { grep -c -x -F "$2" "$PRIVATE_DIR/$1.err"; }

printf '# mine\n[Sonabar]\npeak=true\n\n[Other]\nx=1\n' >"$conf"
# The user's own autostart entry, hidden: the installed example with Hidden=true.
cat "$(dirname "$0")/../../app/resources/sonabar-autostart.desktop" - <<<Hidden=true >"$entry"
cp "$entry" "$PRIVATE_DIR/users.desktop"

run first
check "first: peak=true checks Peak; the user's hidden autostart entry leaves Start at login unchecked" \
    menu_is "About -1 16-bit 0 Peak 1 Listen to -1 Sensitivity -1 Start at login 0 Exit -1 "
check "first: 16-bit chosen" click 16-bit 1
check "first: What is playing chosen" click "What is playing" 1
echo "# added while running" >>"$conf"
check "first: Automatic chosen" click Automatic 1
check "first: each choice written at once, changing only its key" holds "$conf" \
    '# mine\n[Sonabar]\npeak=true\n16bit=true\nlisten=playing\ngain=auto\n[Other]\nx=1\n# added while running'
check "first: Start at login on shows the user's entry" click "Start at login" 1
check "first: ... taking Hidden=true away and nothing else" \
    [ "$(diff "$PRIVATE_DIR/users.desktop" "$entry" | grep '^[<>]')" = "< Hidden=true" ]
check "first: Start at login off hides it again, as it was" click "Start at login" 0
check "first: ... byte for byte" cmp -s "$PRIVATE_DIR/users.desktop" "$entry"
rm "$entry"
check "first: Start at login with no entry" click "Start at login" 1
check "first: ... writes Sonabar's own entry, with this program and its port" holds "$entry" \
    "[Desktop Entry]\nType=Application\nName=Sonabar\nComment=Show the sound level on LEDs wired to the parallel port\nExec=$(realpath "$SONABAR") -port=$PRIVATE_DIR/first/parport0\nIcon=sonabar\nTerminal=false\nX-Sonabar-Tray=true"
check "first: ... which desktop-file-validate accepts" [ -z "$(desktop-file-validate "$entry" 2>&1)" ]
check "first: Start at login off" click "Start at login" 0
check "first: ... deletes Sonabar's own entry" [ ! -e "$entry" ]
check "first: nothing on stderr" quiet "$PRIVATE_DIR/first.err"
stop first

PATH=$(dirname "$SONABAR"):$PATH run again
sleep 0.5
check "again: the port shows 16 LEDs" [ "$(frames kinds "$PRIVATE_DIR/again.log")" = 16 ]
check "again: the menu's checks match the file" \
    menu_is "About -1 16-bit 1 Peak 1 Listen to -1 Sensitivity -1 Start at login 0 Exit -1 "
check "again: listening to what is playing" submenu_is "Listen to" "Sound input radio 0 What is playing radio 1 "
check "again: ... and says so" [ "$(told again 'sonabar: listening to what is playing through PipeWire')" = 1 ]
check "again: Automatic" state_is Automatic 1
check "again, found on the PATH: Start at login" click "Start at login" 1
check "again: ... starts it by its name" grep -q -x "Exec=sonabar -port=$PRIVATE_DIR/again/parport0" "$entry"
check "again: Start at login off" click "Start at login" 0
stop again

run option -gain=+6
check "-gain=+6 wins for its run" state_is "+6 dB" 1
check "-gain=+6: Peak chosen" click Peak 0
check "-gain=+6: the file keeps gain=auto" holds "$conf" \
    '# mine\n[Sonabar]\npeak=false\n16bit=true\nlisten=playing\ngain=auto\n[Other]\nx=1\n# added while running'
stop option

# A bad value, in a file named from the home folder, on a full disk.
mkdir "$PRIVATE_DIR/home"
ln -s "$XDG_CONFIG_HOME" "$PRIVATE_DIR/home/.config"
mount -t tmpfs -o size=64k tmpfs "$folder" || { log "FAIL: no tmpfs to fill (the tests run as root)"; exit 1; }
PRIVATE_MOUNTS+=("$folder")
printf '# mine\n[Sonabar]\n16bit=true\ngain=loud\n' >"$conf"
cp "$conf" "$PRIVATE_DIR/bad.conf"
dd if=/dev/zero of="$folder/filler" bs=4k count=64 2>/dev/null
HOME=$PRIVATE_DIR/home XDG_CONFIG_HOME= run bad
check "bad: gain=loud told in one line" [ "$(told bad \
    'sonabar: ~/.config/sonabar/sonabar.conf: gain=loud is not a number of dB from -20 to +40 or auto; using 0 dB')" = 1 ]
check "bad: 16bit=true still applies" state_is 16-bit 1
check "bad: Peak chosen on a full disk" click Peak 1
check "bad: Peak chosen again" click Peak 0
check "bad: the failed write told once" [ "$(told bad \
    'sonabar: cannot write ~/.config/sonabar/sonabar.conf (No space left on device): the choice holds for this run only (further failures to write it are not told)')" = 1 ]
check "bad: the file is whole, and nothing else was left in its folder" \
    [ "$(cmp "$conf" "$PRIVATE_DIR/bad.conf" && ls "$folder" | tr '\n' ' ')" = "filler sonabar.conf " ]
stop bad
umount "$folder"

# A file that is no key file, with a sonabar.conf.bad already there.
printf '\x00\x01 not a key file {{{\n' >"$conf"
cp "$conf" "$PRIVATE_DIR/binary.conf"
echo earlier >"$conf.bad"
run binary
check "binary: told in one line" [ "$(told binary \
    "sonabar: $conf is not a key file of [Sonabar] and key=value lines; using the defaults")" = 1 ]
check "binary: the defaults" menu_is "About -1 16-bit 0 Peak 0 Listen to -1 Sensitivity -1 Start at login 0 Exit -1 "
check "binary: the file is left as it is" cmp -s "$conf" "$PRIVATE_DIR/binary.conf"
check "binary: Peak chosen" click Peak 1
check "binary: the file set aside as sonabar.conf.bad.1" \
    [ "$(cat "$conf.bad")" = earlier -a "$(cmp "$conf.bad.1" "$PRIVATE_DIR/binary.conf")" = "" ]
check "binary: ... and told" [ "$(told binary \
    "sonabar: $conf could not be used, so it is now $conf.bad.1; a new one keeps the choices made in the tray")" = 1 ]
check "binary: a new file holds the choice" holds "$conf" '[Sonabar]\npeak=true'
stop binary

finish
