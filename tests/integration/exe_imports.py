"""Checks what the i686 sonabar.exe imports, read with pefile (independent of
the toolchain that wrote it):
  - every function it imports, DLL by DLL, is on LIST (lines "DLL FUNCTION",
    # starts a comment), the functions Windows XP SP3 offers;
  - every call of CreateThread passes a place for the thread id (its sixth
    argument, stored at 0x14(%esp)): Windows 95, 98 and Me create no thread
    without one.
Usage: exe_imports.py EXE LIST. Prints one line per fault and exits 1 if any."""
import re
import subprocess
import sys

import pefile

exe, listing = sys.argv[1:3]
pe = pefile.PE(exe)
imports = [(entry.dll.decode().lower(), item.name.decode() if item.name else "#%d" % item.ordinal, item.address)
           for kind in ("DIRECTORY_ENTRY_IMPORT", "DIRECTORY_ENTRY_DELAY_IMPORT")
           for entry in getattr(pe, kind, []) for item in entry.imports]
allowed = {tuple(line.split("#", 1)[0].split()) for line in open(listing)} - {()}
faults = ["imports %s from %s, which is not on %s" % (name, dll, listing)
          for dll, name, _ in imports if (dll, name) not in allowed]

slots = [address for dll, name, address in imports if (dll, name) == ("kernel32.dll", "CreateThread")]
if slots:
    code = subprocess.run(["i686-w64-mingw32-objdump", "-d", "--no-show-raw-insn", exe],
                          capture_output=True, text=True, check=True).stdout.splitlines()
    calls = [at for at, line in enumerate(code) if re.search(r"\bcall\s+\*0x%x\b" % slots[0], line)]
    if not calls:
        faults.append("CreateThread is imported but never called directly")
    for at in calls:
        stores = [line for line in code[max(0, at - 16):at] if re.search(r",0x14\(%esp\)$", line)]
        if not stores or "$0x0,0x14(%esp)" in stores[-1]:
            faults.append("CreateThread without a place for the thread id: %s" % code[at].strip())

print("\n".join(faults))
sys.exit(1 if faults else 0)
