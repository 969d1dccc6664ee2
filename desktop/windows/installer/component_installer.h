// The programs that install, remove and set up the browser's components:
// "NAME_installer.exe" in the component's folder. The installer starts them
// with switches and relies only on their exit code.

#ifndef DESKTOP_WINDOWS_INSTALLER_COMPONENT_INSTALLER_H_
#define DESKTOP_WINDOWS_INSTALLER_COMPONENT_INSTALLER_H_

#include <string>

#include "base/command_line.h"
#include "base/files/file_path.h"
#include "desktop/windows/installer/install_log.h"

namespace installer {

// folder\(|name| + "_installer.exe"); for "suite", when that file is
// missing, the assistant's installer in the same folder.
base::FilePath GetComponentInstallerPath(const base::FilePath& folder,
                                         const std::string& name);

// Whether the installer may run the program of a component record of an
// install log: a plain name and a folder inside |install_folder|. The log
// lies in a folder the user may be able to write, and the program may be
// started elevated. False is logged.
bool IsComponentOfInstallation(const InstallLog::Component& component,
                               const base::FilePath& install_folder);

// Starts the installer of |component| of the installation at
// |install_folder| for a task of its own (its removal, its per-user
// set-up), with the switches of |switches|, without waiting for it. False,
// logged, when the record is refused or the program could not be started.
bool StartComponentInstaller(const InstallLog::Component& component,
                             const base::FilePath& install_folder,
                             const base::CommandLine& switches);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_COMPONENT_INSTALLER_H_
