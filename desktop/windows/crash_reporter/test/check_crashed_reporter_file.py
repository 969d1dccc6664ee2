#!/usr/bin/env python3
"""Reads the V1 crash file that a third crash reporter wrote and sent about
a crashed second one with an independent reader: Debian's lldb must load
its minidump and find the crashed reporter's thread stopped by the access
violation at the address the file's header names.

    check_crashed_reporter_file.py WINE_RUN CRASH_REPORTER_UNITTESTS

The file comes from the end-to-end test of the chain of reporters, which
leaves a copy of what the crash server received where
KELVO_TEST_V1_FILE_COPY names. WINE_RUN runs a Windows program in the
build's prefix (WINEPREFIX set)."""

import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(
    os.path.dirname(os.path.abspath(__file__)), "..", "..", "..", "..",
    "components", "crash_report", "test"))
from minidump_lldb import (images, read_minidump, require_programs,
                           thread_ids, windows_path)

WINE_RUN = UNITTESTS = None
TEST = "CrashedReporterTest.ACrashedSecondReporterIsReportedByAThird"
HEADER = re.compile(
    rb"KELVO-CRASHLOG V1 desktop 45\.0\.2531\.0 816662 windows x64 "
    rb"release\r\n"
    rb"crash_reporter_test_host\.exe caused exception C0000005 at address "
    rb"([0-9A-F]{12,}) \(BASE: 00000000\)\r\n"
    rb"\r\nmetadata:\r\n"
    rb"(.*?)"
    rb"\r\nminidump:\r\n", re.S)


class CrashedReporterFileTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="crashedreporter")
        copy = os.path.join(cls.dir, "v1.txt")
        run = subprocess.run(
            [WINE_RUN, UNITTESTS, "--gtest_filter=" + TEST],
            env=dict(os.environ, KELVO_TEST_V1_FILE_COPY=windows_path(copy)),
            capture_output=True, text=True, errors="replace", timeout=240,
            stdin=subprocess.DEVNULL)
        cls.chain = run
        cls.lldb = ""
        if not os.path.exists(copy):
            raise RuntimeError("the chain of reporters left no V1 file:\n" +
                               run.stdout[-4000:] + run.stderr[-4000:])
        with open(copy, "rb") as f:
            cls.file = f.read()
        cls.match = HEADER.match(cls.file)
        if not cls.match:
            return
        dump = os.path.join(cls.dir, "crash.dmp")
        with open(dump, "wb") as f:
            f.write(cls.file[cls.match.end():])
        cls.lldb = read_minidump(dump)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir)

    def test_the_chain_of_reporters_passed_its_own_checks(self):
        self.assertEqual(0, self.chain.returncode,
                         self.chain.stdout[-4000:] + self.chain.stderr[-4000:])

    def test_header_and_one_metadata_line_before_the_minidump(self):
        self.assertIsNotNone(self.match, self.file[:400])
        self.assertEqual(b'process_type="crash_reporter"\r\n',
                         self.match.group(2))
        self.assertEqual(b"MDMP",
                         self.file[self.match.end():self.match.end() + 4])

    def test_lldb_finds_the_crash_the_header_names(self):
        self.assertIsNotNone(self.match)
        self.assertIn("was loaded", self.lldb)
        address = int(self.match.group(1), 16)
        crashed = re.search(
            r"^\* thread #\d+: tid = 0x[0-9a-f]+, 0x0*%x "
            r"crash_reporter_test_host\.exe.*stop reason = "
            r"Exception 0xc0000005" % address, self.lldb, re.M)
        self.assertIsNotNone(crashed, self.lldb)
        self.assertGreaterEqual(len(thread_ids(self.lldb)), 2)

    def test_lldb_sees_the_reporters_modules(self):
        self.assertIsNotNone(self.match)
        for name in ("crash_reporter_test_host.exe", "ntdll.dll",
                     "kernel32.dll", "wininet.dll"):
            self.assertIn(name, images(self.lldb), self.lldb)


if __name__ == "__main__":
    WINE_RUN, UNITTESTS = sys.argv[1], sys.argv[2]
    require_programs("lldb")
    unittest.main(argv=sys.argv[:1], verbosity=1)
