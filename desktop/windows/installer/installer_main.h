// The installer library's entry, and the small process-wide facilities that
// the entry owns: the launch lock, the installer's temporary folder and the
// log file of a run.

#ifndef DESKTOP_WINDOWS_INSTALLER_INSTALLER_MAIN_H_
#define DESKTOP_WINDOWS_INSTALLER_INSTALLER_MAIN_H_

#include <string>

#include "base/files/file_path.h"

namespace base {
class CommandLine;
class Lock;
}  // namespace base

// Plays the one role that the process command line asks for and returns
// whether the requested work is done. Called once per process, on the host's
// main thread, which has no message loop yet.
extern "C" bool RunInstaller();

namespace installer {

// Held while handles meant for one child process are made inheritable and
// the child is started, so that no other child inherits them.
base::Lock& GetProcessLaunchLock();

// Finds, and creates when missing, the folder |folder_name| under the first
// usable base folder (temporary folder, Downloads, home, own folder). With a
// |probe_exe|, a base is usable only when a copy of the probe can be started
// from the candidate folder. False when no base works.
bool FindUsableTempDir(const std::wstring& folder_name,
                       const base::FilePath& probe_exe,
                       base::FilePath* folder);

// "<product name> Installer".
std::wstring GetInstallerTempFolderName();

// The log file of this run: "<product>_installer_YYYYMMDDhhmmss.log" in the
// installer's folder under the temporary folder, or in the current folder
// when that folder cannot be made.
base::FilePath GetLogFilePath();

// The last positional argument when it is an absolute path; otherwise an
// empty path. An old autoupdater passes the install folder so.
base::FilePath RecoverInstallFolderFromCommandLine(
    const base::CommandLine& command_line);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_INSTALLER_MAIN_H_
