// Where the crash reporter puts what it writes: the crash directory, the
// per-process numbering and names of crash files, the crash-id record, and
// the paths of the crash counter file and of the reporter's prefs file.
//
// The three paths come from the path service. The keys that the browser's
// own path provider answers are answered here the same way, below the
// browser's user-data folder of this build's channel, which the switch
// "user-data-dir" replaces.

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_FILES_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_FILES_H_

#include <stdint.h>

#include <string>

#include "base/files/file_path.h"

namespace base {
class CommandLine;
}  // namespace base

namespace crash_reporter {

// Path keys shared with the browser.
enum CrashPathKey {
  DIR_USER_DATA = 1002,
  FILE_CRASH_COUNTERS = 2015,
  FILE_CRASH_ID_RECORD = 2016,
  FILE_CRASH_REPORTER_PREFS = 2017,
};

// The files below the user-data folder.
extern const wchar_t kCrashCountersFileName[];
extern const wchar_t kCrashIdRecordFileName[];
extern const wchar_t kCrashReporterPrefsFileName[];

// The crash directory's environment variable.
extern const char kCrashLogDirEnvVar[];

// The largest minidump of a crashed client, and of a crashed reporter, that
// is written and sent.
constexpr uint64_t kMaxClientMinidumpSize = 3072000;
constexpr uint64_t kMaxCrashReporterMinidumpSize = 512000;

// The limit a reporter applies to a crashed reporter's minidump, alone or as
// the dump part of a V1 crash file: kMaxCrashReporterMinidumpSize unless a
// test raised it. Under Wine every reporter's dump is larger, and the tests
// must still see those files written and sent.
uint64_t GetMaxCrashReporterMinidumpSize();
void SetMaxCrashReporterMinidumpSizeForTesting(uint64_t max_size);

// Sets up everything below, once per reporter, before any report: false
// only when no crash directory can be found at all.
bool InitCrashLogDirectories(const base::CommandLine& command_line);

const base::FilePath& GetCrashLogDir();
const base::FilePath& GetCrashCounterFilePath();
const base::FilePath& GetCrashReporterPrefsPath();
// Whether the crash directory came from KELVO_CRASH_LOG_DIR.
bool IsCrashLogDirOverridden();

// 1 on the first call in a process, then 2, 3, ...; from any thread.
uint32_t NextCrashFileNumber();

// "kelvo-crashlog-<pid>-<n><extension>", with this process's id.
std::string FormatCrashFileName(uint32_t n, const char* extension);
std::string GetCrashLogTextFileName(uint32_t n);
std::string GetCrashDumpFileName(uint32_t n);
// The text log's name with ".zip" in place of ".txt".
std::string GetCrashLogZipFileName(uint32_t n);

// The crash-id record of report |n|: with an overridden crash directory a
// record of its own in that directory ("<base>-<pid>-<n><ext>"); empty when
// there is no record base, in which case no record is written.
base::FilePath GetCrashIdRecordPath(uint32_t n);

// Takes the next number whose files do not exist yet in |folder| and
// creates its empty text log there, so that no earlier reporter's kept
// files (of a process that had the same id) are overwritten. 0 when no file
// can be created.
uint32_t ClaimCrashFileNumber(const base::FilePath& folder);

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_FILES_H_
