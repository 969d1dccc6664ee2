// What a crash file says besides the crashed process's state: the build in
// its header and the metadata lines, made from a client's crash keys, from
// the crashed process's memory counters, or for a crashed crash reporter.

#ifndef DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_METADATA_H_
#define DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_METADATA_H_

#include <stdint.h>

#include <string>

#include "components/crash_handler/crash_handler_types.h"

namespace crash_report {
struct CrashInfo;
}  // namespace crash_report

namespace crash_reporter {

// The client's keys: Version and build_number into the header; every other
// key with a value as a metadata line in entry order, then the keys spread
// over ranges (testrig_test, the extension lists, third_party_installs,
// ab_tests) rejoined, then the system's version and processor. Names that
// are not plain words (or lack their terminator) are left out, as are the
// keys that go elsewhere (ptime, URL, crash_guid and modules); control
// characters of a value become '?', so that no value can forge lines of its
// own. Then the header's gaps are filled.
void FillCrashInfoFromCrashKeys(const crash_handler::CustomClientInfo& keys,
                                crash_report::CrashInfo* info);

// The crashed process's memory counters, in bytes.
void AddProcessMemoryMetadata(uint64_t working_set_size,
                              uint64_t peak_working_set_size,
                              uint64_t private_usage,
                              crash_report::CrashInfo* info);

// A crash of a crash reporter: its one metadata line and this build's
// header.
void SetCrashReporterProcessType(crash_report::CrashInfo* info);

// This build's version, build number and product suffix where |info| has
// none.
void FillCrashInfoHeader(crash_report::CrashInfo* info);

// The text of every minidump's version stream: "<version> <build number>".
std::string GetMinidumpVersionText();

}  // namespace crash_reporter

#endif  // DESKTOP_WINDOWS_CRASH_REPORTER_CRASH_METADATA_H_
