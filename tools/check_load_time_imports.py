#!/usr/bin/env python3
"""Fails when a module imports at load time what it may not.

check_load_time_imports.py OBJDUMP MODULE...

Every start of installer.exe loads installer.dll: a system DLL that it
imports at load time is loaded by every installer process, whether its role
uses the DLL or not. Such DLLs are delay-loaded (cmake/delay_load.cmake);
a new one that the build links must be added there.

The installer also runs on Windows XP x64 and Server 2003, where a module
that imports at load time a function the system lacks does not load at all:
the functions listed in pre_vista_missing_imports.txt are refused too.
"""

import os
import re
import subprocess
import sys

ALLOWED = {"kernel32.dll", "msvcrt.dll"}
MISSING_BEFORE_VISTA = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                    "pre_vista_missing_imports.txt")


def read_missing_functions(path=MISSING_BEFORE_VISTA):
    """{(dll, function): reason} of the list's lines."""
    missing = {}
    with open(path) as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            dll, function, reason = line.split(None, 2)
            missing[(dll.lower(), function)] = reason
    return missing


def parse_imports(objdump_text):
    """{dll: set of function names} of an `objdump -p` listing's import
    tables; functions imported by ordinal only are left out."""
    imports = {}
    dll = None
    for line in objdump_text.splitlines():
        match = re.match(r"\s*DLL Name: (\S+)", line)
        if match:
            dll = match.group(1).lower()
            imports.setdefault(dll, set())
            continue
        if dll is None:
            continue
        # "\t<vma>\t <hint>  <name>" under the DLL's name.
        match = re.match(r"\t[0-9a-f]+\s+\d+\s+(\S+)\s*$", line)
        if match:
            imports[dll].add(match.group(1))
        elif line.strip() == "" or line.startswith("\tvma:"):
            continue
        else:
            dll = None
    return imports


def load_time_imports(objdump, module):
    text = subprocess.run([objdump, "-p", module], check=True,
                          capture_output=True, text=True).stdout
    return parse_imports(text)


def problems(module, imports, missing):
    """The lines that say what |module| may not import."""
    lines = []
    extra = sorted(set(imports) - ALLOWED)
    if extra:
        lines.append("%s imports at load time: %s; add them to "
                     "KELVO_DELAY_LOADED_DLLS in cmake/delay_load.cmake"
                     % (module, ", ".join(extra)))
    for dll in sorted(imports):
        for function in sorted(imports[dll]):
            reason = missing.get((dll, function))
            if reason:
                lines.append("%s imports %s!%s, which Windows XP x64 and "
                             "Server 2003 lack (%s); find it at run time "
                             "(base/win/vista_function.h)"
                             % (module, dll, function, reason))
    return lines


def main():
    objdump, modules = sys.argv[1], sys.argv[2:]
    missing = read_missing_functions()
    failed = False
    for module in modules:
        imports = load_time_imports(objdump, module)
        found = problems(module, imports, missing)
        if found:
            failed = True
            print("\n".join(found))
        else:
            print("%s: only %s at load time, nothing missing before Vista"
                  % (module, ", ".join(sorted(imports))))
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
