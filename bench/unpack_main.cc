// Unpacks a 7z archive with Archive7z, as the package fetcher does, and
// prints the seconds that took and the process's peak memory, for
// bench/unpack_bench.sh.
//
//   unpack_bench.exe ARCHIVE FOLDER

#include <windows.h>

#include <psapi.h>
#include <stdio.h>

#include "base/files/file_path.h"
#include "desktop/windows/installer/package_fetcher/lzma_util.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: unpack_bench.exe ARCHIVE FOLDER\n");
    return 2;
  }
  LARGE_INTEGER frequency, start, end;
  ::QueryPerformanceFrequency(&frequency);
  ::QueryPerformanceCounter(&start);
  installer::Archive7z archive(nullptr);
  DWORD result = archive.Open(base::FilePath(argv[1]));
  if (result == ERROR_SUCCESS)
    result = archive.Extract(base::FilePath(argv[2]), nullptr);
  ::QueryPerformanceCounter(&end);

  PROCESS_MEMORY_COUNTERS counters = {};
  counters.cb = sizeof(counters);
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof(counters));
  constexpr double kMiB = 1024.0 * 1024.0;
  printf(
      "seconds %.3f peak_working_set_mib %.1f\n",
      static_cast<double>(end.QuadPart - start.QuadPart) / frequency.QuadPart,
      counters.PeakWorkingSetSize / kMiB);
  if (result != ERROR_SUCCESS) {
    fprintf(stderr, "unpacking failed: %lu (error kind %d)\n", result,
            archive.error_kind());
    return 1;
  }
  return 0;
}
