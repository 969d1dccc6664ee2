// The component installers that come with the browser package (a program
// "<name>_installer.exe" per component, in the component's folder) and the
// install step that runs them.

#ifndef DESKTOP_WINDOWS_INSTALLER_COMPONENT_INSTALLERS_H_
#define DESKTOP_WINDOWS_INSTALLER_COMPONENT_INSTALLERS_H_

#include <string>

#include "base/files/file_path.h"

namespace installer {

class Installer;

// The installer of component |name| in |folder|. The "suite" component's
// installer may carry the name of its predecessor, "assistant"; that one is
// taken when the suite's own is missing. The path may not exist.
base::FilePath FindComponentInstaller(const base::FilePath& folder,
                                      const std::string& name);

// Runs the installer of every component that the `components` switch names
// ("name:folder|name:folder", folders below the package's parent) and
// records those that succeed in the install log. Failures are logged only.
void StepInstallComponents(Installer* installer);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_COMPONENT_INSTALLERS_H_
