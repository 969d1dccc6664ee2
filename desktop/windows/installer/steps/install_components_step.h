// The install step that runs the installers of the components that come
// with the browser package (see component_installer.h).

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_INSTALL_COMPONENTS_STEP_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_INSTALL_COMPONENTS_STEP_H_

#include "desktop/windows/installer/step_result.h"

namespace installer {

class InstallRun;

// Runs the installer of every component that the `components` switch names
// ("name:folder|name:folder", folders below the package's parent) and
// records those that succeed in the install log. Failures are logged only.
StepResult StepInstallComponents(InstallRun* run);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_INSTALL_COMPONENTS_STEP_H_
