#!/usr/bin/env python3
"""Checks the crash files we write under Wine with independent readers:
Debian's lldb must load the minidump and see the crashed thread, every
thread and the modules; the text log must name the same threads and
modules at the same bases; Python's zipfile and Debian's unzip must accept
the log's zip.

    check_crash_files.py WINE_RUN CRASH_REPORT_TOOL

WINE_RUN runs a Windows program in the build's prefix (WINEPREFIX set)."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

WINE_RUN = TOOL = None
EXTRA_THREADS = 3


def windows_path(path):
    # Wine maps the Unix root to drive Z:.
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class CrashFilesTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="crashcheck")
        run = subprocess.run(
            [WINE_RUN, TOOL, windows_path(cls.dir), str(EXTRA_THREADS)],
            capture_output=True, text=True, timeout=120,
            stdin=subprocess.DEVNULL)
        if run.returncode != 0:
            raise RuntimeError("crash_report_tool failed: " + run.stdout +
                               run.stderr)
        match = re.search(r"pid=(\d+) tid=(\d+)", run.stdout)
        cls.pid, cls.tid = int(match.group(1)), int(match.group(2))
        lldb = subprocess.run(
            ["lldb", "--batch", "-c", cls.path("crash.dmp"),
             "-o", "thread list", "-o", "image list"],
            capture_output=True, text=True, timeout=120,
            stdin=subprocess.DEVNULL)
        # Without lldb's Python module it prints tracebacks around its
        # answers; the answers are still there.
        cls.lldb = lldb.stdout
        with open(cls.path("crash.txt"), "rb") as f:
            cls.log_bytes = f.read()
        cls.log = cls.log_bytes.decode("latin-1").split("\r\n")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir)

    @classmethod
    def path(cls, name):
        return os.path.join(cls.dir, name)

    def lldb_threads(self):
        return re.findall(r"thread #\d+: tid = 0x([0-9a-f]+), .*", self.lldb)

    def lldb_images(self):
        """Module file name (lower case) to base address."""
        images = {}
        for base, path in re.findall(r"\[\s*\d+\]\s+0x([0-9a-f]+) (\S.*?)\s*$",
                                     self.lldb, re.M):
            images[path.split("\\")[-1].lower()] = int(base, 16)
        return images

    def log_modules(self):
        modules = {}
        start = self.log.index("Used DLLs:") + 1
        for line in self.log[start:self.log.index("Memory dumps:")]:
            match = re.match(r"(\S+) .*Base: ([0-9A-F]{12}) Size", line)
            if match:
                modules[match.group(1).lower()] = int(match.group(2), 16)
        return modules

    def test_lldb_sees_the_crashed_thread_every_thread_and_the_modules(self):
        crashed = re.search(
            r"\* thread #1: tid = 0x0*%x, 0x0*dead, stop reason = "
            r"Exception 0xc0000005" % self.tid, self.lldb)
        self.assertIsNotNone(crashed, self.lldb)
        self.assertEqual(1 + EXTRA_THREADS, len(self.lldb_threads()))
        for name in ("crash_report_test_child.exe",
                     "crash_report_test_module.dll", "kernel32.dll",
                     "ntdll.dll"):
            self.assertIn(name, self.lldb_images(), self.lldb)

    def test_the_text_log_agrees_with_lldb(self):
        self.assertEqual(
            "crash_report_test_child.exe caused exception C0000005 at "
            "address 00000000DEAD (Base: %012X)" %
            self.lldb_images()["crash_report_test_child.exe"], self.log[1])
        log_threads = [int(line[len("Thread: "):], 16) for line in self.log
                       if line.startswith("Thread: ")]
        self.assertEqual(self.tid, log_threads[0])
        self.assertEqual(sorted(int(t, 16) for t in self.lldb_threads()),
                         sorted(log_threads))
        self.assertEqual(self.lldb_images(), self.log_modules())
        # RBX points to the marker: its memory is dumped.
        self.assertTrue(any(line.endswith(" KELVO-TEST-MARKE")
                            for line in self.log), "no dump of RBX's memory")

    def test_the_zip_holds_the_log(self):
        with zipfile.ZipFile(self.path("crash.zip")) as z:
            self.assertIsNone(z.testzip())
            [info] = z.infolist()
            self.assertEqual("crashlog.txt", info.filename)
            self.assertEqual(zipfile.ZIP_DEFLATED, info.compress_type)
            self.assertEqual(self.log_bytes, z.read(info))
        test = subprocess.run(["unzip", "-t", self.path("crash.zip")],
                              capture_output=True, text=True)
        self.assertEqual(0, test.returncode, test.stdout + test.stderr)


if __name__ == "__main__":
    WINE_RUN, TOOL = sys.argv[1], sys.argv[2]
    for program in ("lldb", "unzip"):
        if not shutil.which(program):
            sys.exit(program + " is missing: run tools/setup.sh")
    unittest.main(argv=sys.argv[:1], verbosity=1)
