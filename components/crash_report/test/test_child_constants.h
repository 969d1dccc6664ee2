// What the crashing test child does, for the tests that read it.

#ifndef COMPONENTS_CRASH_REPORT_TEST_TEST_CHILD_CONSTANTS_H_
#define COMPONENTS_CRASH_REPORT_TEST_TEST_CHILD_CONSTANTS_H_

#include <stdint.h>

namespace crash_report {

// In the first 64 KiB, which Windows never maps: calling it faults there.
constexpr uint64_t kFaultAddress = 0xDEAD;
constexpr uint64_t kTestR12 = 0x1212121212121212;
constexpr uint64_t kTestR13 = 0x1313131313131313;

// Loaded by the child; its version resource says what the tests expect.
constexpr wchar_t kTestModuleName[] = L"crash_report_test_module.dll";
constexpr char kTestModuleVersion[] = "7.6.5.4";

}  // namespace crash_report

#endif  // COMPONENTS_CRASH_REPORT_TEST_TEST_CHILD_CONSTANTS_H_
