// Sends the files that a reporter wrote about a crashed reporter, once it
// has released the crashed one: a second reporter sends the text log
// zipped and the minidump gzip-encoded, a third its V1 crash file and dump
// as they are. A crash that reached the servers starts the three days in
// which no further crashed reporter is reported.

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_CRASHED_REPORTER_REPORT_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_CRASHED_REPORTER_REPORT_H_

#include <windows.h>

#include "base/files/file_path.h"

namespace crash_reporter {

// A path is empty when that file was not written.
struct CrashedReporterFiles {
  // The text log, or the V1 crash file of a third reporter.
  base::FilePath text_file;
  base::FilePath minidump;
};

// |crashed_pid| is the crashed reporter, which waits until it is released
// here; |third_reporter| tells whether this reporter was started by a
// crashed second one. The files are deleted once sent.
void SendCrashedReporterReport(DWORD crashed_pid,
                               bool third_reporter,
                               const CrashedReporterFiles& files);

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_CRASHED_REPORTER_REPORT_H_
