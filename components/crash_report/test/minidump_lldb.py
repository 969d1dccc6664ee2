"""What the crash file checkers share: Wine's view of a Unix path, and
Debian's lldb as the independent reader of a minidump, whose threads and
modules they compare with what the crash files say."""

import os
import re
import shutil
import subprocess
import sys


def windows_path(path):
    # Wine maps the Unix root to drive Z:.
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def require_programs(*programs):
    """Ends the checker, naming the first of |programs| missing on PATH."""
    for program in programs:
        if not shutil.which(program):
            sys.exit(program + " is missing: run tools/setup.sh")


def read_minidump(dump):
    """lldb's thread list and image list of the minidump file |dump|."""
    lldb = subprocess.run(
        ["lldb", "--batch", "-c", dump, "-o", "thread list",
         "-o", "image list"],
        capture_output=True, text=True, errors="replace", timeout=120,
        stdin=subprocess.DEVNULL)
    # Without lldb's Python module it prints tracebacks around its answers;
    # the answers are still there.
    return lldb.stdout


def thread_ids(lldb):
    """The thread ids of lldb's thread list, as hex text, in its order."""
    return re.findall(r"^[ *] thread #\d+: tid = 0x([0-9a-f]+),", lldb, re.M)


def images(lldb):
    """Module file name (lower case) to base address, from lldb's image
    list."""
    found = {}
    for base, path in re.findall(r"^\[\s*\d+\]\s+0x([0-9a-f]+) (\S.*?)\s*$",
                                 lldb, re.M):
        found[path.split("\\")[-1].lower()] = int(base, 16)
    return found
