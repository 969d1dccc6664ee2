// Reads the streams of a minidump with the file's own directory, rather
// than with dbghelp, which wrote it.

#ifndef COMPONENTS_CRASH_REPORT_TEST_MINIDUMP_STREAMS_H_
#define COMPONENTS_CRASH_REPORT_TEST_MINIDUMP_STREAMS_H_

#include <stdint.h>

#include <map>
#include <string>

namespace crash_report {

// The stream of each type in |dump| by its bytes; empty when |dump| is no
// minidump. A stream that reaches past the end is left out.
std::map<uint32_t, std::string> ReadMinidumpStreams(const std::string& dump);

// Whether |dump| is a minidump that holds everything its directory and its
// memory list point to: false for one cut short.
bool IsWholeMinidump(const std::string& dump);

}  // namespace crash_report

#endif  // COMPONENTS_CRASH_REPORT_TEST_MINIDUMP_STREAMS_H_
