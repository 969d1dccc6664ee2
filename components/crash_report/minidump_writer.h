// Minidumps of a crashed process, written from outside with dbghelp's
// MiniDumpWriteDump (loaded when needed). Every dump carries the product's
// version stream, and the assertion record when the crash was an invalid
// parameter. A dump that comes out larger than its limit is written again
// with less memory; one that still does not fit is not kept.
//
//   if (!WriteMinidumpForProcess(pid, record_address, version_text,
//                                dump_path, 512000))
//     ...;  // No file is left at |dump_path|.

#ifndef COMPONENTS_CRASH_REPORT_MINIDUMP_WRITER_H_
#define COMPONENTS_CRASH_REPORT_MINIDUMP_WRITER_H_

#include <windows.h>

#include <stdint.h>

#include <string_view>

#include "base/files/file_path.h"

namespace crash_report {

struct CrashReporterExceptionInfo;

// Minidump streams of our own.
constexpr uint32_t kVersionStreamType = 0x10000;
constexpr uint32_t kAssertionStreamType = 0x10001;

// |version_text| is the product's version, a space and the build number.
// The exception pointers of |record| are addresses in the crashed process.
// Writes to the start of the empty, open |file|; true when a dump of at
// most |max_size| bytes is in it.
bool WriteMinidumpWithFallback(HANDLE process,
                               uint32_t pid,
                               const CrashReporterExceptionInfo& record,
                               std::string_view version_text,
                               HANDLE file,
                               uint64_t max_size);

// The same into a new file at |path|, which is deleted on failure.
bool WriteMinidumpToFile(HANDLE process,
                         uint32_t pid,
                         const CrashReporterExceptionInfo& record,
                         std::string_view version_text,
                         const base::FilePath& path,
                         uint64_t max_size);

// A dump of |pid| from the addresses, in that process, of the crashed
// thread's id, of the variable holding its EXCEPTION_POINTERS* and of its
// assertion record (0: none).
bool WriteMinidumpFromParts(uint32_t pid,
                            uint64_t thread_id_address,
                            uint64_t exception_pointers_address,
                            uint64_t assertion_address,
                            std::string_view version_text,
                            const base::FilePath& path,
                            uint64_t max_size);

// A dump of |pid| from its CrashReporterExceptionInfo at |record_address|.
bool WriteMinidumpForProcess(uint32_t pid,
                             uint64_t record_address,
                             std::string_view version_text,
                             const base::FilePath& path,
                             uint64_t max_size);

// Reads |pid|'s CrashReporterExceptionInfo at |address|; false unless it
// was read whole. |process| needs PROCESS_VM_READ.
bool ReadCrashReporterExceptionInfo(HANDLE process,
                                    uint64_t address,
                                    CrashReporterExceptionInfo* record);

}  // namespace crash_report

#endif  // COMPONENTS_CRASH_REPORT_MINIDUMP_WRITER_H_
