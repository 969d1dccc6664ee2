// An unpacked browser package for end-to-end installs: the built
// installer.exe and installer.dll, stand-ins for kelvo.exe and
// launcher.exe, a few data files and files_list; and the clean-up of what
// an installation of it registered.

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_SAMPLE_PACKAGE_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_SAMPLE_PACKAGE_H_

#include <string>
#include <vector>

#include "base/files/file_path.h"

namespace installer {
namespace test {

// Fills the existing folder |package|; returns the entries of files_list.
// Fails the test when a file cannot be made.
std::vector<std::string> MakeSamplePackage(const base::FilePath& package);

// Removes the current user's registry keys and values that the install log
// at |install_log_path| records, as the uninstall would. Nothing without a
// readable log.
void RemoveRegisteredKeys(const base::FilePath& install_log_path);

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_SAMPLE_PACKAGE_H_
