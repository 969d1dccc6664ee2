// The steps of each operation of the engine, in order, and the progress a
// run through them reports.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_STEP_TABLE_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_STEP_TABLE_H_

#include <vector>

#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/steps/install_step.h"

namespace installer {

class InstallRun;

// The steps of |operation|; empty when this build cannot perform it.
std::vector<InstallStep> GetOperationSteps(SettingsOperation operation);

// The OnStep calls that a run of |run| through |steps| makes: one per call
// of each step, and one more before the outcome.
int CountProgressSteps(const std::vector<InstallStep>& steps,
                       const InstallRun& run);

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_STEP_TABLE_H_
