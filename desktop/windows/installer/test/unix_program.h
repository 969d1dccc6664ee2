// Wine's Unix side, which stands in for what another program of the user
// makes on Windows with a junction, a symbolic link or a hard link: Wine
// keeps each as a Unix symbolic link, which Windows programs cannot make
// there. Under Windows none of this is available.
//
//   if (!test::HasUnixSide()) GTEST_SKIP();
//   ASSERT_TRUE(test::MakeUnixLink(link, target));

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_UNIX_PROGRAM_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_UNIX_PROGRAM_H_

#include <string>
#include <vector>

#include "base/files/file_path.h"

namespace installer {
namespace test {

// Whether Unix programs can be run (under Wine).
bool HasUnixSide();

// Starts the Unix program |argv[0]| (looked up in PATH) with the other
// arguments; with |wait| it waits for the program to end. False when it
// could not be started.
bool RunUnixProgram(const std::vector<std::string>& argv, bool wait);

// Makes |link| a Unix symbolic link to |target|; false when it is not there
// afterwards.
bool MakeUnixLink(const base::FilePath& link, const base::FilePath& target);

// |path| on the Unix side, in UTF-8; empty when Wine cannot tell.
std::string UnixName(const base::FilePath& path);

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_UNIX_PROGRAM_H_
