// The steps of an install or upgrade that bring the package's files into
// the install folder and finish the installation: the files of files_list
// into the version subfolder and those of root_files_list into the install
// folder (one file per posted task), the launcher with tracking data and
// pref default overrides, installer_prefs.json, and the finish: the install
// log, the previous default browser, the autoupdate task, the firewall rule,
// the user's profile and the browser's start.
//
// Each step takes the Installer and ends with ScheduleNextStep, or with
// NotifyError on the failures the Installer reports; the last one ends the
// run with OnSuccess.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_INSTALL_STEPS_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_INSTALL_STEPS_H_

#include "base/files/file_path.h"

namespace installer {

class Installer;

// Copy the file |index| of the files list (root files list), then post the
// copy of the next one, until the list is done.
void StepCopyFiles(Installer* installer, int index);
void StepCopyRootFiles(Installer* installer, int index);
void StepInstallLauncher(Installer* installer);
// Writes installer_prefs.json through the transaction: a failed or
// cancelled run leaves the file as it was.
void StepWriteInstallerPrefs(Installer* installer);
void StepFinalizeInstallation(Installer* installer);

// The end of every installation, also of one that an elevated installer
// made: the user's profile is adjusted and the browser started when the
// settings ask for it.
void FinalizeSuccessfulInstallation(Installer* installer);

// Adds (or, with |remove|, removes) the firewall rule of the browser
// executable |application_path|. Failures are logged only.
void UpdateFirewallRules(const base::FilePath& application_path, bool remove);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_INSTALL_STEPS_H_
