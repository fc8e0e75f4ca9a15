"""Checks what a built Windows program imports, read with pefile (an
implementation of the PE format independent of the toolchain):

  exe_imports.py EXE --allowed LIST   every function the program imports, DLL
                                      by DLL, must be on LIST (lines "DLL
                                      FUNCTION"; # starts a comment); each one
                                      that is not is named
  exe_imports.py EXE --thread-id      (i686) every call of CreateThread passes
                                      a place for the thread id: Windows 95, 98
                                      and Me create no thread without one

Exits 0 when every check holds, 1 (with one line per fault) when not."""
import argparse
import re
import subprocess
import sys

import pefile


def imports(pe):
    """(dll, function, IAT address) of every import, delay-loaded ones too;
    a function imported by ordinal is named "#N"."""
    found = []
    for kind in ("DIRECTORY_ENTRY_IMPORT", "DIRECTORY_ENTRY_DELAY_IMPORT"):
        for entry in getattr(pe, kind, []):
            dll = entry.dll.decode("ascii").lower()
            for item in entry.imports:
                name = item.name.decode("ascii") if item.name else "#%d" % item.ordinal
                found.append((dll, name, item.address))
    return found


def check_allowed(pe, path):
    allowed = set()
    with open(path) as listing:
        for line in listing:
            words = line.split("#", 1)[0].split()
            if words:
                allowed.add((words[0].lower(), words[1]))
    return ["imports %s from %s, which is not on %s" % (name, dll, path)
            for dll, name, _ in imports(pe) if (dll, name) not in allowed]


def check_thread_id(exe, pe):
    slots = [address for dll, name, address in imports(pe) if (dll, name) == ("kernel32.dll", "CreateThread")]
    if not slots:
        return []
    # The sixth argument, lpThreadId, is stored at 0x14(%esp) before the call.
    listing = subprocess.run(["i686-w64-mingw32-objdump", "-d", "--no-show-raw-insn", exe],
                             capture_output=True, text=True, check=True).stdout.splitlines()
    call = re.compile(r"\bcall\s+\*0x%x\b" % slots[0])
    faults, calls = [], 0
    for at, line in enumerate(listing):
        if not call.search(line):
            continue
        calls += 1
        stores = [l for l in listing[max(0, at - 16):at] if re.search(r"\bmovl?\s+\S+,0x14\(%esp\)", l)]
        if not stores:
            faults.append("cannot find the thread id argument before %s" % line.strip())
        elif re.search(r"\$0x0,0x14\(%esp\)", stores[-1]):
            faults.append("CreateThread without a place for the thread id: %s" % line.strip())
    if calls == 0:
        faults.append("CreateThread is imported but no call of it was found")
    return faults


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("exe")
    parser.add_argument("--allowed")
    parser.add_argument("--thread-id", action="store_true")
    arguments = parser.parse_args()
    pe = pefile.PE(arguments.exe)
    faults = []
    if arguments.allowed:
        faults += check_allowed(pe, arguments.allowed)
    if arguments.thread_id:
        faults += check_thread_id(arguments.exe, pe)
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
