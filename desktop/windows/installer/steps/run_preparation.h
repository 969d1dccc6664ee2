// What a run prepares once it may write the install folder and before its
// steps are counted: the install log it will write, the package's file
// lists, the version subfolder, the browser executable moved aside for an
// uninstall, the experiment states of an upgraded installation and the
// bitness of the installed launcher.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_RUN_PREPARATION_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_RUN_PREPARATION_H_

#include "desktop/windows/installer/step_result.h"

namespace installer {

class InstallRun;

// StepResult::Next() when the steps may begin.
StepResult PrepareRun(InstallRun* run);

// Applies the experiment states stored in the installer_prefs.json of the
// install folder to the process's features, and the command line's
// switches over them: a run that rewrites the file keeps the states the
// installation was made with unless a switch changes one.
void ReadExperimentsOfInstallation(InstallRun* run);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_RUN_PREPARATION_H_
