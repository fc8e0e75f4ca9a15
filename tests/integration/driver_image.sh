#!/usr/bin/env bash
# Checks the built driver image hwinterface.sys of one Windows cross build:
# native subsystem, imports from the kernel and the HAL only (and only the
# routines the driver is meant to use), a correct PE checksum (the system
# checks it for drivers it loads at boot), and the version resource of a
# system driver with its names and versions; and that the program of the same
# build carries exactly this image as its resource BIN 103. In a build with
# SONABAR_TEST_SIGNING (required by --signed), the program carries the signed
# image instead: its signatures must verify (osslsigncode, against the build's
# certificate) and its checksum be right too.
# Usage: tests/integration/driver_image.sh BUILD_DIR [--signed]
set -euo pipefail

build=$(cd "${1:?usage: driver_image.sh BUILD_DIR [--signed]}" && pwd)
image=$build/driver/hwinterface.sys
[ -f "$image" ] || { echo "driver_image: missing $image" >&2; exit 1; }

fail() { echo "driver_image: $image: $*" >&2; exit 1; }

signing=no
grep -q '^SONABAR_TEST_SIGNING:BOOL=ON$' "$build/CMakeCache.txt" && signing=yes
[ "${2:-}" != --signed ] || [ $signing = yes ] || fail "the build does not test-sign the driver (SONABAR_TEST_SIGNING)"

# pe_checksum FILE: prints the PE checksum of FILE, which pefile (an
# implementation independent of the linker and the signing tool that wrote
# it) must compute to the same non-zero value.
pe_checksum() {
  /usr/bin/python3 - "$1" <<'PY'
import pefile, sys
pe = pefile.PE(sys.argv[1])
stored, computed = pe.OPTIONAL_HEADER.CheckSum, pe.generate_checksum()
print("%#x" % stored if stored != 0 and stored == computed else "stored %#x, computed %#x" % (stored, computed))
sys.exit(0 if stored != 0 and stored == computed else 1)
PY
}

headers=$(x86_64-w64-mingw32-objdump -p "$image")
grep -Eq '^Subsystem[[:space:]]+00000001[[:space:]]+\(NT native\)' <<<"$headers" || fail "not a native-subsystem image"

# Imports, as "DLL routine" lines.
imports=$(awk '
  /DLL Name:/ { dll = $3; next }
  /^$/ { dll = "" }
  dll != "" && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ { print dll, $3 }' <<<"$headers" | sort -u)
[ -n "$imports" ] || fail "no imports found"
allowed="ntoskrnl.exe IoCreateDevice
ntoskrnl.exe IoCreateSymbolicLink
ntoskrnl.exe IoDeleteDevice
ntoskrnl.exe IoDeleteSymbolicLink
ntoskrnl.exe IofCompleteRequest
ntoskrnl.exe RtlInitUnicodeString
HAL.dll READ_PORT_UCHAR
HAL.dll WRITE_PORT_UCHAR"
unexpected=$(grep -vxF -f <(echo "$allowed") <<<"$imports" || true)
[ -z "$unexpected" ] || fail "unexpected imports: $unexpected"
for dll in $(grep 'DLL Name:' <<<"$headers" | awk '{print $3}'); do
  case $dll in ntoskrnl.exe|HAL.dll) ;; *) fail "imports from $dll" ;; esac
done
grep -q '^ntoskrnl.exe IoCreateDevice$' <<<"$imports" || fail "IoCreateDevice not imported"
if grep -q '(PE32)' <<<"$headers"; then
  # On i686 the port routines are the HAL's; on x86_64 they are inline in/out.
  grep -q '^HAL.dll WRITE_PORT_UCHAR$' <<<"$imports" || fail "WRITE_PORT_UCHAR not imported from HAL.dll"
  grep -q '^HAL.dll READ_PORT_UCHAR$' <<<"$imports" || fail "READ_PORT_UCHAR not imported from HAL.dll"
fi

checksum=$(pe_checksum "$image") || fail "PE checksum: $checksum"

# The version resource: fixed part and strings.
python3 - "$image" <<'PY' || fail "version resource"
import struct, sys
data = open(sys.argv[1], "rb").read()
at = data.find(struct.pack("<I", 0xFEEF04BD))
assert at >= 0, "no fixed file info"
(sig, _, file_ms, file_ls, prod_ms, prod_ls, _, _, os_, type_, subtype) = struct.unpack_from("<11I", data, at)
version = ((5 << 16) | 0, (2195 << 16) | 1620)
assert (file_ms, file_ls) == version and (prod_ms, prod_ls) == version, "binary versions"
assert os_ == 0x40004 and type_ == 3 and subtype == 7, "not a system driver for the NT platform"
for key, value in [("FileDescription", "hwinterface.sys"), ("InternalName", "hwinterface.sys"),
                   ("OriginalFilename", "hwinterface.sys"), ("ProductName", "hwinterface Driver Version 1.1"),
                   ("FileVersion", "5.00.2195.1620"), ("ProductVersion", "5.00.2195.1620")]:
    k = key.encode("utf-16-le") + b"\0\0"
    i = data.find(k)
    assert i >= 0, key
    i += len(k)
    i += (-i) % 4  # the value starts on a 32-bit boundary
    assert data[i:i + 2 * len(value) + 2] == value.encode("utf-16-le") + b"\0\0", key
PY
# The test-signed image: both signatures (SHA-1, and SHA-256 nested) verify
# against the build's certificate, and signing has set the checksum anew.
carried=$image
if [ $signing = yes ]; then
  carried=$build/driver/hwinterface-test-signed.sys
  certificate=$(sed -n 's/^SONABAR_TEST_SIGNING_CERT:FILEPATH=//p' "$build/CMakeCache.txt")
  certificate=${certificate:-$build/driver/test-signing/certificate.pem}
  verified=$(osslsigncode verify -in "$carried" -CAfile "$certificate" 2>&1) ||
    fail "the signature of $carried does not verify: $(tail -n 3 <<<"$verified")"
  grep -q '^Number of verified signatures: 2$' <<<"$verified" || fail "$carried does not carry two verified signatures"
  signed_checksum=$(pe_checksum "$carried") || fail "PE checksum of $carried: $signed_checksum"
  echo "driver_image: $carried: two verified signatures, checksum $signed_checksum"
fi

# The program's resource BIN 103, read from its compiled resources, byte for byte.
program=$build/sonabar.exe
[ -f "$program" ] || fail "missing $program"
resources=$(mktemp)
trap 'rm -f "$resources"' EXIT
x86_64-w64-mingw32-windres -i "$program" -O res -o "$resources" || fail "cannot read the resources of $program"
python3 - "$resources" "$carried" <<'PY' || fail "$program does not carry $carried as BIN 103"
import struct, sys
res, image = open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read()

def name(at):  # a resource type or name: a number after 0xFFFF, or a UTF-16 string
    if struct.unpack_from("<H", res, at)[0] == 0xFFFF:
        return struct.unpack_from("<H", res, at + 2)[0], at + 4
    end = at
    while struct.unpack_from("<H", res, end)[0] != 0:
        end += 2
    return res[at:end].decode("utf-16-le").upper(), end + 2

found = []
at = 0
while at + 8 <= len(res):
    size, header = struct.unpack_from("<II", res, at)
    kind, after = name(at + 8)
    ident, _ = name(after)
    if (kind, ident) == ("BIN", 103):
        found.append(res[at + header:at + header + size])
    at = (at + header + size + 3) & ~3
assert found == [image], f"{len(found)} BIN 103 resource(s); sizes {[len(f) for f in found]}, image {len(image)}"
PY
echo "driver_image: $image: native, kernel and HAL imports only, checksum $checksum, version resource in order; sonabar.exe carries $(basename "$carried") as BIN 103"
