// The text crash log: a readable report of a crashed process, written for
// every crash the reporter handles. It names the build and the exception,
// lists the metadata, every thread (the crashed one first) with its
// registers and a dump of its stack, the modules, and hex dumps of the
// memory that registers and stack words point to, within a budget.
//
//   AddressRangeList ranges;
//   if (!WriteTextCrashLog(&ranges, state, info, path))
//     return false;  // Nothing is left at |path|.
//   ZipCrashLog(path, zip_path);

#ifndef COMPONENTS_CRASH_REPORT_TEXT_CRASH_LOG_H_
#define COMPONENTS_CRASH_REPORT_TEXT_CRASH_LOG_H_

#include <stdint.h>

#include "base/files/file_path.h"

namespace crash_report {

class AddressRangeList;
class ProcessState;
struct CrashInfo;

// Bytes of memory the dumps of all threads but the crashed one may cover,
// and what one of them may add.
constexpr uint64_t kMemoryDumpBudget = 614400;
constexpr uint64_t kMaxThreadDumpBudget = 61440;
// Threads after this many (the crashed one counted) are left out.
constexpr int kMaxLoggedThreads = 499;

// Writes the log of |state| to |path| in text mode (CR LF line ends),
// collecting the dumped memory in |ranges| (cleared first). False, with no
// file left, when the file cannot be written or the process's memory
// cannot be read at all.
bool WriteTextCrashLog(AddressRangeList* ranges,
                       const ProcessState& state,
                       const CrashInfo& info,
                       const base::FilePath& path);

// Zips the text log at |source| into |zip_path| as its one entry
// "crashlog.txt"; false, with no zip left, when that fails or the log is
// empty.
bool ZipCrashLog(const base::FilePath& source, const base::FilePath& zip_path);

}  // namespace crash_report

#endif  // COMPONENTS_CRASH_REPORT_TEXT_CRASH_LOG_H_
