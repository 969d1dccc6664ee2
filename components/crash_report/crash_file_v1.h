// The V1 crash file: a short text header naming the build and the
// exception, one metadata line, then a whole minidump, in one file. A
// reporter that reports a crashed reporter writes it when it was itself
// started by a crashed reporter, the last link of that chain.

#ifndef COMPONENTS_CRASH_REPORT_CRASH_FILE_V1_H_
#define COMPONENTS_CRASH_REPORT_CRASH_FILE_V1_H_

#include <stdint.h>
#include <stdio.h>

#include <string_view>

#include "base/files/file_path.h"

namespace crash_report {

struct CrashInfo;

// Writes the V1 file of process |pid|, whose CrashReporterExceptionInfo is
// at |record_address|, to |path|: the header from |info|, then a minidump
// of at most |max_dump_size| bytes carrying |version_text|. False, with no
// file left, when any part fails; an exception record that cannot be read
// only shows as code and address 0.
bool WriteCrashFileForProcess(uint32_t pid,
                              uint64_t record_address,
                              const CrashInfo& info,
                              std::string_view version_text,
                              const base::FilePath& path,
                              uint64_t max_dump_size);

// Writes the file's parts to |file|, opened in binary mode. |executable|
// is the crashed process's file name.
bool WriteCrashFileV1(FILE* file,
                      const CrashInfo& info,
                      std::wstring_view executable,
                      uint32_t exception_code,
                      uint64_t exception_address,
                      const uint8_t* dump,
                      size_t dump_size);

}  // namespace crash_report

#endif  // COMPONENTS_CRASH_REPORT_CRASH_FILE_V1_H_
