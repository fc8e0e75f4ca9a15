#!/usr/bin/env bash
# The port I/O driver hwinterface.sys and its provisioning under wine64, with
# the x86_64 cross build, in one private Wine prefix, in this order:
#  1. Fresh prefix: the program writes the driver file out of its resources,
#     registers the kernel service with its relative image path and tries to
#     start it. This Wine cannot start a driver from a relative image path, so
#     the program shows its failure message and ends with exit code 0, without
#     a tray icon. The file must be the built image byte for byte, and the
#     service's registry values those the program registers.
#  2. The driver file the program wrote: the driver client registers it with
#     an absolute image path (which this Wine needs), starts it, talks to it
#     with requests that touch no port (a port access would crash Wine's
#     driver host), stops it and removes the service. Port-touching requests
#     are covered by the unit tests of the driver's request checks.
#  3. The service registered with an absolute image path and stopped: the
#     program starts it, opens the device and comes up without the failure
#     message and without installing anything. Wine does not emulate port
#     instructions, so the program's first port write kills the driver host;
#     from there its writes fail silently, the program stays up and answers,
#     and Exit ends it with exit code 0.
# With the i686 build (under the emulated 32-bit Wine, see wine_lib.sh) the
# prefix is that of 64-bit Windows: the 32-bit program's system folder is
# redirected, so the driver file lands in syswow64\drivers (made here, as
# 64-bit Windows has it), where a 64-bit system never looks for it. Wine starts a 32-bit driver in a 32-bit driver
# host, so the other steps run as they do for x86_64.
# The script starts everything itself (prefix, one wineserver for all steps,
# Xvfb on a free display; see wine_lib.sh) and removes it at the end; every
# step has a time limit.
# Usage: tests/integration/wine_driver.sh BUILD_DIR   (an x86_64 or i686 cross build)
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/wine_lib.sh"

wine_use_build "$@"
wine_start

if [ "$wine_arch" = i686 ]; then system_folder=syswow64; else system_folder=system32; fi
drivers=$WINEPREFIX/drive_c/windows/$system_folder/drivers
# 64-bit Windows has the redirected driver folder; a Wine prefix lacks it.
mkdir -p "$drivers"
service_key='HKLM\System\CurrentControlSet\Services\hwinterface'

# service_value NAME: "TYPE DATA" of one value of the service's registry key.
service_value() {
  run_windows reg query "$service_key" /v "$1" |
    awk -v name="$1" -F '    ' '$2 == name { print $3, $4 }'
}

# expect_value NAME EXPECTED [ALSO_ACCEPTED]
expect_value() {
  local value
  value=$(service_value "$1")
  [ "$value" = "$2" ] || { [ $# -ge 3 ] && [ "$value" = "$3" ]; } ||
    die "service value $1 is \"$value\", expected \"$2\"${3:+ or \"$3\"}"
  echo "service value $1: $value"
}

step "fresh prefix: the program installs the driver, cannot start it here, says so and ends"
[ ! -e "$drivers/hwinterface.sys" ] || die "the fresh prefix has a driver file already"
start_program
tray error-box "Error loading kernel-mode I/O-driver!"
end_program
cmp "$drivers/hwinterface.sys" "$image" || die "the driver file written differs from the built image"
echo "driver file: the built image, $(stat -c %s "$image") bytes"
expect_value Type "REG_DWORD 0x1"
expect_value Start "REG_DWORD 0x1"
expect_value ErrorControl "REG_DWORD 0x1"
expect_value ImagePath 'REG_EXPAND_SZ System32\Drivers\hwinterface.sys' 'REG_SZ System32\Drivers\hwinterface.sys'
expect_value DisplayName "REG_SZ hwinterface"

step "the installed driver file loads and answers requests that touch no port"
run_windows "$driver_client" unregister || die "removing the service"
status=0
run_windows "$driver_client" check "C:\\windows\\$system_folder\\drivers\\hwinterface.sys" || status=$?
[ "$status" -eq 0 ] || die "driver client: $status failed check(s)"

step "service registered with an absolute path and stopped: the program starts it and runs on"
rm "$drivers/hwinterface.sys"
register_driver
start_program_with_driver
# The program reached its message loop after start-up's first port write,
# which broke the channel, and answers its menu all the same.
tray command 40003
end_program
[ ! -e "$drivers/hwinterface.sys" ] || die "the program installed the driver although its service started"
if grep -qs "Unhandled privileged instruction" "$work"/*.log; then
  echo "(the driver host died at the program's first port write, as it does under this Wine)"
fi
expect_value ImagePath 'REG_EXPAND_SZ C:\sonabar\hwinterface.sys' 'REG_SZ C:\sonabar\hwinterface.sys'

echo "$WINE_TEST: passed"
