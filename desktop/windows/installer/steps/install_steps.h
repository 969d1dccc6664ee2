// The steps of an install or upgrade that bring the package's files into
// the install folder and finish the installation: the files of files_list
// into the version subfolder and those of root_files_list into the install
// folder (one file per call), the launcher with tracking data and
// pref default overrides, installer_prefs.json, and the finish: the install
// log, the previous default browser, the autoupdate task, the firewall rule,
// the user's profile and the browser's start.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_INSTALL_STEPS_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_INSTALL_STEPS_H_

#include <stddef.h>

#include "base/files/file_path.h"
#include "desktop/windows/installer/step_result.h"

namespace installer {

class InstallRun;

// Copy the entry |index| of the files list (root files list); the engine
// calls them once per entry. An empty root files list is skipped.
StepResult StepCopyFile(InstallRun* run, size_t index);
StepResult StepCopyRootFile(InstallRun* run, size_t index);
StepResult StepInstallLauncher(InstallRun* run);
// Writes installer_prefs.json through the transaction: a failed or
// cancelled run leaves the file as it was.
StepResult StepWriteInstallerPrefs(InstallRun* run);
StepResult StepFinalizeInstallation(InstallRun* run);

// The end of every installation, also of one that an elevated installer
// made: the user's profile is adjusted and the browser started when the
// settings ask for it.
void FinalizeSuccessfulInstallation(InstallRun* run);

// Adds (or, with |remove|, removes) the firewall rule of the browser
// executable |application_path|. Failures are logged only.
void UpdateFirewallRules(const base::FilePath& application_path, bool remove);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_INSTALL_STEPS_H_
