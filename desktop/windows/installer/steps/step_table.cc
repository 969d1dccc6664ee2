#include "desktop/windows/installer/steps/step_table.h"

#include "base/logging.h"
#include "desktop/windows/installer/install_run.h"
#include "desktop/windows/installer/steps/install_components_step.h"
#include "desktop/windows/installer/steps/install_steps.h"
#include "desktop/windows/installer/steps/old_version_steps.h"
#include "desktop/windows/installer/steps/post_elevation_tasks.h"
#include "desktop/windows/installer/steps/registry_steps.h"
#include "desktop/windows/installer/steps/shortcut_steps.h"
#include "desktop/windows/installer/steps/uninstall_steps.h"

namespace installer {

namespace {

#define ONCE(step) InstallStep::Once(#step, &step)

std::vector<InstallStep> InstallSteps() {
  return {
      InstallStep::ForEachEntry("StepCopyFile", &StepCopyFile,
                                &InstallRun::files),
      InstallStep::ForEachEntry("StepCopyRootFile", &StepCopyRootFile,
                                &InstallRun::root_files),
      ONCE(StepInstallLauncher),
      ONCE(StepSetupRegistry),
      ONCE(StepInstallShortcuts),
      ONCE(StepWriteInstallerPrefs),
      ONCE(StepInstallComponents),
      ONCE(StepFinalizeInstallation),
  };
}

std::vector<InstallStep> UpgradeSteps() {
  return {
      ONCE(StepRemoveInstalledFiles),
      InstallStep::ForEachEntry("StepCopyFile", &StepCopyFile,
                                &InstallRun::files),
      ONCE(StepRemoveOldRootFiles),
      InstallStep::ForEachEntry("StepCopyRootFile", &StepCopyRootFile,
                                &InstallRun::root_files),
      ONCE(StepInstallLauncher),
      ONCE(StepCleanupRegistry),
      ONCE(StepSetupRegistry),
      ONCE(StepUpdateShortcuts),
      ONCE(StepWriteInstallerPrefs),
      ONCE(StepPreservePreviousStatus),
      ONCE(StepInstallComponents),
      ONCE(StepFinalizeInstallation),
  };
}

std::vector<InstallStep> UninstallSteps() {
  return {
      ONCE(StepCleanupRegistry),        ONCE(StepRemoveShortcuts),
      ONCE(StepFinalizeUninstallation), ONCE(StepRemoveInstalledFiles),
      ONCE(StepUninstallComponents),    ONCE(StepCleanupAfterUninstall),
  };
}

std::vector<InstallStep> RegisterProtocolHandlerSteps() {
  return {
      ONCE(StepRegisterAsProtocolHandler),
      ONCE(StepWriteInstallerPrefs),
  };
}

#undef ONCE

}  // namespace

std::vector<InstallStep> GetOperationSteps(SettingsOperation operation) {
  switch (operation) {
    case OPERATION_INSTALLING:
      return InstallSteps();
    case OPERATION_UPGRADING:
      return UpgradeSteps();
    case OPERATION_UNINSTALLING:
      return UninstallSteps();
    case OPERATION_REGISTERING_PROTOCOL_HANDLER:
      return RegisterProtocolHandlerSteps();
    default:
      LOG(ERROR) << "No steps for operation " << operation << " in this build";
      return {};
  }
}

int CountProgressSteps(const std::vector<InstallStep>& steps,
                       const InstallRun& run) {
  size_t count = 1;
  for (const InstallStep& step : steps)
    count += step.CountCalls(run);
  return static_cast<int>(count);
}

}  // namespace installer
