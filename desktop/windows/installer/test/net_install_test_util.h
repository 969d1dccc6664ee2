// What the tests of net installs share: installers carrying a payload,
// packages packed as the update server hands them out, and a look at what
// got unpacked.

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_NET_INSTALL_TEST_UTIL_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_NET_INSTALL_TEST_UTIL_H_

#include <map>
#include <string>

#include "base/files/file_path.h"

namespace installer {
namespace test {

// Copies |exe| to |target| with |payload| appended as the installer's
// payload ("KVX", the payload, its length as 32-bit little-endian). False
// when a file could not be written.
bool CopyWithPayload(const base::FilePath& exe,
                     const std::string& payload,
                     const base::FilePath& target);

// A 7z archive (stored, one block) of every file and folder below |root|.
std::string MakeArchiveOfTree(const base::FilePath& root);

// The files below |root| by relative path, with their bytes.
std::map<std::wstring, std::string> ReadFileTree(const base::FilePath& root);

// The loopback test server's script that answers with the file at |path|.
std::string FileBodySteps(const base::FilePath& path);

// The update server's reply to the download-address request: |installer|
// is the package's address, |checksum| its SHA-256, and |extra| further
// members of the JSON object (such as "\"url_welcome\": \"...\""; may be
// empty).
std::string DownloadAddressReply(const std::string& installer,
                                 const std::string& checksum,
                                 const std::string& extra);

// The SHA-256 of the file at |path|, lower-case hex; empty when unreadable.
std::string FileChecksum(const base::FilePath& path);

// Fails the test when |download_folder| holds more than the installer's
// logs: nothing a fetch downloaded or unpacked may stay once the run ends.
void ExpectOnlyLogsIn(const base::FilePath& download_folder);

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_NET_INSTALL_TEST_UTIL_H_
