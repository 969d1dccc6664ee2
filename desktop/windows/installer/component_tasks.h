// Starting the installer of an installed component for a task of its own
// (its removal, its per-user set-up) without waiting for it. The component
// records come from an install log, which lies in a folder the user may be
// able to write while the installer may run elevated: a record is used only
// when its folder lies inside the installation.

#ifndef DESKTOP_WINDOWS_INSTALLER_COMPONENT_TASKS_H_
#define DESKTOP_WINDOWS_INSTALLER_COMPONENT_TASKS_H_

#include "base/command_line.h"
#include "base/files/file_path.h"
#include "desktop/windows/installer/install_log.h"

namespace installer {

// Whether |component| has a plain name and a folder inside
// |install_folder|; false is logged.
bool IsComponentOfInstallation(const InstallLog::Component& component,
                               const base::FilePath& install_folder);

// Starts the installer of |component| (see FindComponentInstaller) with
// the switches of |switches|. False, logged, when the record is refused or
// the program could not be started.
bool StartComponentInstaller(const InstallLog::Component& component,
                             const base::FilePath& install_folder,
                             const base::CommandLine& switches);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_COMPONENT_TASKS_H_
