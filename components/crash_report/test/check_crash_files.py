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

from minidump_lldb import (images, read_minidump, require_programs,
                           thread_ids, windows_path)

WINE_RUN = TOOL = None
EXTRA_THREADS = 3


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
        cls.lldb = read_minidump(cls.path("crash.dmp"))
        with open(cls.path("crash.txt"), "rb") as f:
            cls.log_bytes = f.read()
        cls.log = cls.log_bytes.decode("latin-1").split("\r\n")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir)

    @classmethod
    def path(cls, name):
        return os.path.join(cls.dir, name)

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
        self.assertEqual(1 + EXTRA_THREADS, len(thread_ids(self.lldb)))
        for name in ("crash_report_test_child.exe",
                     "crash_report_test_module.dll", "kernel32.dll",
                     "ntdll.dll"):
            self.assertIn(name, images(self.lldb), self.lldb)

    def test_the_text_log_agrees_with_lldb(self):
        self.assertEqual(
            "crash_report_test_child.exe caused exception C0000005 at "
            "address 00000000DEAD (Base: %012X)" %
            images(self.lldb)["crash_report_test_child.exe"], self.log[1])
        log_threads = [int(line[len("Thread: "):], 16) for line in self.log
                       if line.startswith("Thread: ")]
        self.assertEqual(self.tid, log_threads[0])
        self.assertEqual(sorted(int(t, 16) for t in thread_ids(self.lldb)),
                         sorted(log_threads))
        self.assertEqual(images(self.lldb), self.log_modules())
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
    require_programs("lldb", "unzip")
    unittest.main(argv=sys.argv[:1], verbosity=1)
