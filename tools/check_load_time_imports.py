#!/usr/bin/env python3
"""Fails when a module imports a DLL at load time beyond the C runtime's.

check_load_time_imports.py OBJDUMP MODULE...

Every start of installer.exe loads installer.dll: a system DLL that it
imports at load time is loaded by every installer process, whether its role
uses the DLL or not. Such DLLs are delay-loaded (cmake/delay_load.cmake);
a new one that the build links must be added there.
"""

import re
import subprocess
import sys

ALLOWED = {"kernel32.dll", "msvcrt.dll"}


def load_time_imports(objdump, module):
    text = subprocess.run([objdump, "-p", module], check=True,
                          capture_output=True, text=True).stdout
    return {name.lower() for name in re.findall(r"DLL Name: (\S+)", text)}


def main():
    objdump, modules = sys.argv[1], sys.argv[2:]
    failed = False
    for module in modules:
        extra = sorted(load_time_imports(objdump, module) - ALLOWED)
        if extra:
            failed = True
            print("%s imports at load time: %s; add them to "
                  "KELVO_DELAY_LOADED_DLLS in cmake/delay_load.cmake"
                  % (module, ", ".join(extra)))
        else:
            print("%s: only %s at load time" % (module, ", ".join(
                sorted(load_time_imports(objdump, module)))))
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
