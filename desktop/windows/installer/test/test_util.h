// Small helpers that many installer tests share.

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_TEST_UTIL_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_TEST_UTIL_H_

#include <windows.h>

#include <string>

#include "base/files/file_path.h"
#include "base/win/scoped_handle.h"

namespace installer {
namespace test {

// Writes |text| to |path|, creating its folder first; fails the test when it
// cannot.
void WriteTextFile(const base::FilePath& path, const std::string& text);

// The content of |path|, or "<missing>" when it cannot be read.
std::string ReadTextFile(const base::FilePath& path);

// The SID of the account the test runs as, in its string form.
std::wstring CurrentUserSid();

// The auto-reset event |name| made with the DACL |dacl_sddl| ("D:..."),
// which Wine, unlike Windows, does not give a new object by itself. With
// |full| the DACL is filled up with entries until it has no room for
// another. Invalid (and the test failed) when the event cannot be made or
// existed before.
base::win::ScopedHandle CreateEventWithDacl(const std::wstring& name,
                                            const std::wstring& dacl_sddl,
                                            bool full = false);

// The DACL of the kernel object |object| as SDDL ("D:NO_ACCESS_CONTROL" for
// a null one), read through |object|; empty when it cannot be read.
std::wstring GetObjectDacl(HANDLE object);

// The Unix name of |path| under Wine (what a Linux program, such as the
// loopback test server, opens); empty elsewhere.
std::wstring UnixPath(const base::FilePath& path);

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_TEST_UTIL_H_
