#!/usr/bin/env bash
# What installing the Linux edition gives a user, from a build tree:
# `cmake --install` into a private prefix, then `cpack` for the .deb. Checks
# that the desktop entry and the autostart example pass desktop-file-validate
# without a remark; that `man` reads the manual page without a warning and
# that it documents every option `sonabar --help` lists; that every picture
# and page the installed README links to is installed beside it; that the
# licence is there as Debian's copyright file; that the .deb carries the same
# files under /usr; and that the program, the package and CMake agree on the
# version, which no file of the source tree but CMakeLists.txt writes out.
# Run by CTest (label install) and by scripts/test on a plain build.
# Usage: tests/integration/check_install.sh BUILD_DIR
set -uo pipefail
build=$(cd "${1:?usage: $0 BUILD_DIR}" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
for tool in desktop-file-validate man cpack dpkg-deb; do
    command -v "$tool" >/dev/null || { echo "check_install: SKIP: '$tool' is not installed (scripts/setup installs it)"; exit 77; }
done
work=$(mktemp -d /tmp/sonabar-install.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
check() {
    local what=$1
    shift
    if "$@"; then echo "check_install: ok: $what"; else echo "check_install: FAIL: $what"; failures=$((failures + 1)); fi
}

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; exit 1; }
doc=$prefix/share/doc/sonabar
check "the program and its icon" test -x "$prefix/bin/sonabar" -a -f "$prefix/share/icons/hicolor/scalable/apps/sonabar.svg"

for entry in share/applications/sonabar.desktop share/doc/sonabar/examples/autostart/sonabar.desktop; do
    remarks=$(desktop-file-validate "$prefix/$entry" 2>&1)
    check "$entry validates without a remark${remarks:+: $remarks}" [ -z "$remarks" ]
done

page=$(find "$prefix/share/man/man1" -name 'sonabar.1*' 2>/dev/null | head -n 1)
check "a manual page in share/man/man1" [ -n "$page" ]
if [ -n "$page" ]; then
    LC_ALL=C MANWIDTH=200 man --warnings -l "$page" >"$work/man.txt" 2>"$work/man.err"
    warnings=$(head -c 300 "$work/man.err")
    check "man reads it without a warning${warnings:+: $warnings}" [ -z "$warnings" ]
    # Every option of the help, by name: the page gives the two-dash rule once.
    options=$("$prefix/bin/sonabar" --help | grep -oE '^ +-[^ ]+(, +-[^ ]+)?' | grep -oE -- '-{1,2}[a-z0-9]+' | sort -u)
    check "--help lists options" [ -n "$options" ]
    grep -oE -- '-{1,2}[a-z0-9]+' "$work/man.txt" | sed 's/^-*//' | sort -u >"$work/man.options"
    for option in $options; do
        check "the manual page documents $option" grep -qxF -- "$(sed 's/^-*//' <<<"$option")" "$work/man.options"
    done
    check "the manual page names the exit status and the signals" grep -q 'SIGTERM' "$work/man.txt"
fi

links=$(grep -oE '\]\([^)#]+\)' "$doc/README.md" | sed -E 's/^\]\((.*)\)$/\1/' | grep -v '://' | sort -u)
for link in $links; do
    check "the README's $link is installed beside it" test -e "$doc/$link"
done
check "the licence as share/doc/sonabar/copyright" cmp -s "$root/LICENSE" "$doc/copyright"

# The .deb, made in a directory of its own.
(cd "$work" && cpack --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1) ||
    { cat "$work/cpack.log"; exit 1; }
deb=$(ls "$work"/package/*.deb 2>/dev/null | head -n 1)
check "cpack makes a .deb" [ -n "$deb" ]
if [ -n "$deb" ]; then
    dpkg-deb -c "$deb" | awk '{print $NF}' >"$work/deb.list"
    for file in ./usr/bin/sonabar ./usr/share/doc/sonabar/copyright ./usr/share/applications/sonabar.desktop \
        "./usr/share/man/man1/$(basename "$page")" ./usr/share/doc/sonabar/docs/ballistics.svg; do
        check "the .deb carries $file" grep -qxF "$file" "$work/deb.list"
    done
fi

# One version: CMake's project(), as CPack has it.
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
check "CMake has a version ($version)" [ -n "$version" ]
check "sonabar --version says $version" [ "$("$prefix/bin/sonabar" --version)" = "sonabar $version" ]
[ -n "$deb" ] && check "the .deb's version is $version" [ "$(dpkg-deb -f "$deb" Version)" = "$version" ]
if [ -n "$version" ] && git -C "$root" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    elsewhere=$(git -C "$root" grep -lIF -e "$version" -- ':!CMakeLists.txt' | tr '\n' ' ')
    check "no file but CMakeLists.txt writes out $version${elsewhere:+ (also in: $elsewhere)}" [ -z "$elsewhere" ]
fi

[ "$failures" -eq 0 ] || { echo "check_install: $failures check(s) failed"; exit 1; }
echo "check_install: all checks passed"
