// Comparing install logs in tests.
//
//   EXPECT_TRUE(InstallLogsEqual(expected, actual));

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_INSTALL_LOG_TEST_UTIL_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_INSTALL_LOG_TEST_UTIL_H_

#include <ostream>

#include "desktop/windows/installer/install_log.h"
#include "gtest/gtest.h"

namespace installer {

// Succeeds when every field is equal; the failure names each field that
// differs with both values.
::testing::AssertionResult InstallLogsEqual(const InstallLog& expected,
                                            const InstallLog& actual);

// For gtest's messages.
void PrintTo(const InstallLog::Component& component, std::ostream* out);
void PrintTo(const InstallLog::RegistryValue& value, std::ostream* out);
void PrintTo(const InstallLog::RegistryKey& key, std::ostream* out);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_INSTALL_LOG_TEST_UTIL_H_
