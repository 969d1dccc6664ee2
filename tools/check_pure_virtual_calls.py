#!/usr/bin/env python3
"""Fails when a built program calls __cxa_pure_virtual directly.

A COM interface declared by hand inside an anonymous namespace is a type
that, as the compiler may conclude, no object implements: with optimisation
it then compiles every call through it into a call of __cxa_pure_virtual,
which crashes the process on real Windows while Wine, which lacks the COM
class, never reaches the call. Vtables of abstract classes name the
function as data; only code that calls or jumps to it is such a fault.

  check_pure_virtual_calls.py OBJDUMP FILE...
"""

import re
import subprocess
import sys

CALL = re.compile(r"\s(call|jmp)\s+[0-9a-f]+ <__cxa_pure_virtual>")
FUNCTION = re.compile(r"^[0-9a-f]+ <(.+)>:$")


def pure_calls(objdump, path):
    listing = subprocess.run([objdump, "-d", "--no-show-raw-insn", path],
                             check=True, capture_output=True, text=True)
    function = "?"
    for line in listing.stdout.splitlines():
        match = FUNCTION.match(line)
        if match:
            function = match.group(1)
        elif CALL.search(line) and function != "__cxa_pure_virtual":
            yield function


def main(argv):
    objdump, paths = argv[1], argv[2:]
    faults = [(path, function) for path in paths
              for function in pure_calls(objdump, path)]
    for path, function in faults:
        print(f"{path}: {function} calls __cxa_pure_virtual")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
