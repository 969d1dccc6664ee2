// Small helpers that many installer tests share.

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_TEST_UTIL_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_TEST_UTIL_H_

#include <string>

#include "base/files/file_path.h"

namespace installer {
namespace test {

// Writes |text| to |path|, creating its folder first; fails the test when it
// cannot.
void WriteTextFile(const base::FilePath& path, const std::string& text);

// The content of |path|, or "<missing>" when it cannot be read.
std::string ReadTextFile(const base::FilePath& path);

// The SID of the account the test runs as, in its string form.
std::wstring CurrentUserSid();

// The Unix name of |path| under Wine (what a Linux program, such as the
// loopback test server, opens); empty elsewhere.
std::wstring UnixPath(const base::FilePath& path);

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_TEST_UTIL_H_
