// Writes the crash files of a crashed test child for the check that
// independent readers accept them (check_crash_files.py):
//
//   crash_report_tool.exe FOLDER THREADS
//
// crashes crash_report_test_child.exe with THREADS extra threads and writes
// crash.txt (the text log), crash.zip (its zip) and crash.dmp (a minidump)
// into FOLDER, then prints "pid=<n> tid=<n>" (decimal). Exits with 1 when
// anything fails.

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include "base/files/file_path.h"
#include "components/crash_report/address_range_list.h"
#include "components/crash_report/crash_info.h"
#include "components/crash_report/minidump_writer.h"
#include "components/crash_report/process_state_impl.h"
#include "components/crash_report/test/crashed_child.h"
#include "components/crash_report/text_crash_log.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 3)
    return 2;
  const base::FilePath folder(argv[1]);
  crash_report::CrashedChild child;
  if (!child.Start(_wtoi(argv[2])))
    return 1;
  crash_report::ProcessStateImpl state;
  crash_report::AddressRangeList ranges;
  crash_report::CrashInfo info;
  info.version = "45.0.2531.0";
  info.build_number = "816662";
  info.metadata = {{"process_type", "installer"}};
  bool written = state.Init(child.pid(), child.exception_pointers_address(),
                            child.thread_id_address(), {}) &&
                 crash_report::WriteTextCrashLog(
                     &ranges, state, info, folder.AppendASCII("crash.txt")) &&
                 crash_report::ZipCrashLog(folder.AppendASCII("crash.txt"),
                                           folder.AppendASCII("crash.zip")) &&
                 crash_report::WriteMinidumpForProcess(
                     child.pid(), child.record_address(), "45.0.2531.0 816662",
                     folder.AppendASCII("crash.dmp"), 3072000);
  printf("pid=%u tid=%u\n", child.pid(), child.crashed_thread_id());
  return written ? 0 : 1;
}
