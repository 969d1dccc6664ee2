// Zips files for the check that independent readers accept our archives:
//   zip_tool.exe SOURCE ZIP [SOURCE ZIP ...]
// Every pair becomes a zip of one entry "crashlog.txt" at level 9. Exits
// with the number of pairs that failed.

#include <windows.h>

#include <cstdio>

#include "base/files/file_path.h"
#include "components/zip/zip_writer.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 3 || argc % 2 != 1) {
    std::fputs("usage: zip_tool SOURCE ZIP [SOURCE ZIP ...]\n", stderr);
    return 100;
  }
  int failures = 0;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (!zip::WriteSingleEntryZip(base::FilePath(argv[i + 1]), "crashlog.txt",
                                  base::FilePath(argv[i]), 9)) {
      ++failures;
    }
  }
  return failures;
}
