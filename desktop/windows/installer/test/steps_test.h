// A fixture for tests of the installer's steps: EngineTest with the local
// application data in its temporary folder, the Windows version, the
// survey's start, the task scheduler and the firewall replaced by
// recorders, and helpers that lay out an existing installation.
//
//   TEST_F(StepsTest, RemovesShortcuts) {
//     MakeInstallation(MakeLog());
//     std::unique_ptr<Settings> settings = MakeUninstallSettings();
//     Installer installer;
//     RunSteps(&installer, settings.get(),
//              MakeSteps(Step(&StepRemoveShortcuts)));
//   }

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_STEPS_TEST_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_STEPS_TEST_H_

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/bind.h"
#include "base/files/file_path.h"
#include "base/files/file_util.h"
#include "base/path_service.h"
#include "desktop/windows/installer/engine/installer.h"
#include "desktop/windows/installer/install_log_writer.h"
#include "desktop/windows/installer/install_run.h"
#include "desktop/windows/installer/installation.h"
#include "desktop/windows/installer/service/utils.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/step_result.h"
#include "desktop/windows/installer/steps/install_step.h"
#include "desktop/windows/installer/steps/uninstall_steps.h"
#include "desktop/windows/installer/test/engine_test.h"
#include "desktop/windows/installer/test/fake_firewall_manager.h"
#include "desktop/windows/installer/test/fake_shell_platform.h"
#include "desktop/windows/installer/test/fake_task_scheduler.h"
#include "desktop/windows/installer/test/installer_process.h"
#include "desktop/windows/installer/test/test_util.h"

namespace installer {
namespace test {

class StepsTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    local_data_ = std::make_unique<base::ScopedPathOverride>(
        base::DIR_LOCAL_APP_DATA, root().Append(L"Local"));
    WriteFilesList({"a.pak"});
    WriteFile(package_dir().AppendASCII("a.pak"), "a");
  }

  template <typename... Steps>
  static std::vector<InstallStep> MakeSteps(Steps... steps) {
    std::vector<InstallStep> list;
    (list.push_back(std::move(steps)), ...);
    return list;
  }
  static InstallStep Step(InstallStep::Function step) {
    return InstallStep::Once("test step", step);
  }
  // A step of a callback; its run is the callback's last argument.
  static InstallStep Step(
      base::RepeatingCallback<StepResult(InstallRun*)> step) {
    return InstallStep::FromCallback(
        "test step",
        base::BindRepeating(
            [](const base::RepeatingCallback<StepResult(InstallRun*)>& step,
               InstallRun* run, size_t) { return step.Run(run); },
            std::move(step)));
  }
  // Runs |steps| as the steps of a run of |settings| to its outcome.
  void RunSteps(Installer* installer,
                Settings* settings,
                std::vector<InstallStep> steps) {
    installer->SetStepsForTesting(std::move(steps));
    RunToOutcome(installer, settings);
  }

  // Settings of an uninstall of the installation at the install folder,
  // which an uninstaller finds as the one it runs from. Replaces
  // EngineTest's override of the executable's folder, which removes it.
  std::unique_ptr<Settings> MakeUninstallSettings() {
    EXPECT_TRUE(base::PathService::Override(base::DIR_EXE, install_folder()));
    return MakeSettings(true);
  }

  // An installation at the install folder in the subfolder "57.0" of
  // kelvo.exe and |files|, app id "1234".
  InstallLog MakeLog(const std::vector<std::string>& files = {}) {
    InstallLog log;
    log.all_users = false;
    log.app_id = "1234";
    log.install_path = install_folder();
    log.subfolder = base::FilePath(L"57.0");
    log.version = "57.0.1.0";
    log.files.push_back(base::FilePath::FromUTF8Unsafe(GetProductExeName()));
    for (const std::string& file : files)
      log.files.push_back(base::FilePath::FromUTF8Unsafe(file));
    return log;
  }
  // Lays out what |log| describes: launcher.exe, its files and the log.
  void MakeInstallation(const InstallLog& log) {
    WriteFile(launcher(), "launcher");
    for (const base::FilePath& file : log.files)
      WriteFile(install_folder().Append(log.subfolder).Append(file), "file");
    ASSERT_TRUE(InstallLogWriter().WriteToFile(
        log, install_folder().AppendASCII(kInstallLogFileName)));
  }
  static void WriteFile(const base::FilePath& path, const std::string& text) {
    WriteTextFile(path, text);
  }

  base::FilePath desktop() const { return root().Append(L"Desktop"); }
  base::FilePath start_menu() const { return root().Append(L"Start Menu"); }
  base::FilePath launcher() const {
    return install_folder().AppendASCII(kLauncherExeName);
  }

  FakeShellPlatform platform_;
  FakeTaskScheduler::Record tasks_;
  FakeFirewallManager::Record firewall_;
  // The command lines the survey was opened with.
  std::vector<std::wstring> surveys_;

 private:
  std::unique_ptr<base::ScopedPathOverride> local_data_;
  ScopedTaskSchedulerFactoryForTesting task_factory_{
      FakeTaskScheduler::Factory(&tasks_)};
  FirewallManager::ScopedFactoryForTesting firewall_factory_{
      FakeFirewallManager::Factory(&firewall_)};
  ScopedSurveyLauncherForTesting survey_launcher_{base::BindRepeating(
      [](std::vector<std::wstring>* surveys, const std::wstring& command_line) {
        surveys->push_back(command_line);
        return true;
      },
      &surveys_)};
};

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_STEPS_TEST_H_
