// Wine's Unix side, where a Unix symbolic link stands in for a junction or a
// link that another program of the user makes on Windows (Windows programs
// cannot make one under Wine). None of this exists on Windows.

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_UNIX_PROGRAM_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_UNIX_PROGRAM_H_

#include <string>
#include <vector>

#include "base/files/file_path.h"

namespace installer {
namespace test {

// Starts the Unix program |argv[0]|, found in PATH, and with |wait| waits
// for it; false when it cannot be started (not under Wine).
bool RunUnixProgram(const std::vector<std::string>& argv, bool wait);

// |path| on the Unix side in UTF-8; empty when not under Wine.
std::string UnixName(const base::FilePath& path);

// Makes |link| a Unix symbolic link to |target|; false when none is there.
bool MakeUnixLink(const base::FilePath& link, const base::FilePath& target);

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_UNIX_PROGRAM_H_
