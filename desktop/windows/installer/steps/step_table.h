// The step list of each operation of the Installer, and the other work of
// the steps that Installer::Run starts directly.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_STEP_TABLE_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_STEP_TABLE_H_

#include <stddef.h>

#include <vector>

#include "base/callback.h"
#include "desktop/windows/installer/settings.h"

namespace installer {

class Installer;

// The steps of |operation|, each bound to |installer|, in order; the last
// one ends the run. Empty when this build cannot perform the operation.
std::vector<base::OnceClosure> BuildStepList(Installer* installer,
                                             SettingsOperation operation);

// The OnStep calls that a run of |operation| makes with a list of
// |step_count| steps and the package's file lists: each copied file is one
// (a copy step stands for its whole list, at least one), and one more comes
// before the outcome.
int CountTotalSteps(SettingsOperation operation,
                    size_t step_count,
                    size_t file_count,
                    size_t root_file_count);

// The per-user work that follows an installation made by an elevated
// installer. False, logged, when this build cannot do it.
bool RunPostElevationTasksOfRun(Installer* installer);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_STEP_TABLE_H_
