#!/usr/bin/env python3
"""Checks that zips written by our writer under Wine open in independent
readers: Python's zipfile (names, method, CRC, contents) and Debian's unzip
(its own CRC test and extraction).

    check_zips.py WINE_RUN ZIP_TOOL

WINE_RUN runs a Windows program in the build's prefix (WINEPREFIX set)."""

import os
import random
import shutil
import subprocess
import sys
import tempfile
import unittest
import zipfile

WINE_RUN = ZIP_TOOL = None


def windows_path(path):
    # Wine maps the Unix root to drive Z:.
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def log_text(size):
    rng = random.Random(size)
    lines = []
    total = 0
    while total < size:
        line = "%012X  %016X %s\r\n" % (total, rng.getrandbits(64),
                                         "." * rng.randrange(40))
        lines.append(line)
        total += len(line)
    return "".join(lines).encode("ascii")[:size]


class ZipCompatibilityTest(unittest.TestCase):
    # One byte; around the writer's 1 MiB read size; a 3 MiB log; data
    # that deflate cannot shrink.
    SOURCES = {
        "one_byte.txt": b"x",
        "below_chunk.txt": log_text((1 << 20) - 1),
        "chunk.txt": log_text(1 << 20),
        "above_chunk.txt": log_text((1 << 20) + 1),
        "log.txt": log_text(3 << 20),
        "noise.bin": random.Random(7).randbytes(300000),
    }

    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="zipcheck")
        args = [WINE_RUN, ZIP_TOOL]
        for name, data in cls.SOURCES.items():
            with open(os.path.join(cls.dir, name), "wb") as f:
                f.write(data)
            args += [windows_path(os.path.join(cls.dir, name)),
                     windows_path(os.path.join(cls.dir, name + ".zip"))]
        # One Wine start for every archive.
        subprocess.run(args, check=True, timeout=120,
                       stdin=subprocess.DEVNULL)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.dir)

    def zip_path(self, name):
        return os.path.join(self.dir, name + ".zip")

    def test_zipfile_and_unzip_read_one_deflated_entry(self):
        for name, data in self.SOURCES.items():
            with self.subTest(name), zipfile.ZipFile(self.zip_path(name)) as z:
                self.assertIsNone(z.testzip())
                [info] = z.infolist()
                self.assertEqual("crashlog.txt", info.filename)
                self.assertEqual(zipfile.ZIP_DEFLATED, info.compress_type)
                self.assertEqual(len(data), info.file_size)
                self.assertEqual(data, z.read(info))
                test = subprocess.run(["unzip", "-t", self.zip_path(name)],
                                      capture_output=True, text=True)
                self.assertEqual(0, test.returncode, test.stdout + test.stderr)
                self.assertIn("No errors detected", test.stdout)
                extracted = subprocess.run(
                    ["unzip", "-p", self.zip_path(name), "crashlog.txt"],
                    capture_output=True, check=True)
                self.assertEqual(data, extracted.stdout)


if __name__ == "__main__":
    WINE_RUN, ZIP_TOOL = sys.argv[1], sys.argv[2]
    if not shutil.which("unzip"):
        sys.exit("unzip is missing: run tools/setup.sh")
    unittest.main(argv=sys.argv[:1], verbosity=1)
