import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
import check_load_time_imports as check  # noqa: E402

# What `objdump -p` prints of a module's import tables.
LISTING = """
The Import Tables (interpreted .idata section contents)
 vma:            Hint    Time      Forward  DLL       First
                 Table   Stamp     Chain    Name      Thunk
 00031000	00031040 00000000 00000000 00031e88 00031398

	DLL Name: KERNEL32.dll
	vma:  Hint/Ord Member-Name Bound-To
	316f0	   20  AddVectoredExceptionHandler
	3170e	  141  CloseHandle
	318a8	  800  GetTickCount64

 00031014	00031218 00000000 00000000 00031f54 00031570

	DLL Name: msvcrt.dll
	vma:  Hint/Ord Member-Name Bound-To
	31b7e	   64  wcscpy_s
	31b94	   67  malloc

 00000000	00000000 00000000 00000000 00000000 00000000

There is an export table in .edata at 0x6b5c4000
"""


class CheckLoadTimeImportsTest(unittest.TestCase):
    def test_reads_each_dlls_functions(self):
        self.assertEqual(
            {"kernel32.dll": {"AddVectoredExceptionHandler", "CloseHandle",
                              "GetTickCount64"},
             "msvcrt.dll": {"wcscpy_s", "malloc"}},
            check.parse_imports(LISTING))

    def test_refuses_what_windows_xp_lacks(self):
        missing = check.read_missing_functions()
        found = check.problems("m.dll", check.parse_imports(LISTING), missing)
        self.assertEqual(2, len(found), found)
        self.assertIn("kernel32.dll!GetTickCount64", found[0])
        self.assertIn("msvcrt.dll!wcscpy_s", found[1])
        # Every Vista function the installer once imported is on the list.
        for function in ("AcquireSRWLockExclusive", "CancelIoEx",
                         "GetFinalPathNameByHandleW", "LCMapStringEx",
                         "QueryFullProcessImageNameW", "CompareStringOrdinal",
                         "K32GetProcessMemoryInfo"):
            self.assertIn(("kernel32.dll", function), missing)

    def test_refuses_other_dlls_at_load_time(self):
        found = check.problems("m.dll", {"user32.dll": {"MessageBoxW"},
                                         "kernel32.dll": {"CloseHandle"}}, {})
        self.assertEqual(1, len(found), found)
        self.assertIn("user32.dll", found[0])


if __name__ == "__main__":
    unittest.main()
