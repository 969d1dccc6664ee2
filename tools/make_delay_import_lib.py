#!/usr/bin/env python3
"""Makes a delay-import library that stands in for a system import library.

make_delay_import_lib.py DLLTOOL NM AR INPUT OUTPUT

INPUT is a mingw-w64 import library (libNAME.a) or a module definition
file (.def). The functions it imports become delay-loaded imports in
OUTPUT: the DLL is loaded when one of them is first called, not when the
module that calls them is loaded. An import library may also carry plain
data (GUIDs such as CLSID_ShellLink): those members are copied into OUTPUT
unchanged, so that OUTPUT can take INPUT's place on the link line. A
variable exported by the DLL itself cannot be delay-loaded: it is left
out, and a module that uses one does not link.
"""

import os
import re
import shutil
import subprocess
import sys
import tempfile


def run(*args, cwd=None):
    return subprocess.run(args, check=True, capture_output=True, text=True,
                          cwd=cwd).stdout


def defined_symbols(nm, library):
    """{member: [(kind, symbol)]}: the symbols each member defines."""
    members = {}
    for line in run(nm, "-A", "--defined-only", library).splitlines():
        m = re.match(r"^.*?\.a:([^:]+):\s*[0-9a-fA-F]*\s+(\w)\s+(\S+)$", line)
        if m:
            member, kind, symbol = m.groups()
            members.setdefault(member, []).append((kind, symbol))
    return members


def extract(ar, library, members, work):
    run(ar, "x", os.path.abspath(library), *members, cwd=work)
    return [os.path.join(work, member) for member in members]


def dll_of(ar, library, member, work):
    """The DLL name in the .idata$7 section of the import library's tail
    member."""
    (path,) = extract(ar, library, [member], work)
    with open(path, "rb") as f:
        m = re.search(rb"([\w.-]+\.dll)\x00", f.read(), re.IGNORECASE)
    os.remove(path)
    return m.group(1).decode() if m else None


def read_import_library(ar, nm, library, work):
    """(DLL name, imported functions, members carrying plain data)."""
    dll = None
    functions = set()
    data_members = []
    for member, symbols in defined_symbols(nm, library).items():
        names = {symbol for _, symbol in symbols}
        imports = [s for k, s in symbols if k == "I" and s.startswith("__imp_")]
        if imports:
            name = imports[0][len("__imp_"):]
            # A variable of the DLL has no thunk: it cannot be delay-loaded
            # and is left out, so that a use of it fails the link.
            if name in names:
                functions.add(name)
        elif any(s.endswith("_iname") for s in names):
            dll = dll_of(ar, library, member, work)
        elif any(kind in "DR" for kind, _ in symbols):
            data_members.append(member)
    if not dll:
        sys.exit("%s names no DLL" % library)
    return dll, sorted(functions), data_members


def main():
    if len(sys.argv) != 6:
        sys.exit(__doc__)
    dlltool, nm, ar, source, output = sys.argv[1:]
    with tempfile.TemporaryDirectory() as work:
        data_members = []
        def_path = source
        if not source.endswith(".def"):
            dll, functions, data_members = read_import_library(
                ar, nm, source, work)
            def_path = os.path.join(work, "imports.def")
            with open(def_path, "w") as out:
                out.write("LIBRARY %s\nEXPORTS\n" % dll)
                out.writelines("  %s\n" % name for name in functions)
        library = os.path.join(work, "delay.a")
        run(dlltool, "--input-def", def_path, "--output-delaylib", library,
            "--temp-prefix", os.path.join(work, "t"))
        if data_members:
            run(ar, "rs", library,
                *extract(ar, source, data_members, work))
        shutil.copyfile(library, output + ".tmp")
        os.replace(output + ".tmp", output)


if __name__ == "__main__":
    main()
