// Times one write or one read of an install log and reports the memory it
// took, for the install log scaling bench (install_scaling_bench.sh). One
// operation per process, so that the peak memory is that operation's.
//
//   install_log_bench.exe write FILES PATH   writes a log of FILES files
//   install_log_bench.exe read PATH          reads it back
//
// Prints "<seconds> s, <file bytes> bytes, <entries> files, peak <bytes>
// bytes above the start" and exits with 0; 1 when the operation failed, 2
// on a bad command line.

#include <windows.h>

#include <objbase.h>
#include <psapi.h>
#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "base/at_exit.h"
#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/strings/stringprintf.h"
#include "base/time/time.h"
#include "desktop/windows/installer/install_log.h"
#include "desktop/windows/installer/install_log_reader.h"
#include "desktop/windows/installer/install_log_writer.h"

namespace {

// The largest private memory the process has held so far.
size_t PeakPrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters = {};
  counters.cb = sizeof(counters);
  ::GetProcessMemoryInfo(::GetCurrentProcess(),
                         reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof(counters));
  return counters.PeakPagefileUsage;
}

// A log like that of a large package: files spread over folders of 125,
// a few registry keys, a shortcut and a component.
installer::InstallLog MakeLog(int files) {
  installer::InstallLog log;
  log.version = "45.0.2531.0";
  log.app_id = "Kelvo.45.0.2531.0";
  log.install_path = base::FilePath(L"C:\\Program Files\\Kelvo");
  log.subfolder = base::FilePath(L"45.0.2531.0");
  for (int i = 0; i < files; ++i) {
    log.files.push_back(base::FilePath(
        base::StringPrintf(L"resources\\%03d\\data_%07d.pak", i / 125, i)));
  }
  log.root_files.push_back(base::FilePath(L"kelvo_visual_elements.xml"));
  for (int i = 0; i < 20; ++i) {
    installer::InstallLog::RegistryKey key;
    key.clean_level = 1;
    key.key_path = base::StringPrintf("Software\\Classes\\Kelvo%d", i);
    key.values.push_back({"REG_SZ", "FriendlyTypeName", "Kelvo Web Document"});
    log.hkcu_keys.push_back(key);
  }
  log.desktop_shortcut =
      base::FilePath(L"C:\\Users\\Public\\Desktop\\Kelvo.lnk");
  log.components.push_back({"suite", base::FilePath(L"C:\\Kelvo\\suite")});
  return log;
}

void Report(base::TimeTicks start,
            size_t memory_at_start,
            const base::FilePath& path,
            size_t entries) {
  const double seconds = (base::TimeTicks::Now() - start).InSecondsF();
  int64_t bytes = 0;
  base::GetFileSize(path, &bytes);
  printf("%.3f s, %lld bytes, %zu files, peak %zu bytes above the start\n",
         seconds, static_cast<long long>(bytes), entries,
         PeakPrivateBytes() - memory_at_start);
}

int Run(int argc, wchar_t** argv) {
  const std::wstring operation = argc > 1 ? argv[1] : L"";
  if (operation == L"write" && argc == 4) {
    const installer::InstallLog log = MakeLog(_wtoi(argv[2]));
    const base::FilePath path(argv[3]);
    const size_t memory = PeakPrivateBytes();
    const base::TimeTicks start = base::TimeTicks::Now();
    if (!installer::InstallLogWriter().WriteToFile(log, path))
      return 1;
    Report(start, memory, path, log.files.size());
    return 0;
  }
  if (operation == L"read" && argc == 3) {
    const base::FilePath path(argv[2]);
    const size_t memory = PeakPrivateBytes();
    const base::TimeTicks start = base::TimeTicks::Now();
    installer::InstallLog log;
    installer::InstallLogReader reader;
    if (!reader.Read(&log, path)) {
      fprintf(stderr, "read failed: %s\n", reader.error().c_str());
      return 1;
    }
    Report(start, memory, path, log.files.size());
    return 0;
  }
  fprintf(stderr,
          "usage: install_log_bench.exe write FILES PATH | read PATH\n");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  base::AtExitManager at_exit;
  if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
    return 1;
  const int result = Run(argc, argv);
  ::CoUninitialize();
  return result;
}
