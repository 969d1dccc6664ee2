// The versions an upgrade leaves behind. An upgrade installs into a new
// version subfolder and keeps the old one's files (the old browser may
// still run); the old install log is preserved in the install folder's
// "old_status" folder, and the files of every version preserved there are
// removed by the next upgrade and by the uninstall.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_OLD_VERSION_STEPS_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_OLD_VERSION_STEPS_H_

#include "base/files/file_path.h"
#include "base/time/time.h"
#include "desktop/windows/installer/step_result.h"

namespace installer {

class InstallRun;

extern const wchar_t kOldStatusFolderName[];

// Where the previous install log goes when preserved at |now| in
// |old_status_folder|: "installation_status.xml." and the time in whole
// seconds since 1970 (UTC), followed by "." and a counter from 1 when that
// name is taken, so that no preserved log ever replaces another.
base::FilePath GetPreservedStatusPath(const base::FilePath& old_status_folder,
                                      base::Time now);

// Deletes the shortcuts of the former product's message center from the
// user's Start menu.
void RemoveMessageCenterShortcuts();

// Steps. Removes the files of every preserved version, each version in a
// transaction of its own that is final at once: during an upgrade a version
// with a file in use is restored whole and kept for the next time, during
// an uninstall whatever can go goes.
StepResult StepRemoveInstalledFiles(InstallRun* run);
// Removes the old installation's root files before the new ones come.
StepResult StepRemoveOldRootFiles(InstallRun* run);
// Moves the old installation's install log into "old_status".
StepResult StepPreservePreviousStatus(InstallRun* run);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_OLD_VERSION_STEPS_H_
