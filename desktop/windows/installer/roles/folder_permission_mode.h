// The folder-permission mode: an elevated installer process that opens up a
// folder which the unelevated installer cannot write.
//
// The granting variant gives the account of `permissions-for-user` full
// access to the `set-folder-permission` folder (created when missing), sets
// the "GiveInstallPermission" event and, unless the grant is permanent,
// takes the access away again once the installer sets the "Undo" event or
// the installer process it serves ends. The waiting variant (with
// `wait-for-package`) first waits until the downloaded package is ready and
// then lets the package's own installer.exe do the grant.
//
// The unelevated installer creates every event; this mode only opens them.
// Every failure ends the mode without a grant, logged; the installer then
// sees the elevated process end without the grant event.
//
//   if (command_line.HasSwitch(switches::kSetFolderPermission)) {
//     RunFolderPermissionMode(command_line);
//     if (command_line.HasSwitch(switches::kRunUninstallBat))
//       RunUninstallBatch(current_installation_folder);
//   }

#ifndef DESKTOP_WINDOWS_INSTALLER_ROLES_FOLDER_PERMISSION_MODE_H_
#define DESKTOP_WINDOWS_INSTALLER_ROLES_FOLDER_PERMISSION_MODE_H_

#include "base/time/time.h"

namespace base {
class CommandLine;
}  // namespace base

namespace installer {

// How long a temporary grant outlives the installer's undo event: time for
// the installer's last file work in the folder to end.
inline constexpr base::TimeDelta kFolderPermissionUndoDelay =
    base::TimeDelta::FromSeconds(10);

// Runs the mode that |command_line|, the process's, asks for. Blocks until
// the mode is over: for a temporary grant, until it has been undone.
void RunFolderPermissionMode(const base::CommandLine& command_line);
// As above, with the pause after the undo event given (tests shorten it).
void RunFolderPermissionMode(const base::CommandLine& command_line,
                             base::TimeDelta undo_delay);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_ROLES_FOLDER_PERMISSION_MODE_H_
