// The steps of an uninstall after the registry and the shortcuts: the
// install log goes (the one failure that stops an uninstall), the default
// browser is handed back and the uninstall survey shown, the components
// remove themselves, the scheduled task and the files go, and what is still
// in use is left to the batch file "k.bat" (UninstallBatch), which finishes
// once the installer processes have ended.

#ifndef DESKTOP_WINDOWS_INSTALLER_STEPS_UNINSTALL_STEPS_H_
#define DESKTOP_WINDOWS_INSTALLER_STEPS_UNINSTALL_STEPS_H_

#include <string>

#include "base/callback.h"
#include "base/files/file_path.h"
#include "desktop/windows/installer/step_result.h"

namespace installer {

class InstallRun;

// Steps.
StepResult StepFinalizeUninstallation(InstallRun* run);
StepResult StepUninstallComponents(InstallRun* run);
StepResult StepCleanupAfterUninstall(InstallRun* run);

// Tells Windows that the browser client changed, hands the default browser
// back to Internet Explorer when the browser had it, removes the firewall
// rule of the installation at |install_folder| and opens the uninstall
// survey unless the run is silent.
void RestoreDefaultBrowserAndSurvey(InstallRun* run,
                                    const base::FilePath& install_folder);

// Deletes the installation's scheduled autoupdate task and the product's
// tasks whose program is gone.
void DeleteAutoupdateTask(const std::string& app_id);

// The survey opens in a browser started outside the installer's process
// tree (through WMI): it outlives the uninstall. Tests replace the start.
using SurveyLauncher =
    base::RepeatingCallback<bool(const std::wstring& command_line)>;

class ScopedSurveyLauncherForTesting {
 public:
  explicit ScopedSurveyLauncherForTesting(SurveyLauncher launcher);
  ScopedSurveyLauncherForTesting(const ScopedSurveyLauncherForTesting&) =
      delete;
  ScopedSurveyLauncherForTesting& operator=(
      const ScopedSurveyLauncherForTesting&) = delete;
  ~ScopedSurveyLauncherForTesting();

 private:
  SurveyLauncher launcher_;
};

}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_STEPS_UNINSTALL_STEPS_H_
