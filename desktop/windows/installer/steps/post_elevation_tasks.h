// Two short flows of the installer that install no files. After an
// elevated copy of the installer made an installation, the user's own
// (non-elevated) installer does what only the user's account can: register
// the browser for the user, let the components do their per-user work,
// adjust the profile and start the browser. And an existing installation
// can be registered as the handler of one more URL protocol.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_POST_ELEVATION_TASKS_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_POST_ELEVATION_TASKS_H_

#include "desktop/windows/installer/step_result.h"

namespace installer {

class InstallRun;

// The per-user work after an elevated run of the settings' operation; an
// uninstall only starts the components' tasks. Every part is best effort.
void RunPostElevationTasks(InstallRun* run);

// Step: registers the installation as handler of the protocol that the
// switch "register-kelvo-as-protocol-handler" names, when its install log
// recorded the machine-wide URL associations of the browser.
StepResult StepRegisterAsProtocolHandler(InstallRun* run);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_POST_ELEVATION_TASKS_H_
