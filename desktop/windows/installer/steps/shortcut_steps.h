// The browser's shortcuts (desktop, Start menu, Quick Launch) and its
// taskbar pin. One master shortcut is made beside the running installer,
// pinned when asked, and copied into each wanted folder by copy operations
// of the installer's transaction, so that a failed run removes the copies
// (the master stays for the front end to delete). No shortcut or pin
// failure stops a run: each is logged and the step goes on.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_SHORTCUT_STEPS_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_SHORTCUT_STEPS_H_

#include <string>
#include <vector>

#include "base/files/file_path.h"
#include "desktop/windows/installer/install_log.h"
#include "desktop/windows/installer/shortcut_file_name.h"
#include "desktop/windows/installer/step_result.h"

namespace installer {

class InstallRun;

// The pin programs of the package, for 64-bit and 32-bit Windows, and the
// name under which one runs: it pins only as "explorer.exe".
extern const wchar_t kPinProgram64Name[];
extern const wchar_t kPinProgram32Name[];
extern const wchar_t kPinProgramRunName[];

// A folder to receive a copy of the master shortcut, and the install log
// field that records the copy's path.
struct ShortcutDestination {
  base::FilePath folder;
  base::FilePath InstallLog::*record;
};

// Makes the master shortcut to |target| beside the running installer, pins
// it when |pin|, and copies it into every destination. A file of the plain
// name in any destination folder turns |*use_version| on (it is never
// turned off). False when the master shortcut could not be made; nothing
// else is done then.
bool CreateMasterShortcut(InstallRun* run,
                          const std::vector<ShortcutDestination>& destinations,
                          bool pin,
                          bool* use_version,
                          const base::FilePath& target);

// Pins |shortcut| through the pin program of |installer_folder|, run as
// explorer.exe there and removed again. True when it answered 0.
bool RunInstallerHelper(const base::FilePath& installer_folder,
                        const base::FilePath& shortcut);

// Unpins each shortcut and deletes its file in the installer's transaction.
void UnpinShortcut(InstallRun* run,
                   const std::vector<base::FilePath>& shortcuts);

// Steps: an install's new shortcuts; an upgrade's keeping, renaming,
// recreating, adding and removing of the old installation's shortcuts; an
// uninstall's removal.
StepResult StepInstallShortcuts(InstallRun* run);
StepResult StepUpdateShortcuts(InstallRun* run);
StepResult StepRemoveShortcuts(InstallRun* run);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_SHORTCUT_STEPS_H_
