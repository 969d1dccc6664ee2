// The installer library's entry.

#ifndef DESKTOP_WINDOWS_INSTALLER_ROLES_INSTALLER_MAIN_H_
#define DESKTOP_WINDOWS_INSTALLER_ROLES_INSTALLER_MAIN_H_

#include "base/files/file_path.h"

namespace base {
class CommandLine;
}  // namespace base

// Plays the one role that the process command line asks for and returns
// whether the requested work is done. Called once per process, on the host's
// main thread, which has no message loop yet.
extern "C" bool RunInstaller();

namespace installer {

// The last positional argument when it is an absolute path; otherwise an
// empty path. An old autoupdater passes the install folder so.
base::FilePath RecoverInstallFolderFromCommandLine(
    const base::CommandLine& command_line);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_ROLES_INSTALLER_MAIN_H_
