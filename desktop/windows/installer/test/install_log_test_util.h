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

// A per-user installation of version 45.0.2531.0 at |folder|, in its
// version subfolder, with launcher.exe.
InstallLog MinimalInstallLog(const base::FilePath& folder);
// Writes |log| as the install log of |log.install_path|.
void WriteInstallLog(const InstallLog& log);

// For gtest's messages.
void PrintTo(const InstallLog::Component& component, std::ostream* out);
void PrintTo(const InstallLog::RegistryValue& value, std::ostream* out);
void PrintTo(const InstallLog::RegistryKey& key, std::ostream* out);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_INSTALL_LOG_TEST_UTIL_H_
