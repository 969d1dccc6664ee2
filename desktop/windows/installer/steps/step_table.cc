#include "desktop/windows/installer/steps/step_table.h"

#include <algorithm>

#include "base/bind.h"
#include "base/logging.h"
#include "desktop/windows/installer/steps/install_components_step.h"
#include "desktop/windows/installer/steps/install_steps.h"
#include "desktop/windows/installer/engine/installer.h"
#include "desktop/windows/installer/steps/old_version_steps.h"
#include "desktop/windows/installer/steps/post_elevation_tasks.h"
#include "desktop/windows/installer/steps/registry_steps.h"
#include "desktop/windows/installer/steps/shortcut_steps.h"
#include "desktop/windows/installer/steps/uninstall_steps.h"

namespace installer {

namespace {

base::OnceClosure Bind(void (*step)(Installer*), Installer* installer) {
  return base::BindOnce(step, base::Unretained(installer));
}

// The copy steps start at the first entry of their list.
base::OnceClosure BindCopy(void (*step)(Installer*, int),
                           Installer* installer) {
  return base::BindOnce(step, base::Unretained(installer), 0);
}

}  // namespace

std::vector<base::OnceClosure> BuildStepList(Installer* installer,
                                             SettingsOperation operation) {
  std::vector<base::OnceClosure> steps;
  switch (operation) {
    case OPERATION_INSTALLING:
      steps.push_back(BindCopy(&StepCopyFiles, installer));
      steps.push_back(BindCopy(&StepCopyRootFiles, installer));
      steps.push_back(Bind(&StepInstallLauncher, installer));
      steps.push_back(Bind(&StepSetupRegistry, installer));
      steps.push_back(Bind(&StepInstallShortcuts, installer));
      steps.push_back(Bind(&StepWriteInstallerPrefs, installer));
      steps.push_back(Bind(&StepInstallComponents, installer));
      steps.push_back(Bind(&StepFinalizeInstallation, installer));
      break;
    case OPERATION_UPGRADING:
      steps.push_back(Bind(&StepRemoveInstalledFiles, installer));
      steps.push_back(BindCopy(&StepCopyFiles, installer));
      steps.push_back(Bind(&StepRemoveOldRootFiles, installer));
      steps.push_back(BindCopy(&StepCopyRootFiles, installer));
      steps.push_back(Bind(&StepInstallLauncher, installer));
      steps.push_back(Bind(&StepCleanupRegistry, installer));
      steps.push_back(Bind(&StepSetupRegistry, installer));
      steps.push_back(Bind(&StepUpdateShortcuts, installer));
      steps.push_back(Bind(&StepWriteInstallerPrefs, installer));
      steps.push_back(Bind(&StepPreservePreviousStatus, installer));
      steps.push_back(Bind(&StepInstallComponents, installer));
      steps.push_back(Bind(&StepFinalizeInstallation, installer));
      break;
    case OPERATION_UNINSTALLING:
      steps.push_back(Bind(&StepCleanupRegistry, installer));
      steps.push_back(Bind(&StepRemoveShortcuts, installer));
      steps.push_back(Bind(&StepFinalizeUninstallation, installer));
      steps.push_back(Bind(&StepRemoveInstalledFiles, installer));
      steps.push_back(Bind(&StepUninstallComponents, installer));
      steps.push_back(Bind(&StepCleanupAfterUninstall, installer));
      break;
    case OPERATION_REGISTERING_PROTOCOL_HANDLER:
      steps.push_back(Bind(&RegisterAsProtocolHandler, installer));
      steps.push_back(Bind(&StepWriteInstallerPrefs, installer));
      steps.push_back(
          base::BindOnce(&Installer::OnSuccess, base::Unretained(installer)));
      break;
    default:
      LOG(ERROR) << "No steps for operation " << operation << " in this build";
      break;
  }
  return steps;
}

int CountTotalSteps(SettingsOperation operation,
                    size_t step_count,
                    size_t file_count,
                    size_t root_file_count) {
  if (operation == OPERATION_UNINSTALLING)
    return static_cast<int>(step_count + 1);
  // The two copy steps are counted by their files instead.
  return static_cast<int>(step_count - 2 + file_count +
                          std::max<size_t>(root_file_count, 1) + 1);
}

bool RunPostElevationTasksOfRun(Installer* installer) {
  RunPostElevationTasks(installer);
  return true;
}

}  // namespace installer
