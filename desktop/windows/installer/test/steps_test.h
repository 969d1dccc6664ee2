// A fixture for tests of the installer's steps: EngineTest with the local
// application data in its temporary folder,
// the Windows version, the taskbar verbs, the survey's start, the task
// scheduler and the firewall replaced by recorders, and helpers that lay
// out an existing installation.
//
//   TEST_F(StepsTest, RemovesShortcuts) {
//     InstallLog log = MakeLog();
//     MakeInstallation(log);
//     SetCommandLine(L"--uninstall");
//     std::unique_ptr<Settings> settings = MakeSettings(true);
//     Installer installer;
//     RunSteps(&installer, settings.get(),
//              MakeSteps(Step(&StepRemoveShortcuts, &installer),
//                        EndStep(&installer)));
//   }

#ifndef DESKTOP_WINDOWS_INSTALLER_TEST_STEPS_TEST_H_
#define DESKTOP_WINDOWS_INSTALLER_TEST_STEPS_TEST_H_

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/callback.h"
#include "base/files/file_path.h"
#include "base/win/windows_version.h"
#include "desktop/windows/installer/install_log.h"
#include "desktop/windows/installer/installer.h"
#include "desktop/windows/installer/service/firewall_manager.h"
#include "desktop/windows/installer/service/task_scheduler.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/shell_integration_platform.h"
#include "desktop/windows/installer/taskbar_pin_verbs.h"
#include "desktop/windows/installer/test/engine_test.h"
#include "desktop/windows/installer/test/fake_firewall_manager.h"
#include "desktop/windows/installer/test/fake_task_scheduler.h"
#include "desktop/windows/installer/uninstall_steps.h"

namespace installer {
namespace test {

// Answers a chosen Windows version and records the shell's dialogs.
class FakeShellPlatform : public ShellIntegrationPlatform {
 public:
  FakeShellPlatform();
  ~FakeShellPlatform() override;

  base::win::Version GetWindowsVersion() override { return version; }
  bool ShowOpenWithDialog(const std::wstring& association) override;
  bool OpenDefaultAppsSettings(const std::wstring& target) override;

  base::win::Version version = base::win::VERSION_WIN10_TH2;
  // "open-with ASSOCIATION", "settings TARGET".
  std::vector<std::wstring> calls;

 private:
  ScopedOverrideForTesting override_;
};

// Records "pin PATH" and "unpin PATH"; both succeed.
class FakeTaskbarPinVerbs : public TaskbarPinVerbs {
 public:
  FakeTaskbarPinVerbs();
  ~FakeTaskbarPinVerbs() override;

  bool Pin(const base::FilePath& shortcut) override;
  bool Unpin(const base::FilePath& shortcut) override;

  std::vector<std::wstring> calls;

 private:
  ScopedOverrideForTesting override_;
};

class StepsTest : public EngineTest {
 protected:
  StepsTest();
  ~StepsTest() override;

  void SetUp() override;

  // Runs |steps| on |installer| as the step list of a run of |settings|
  // until the outcome; the last step ends the run.
  void RunSteps(Installer* installer,
                Settings* settings,
                std::vector<base::OnceClosure> steps);
  template <typename... Steps>
  static std::vector<base::OnceClosure> MakeSteps(Steps... steps) {
    std::vector<base::OnceClosure> list;
    (list.push_back(std::move(steps)), ...);
    return list;
  }
  // A step that runs |step| on |installer|.
  static base::OnceClosure Step(void (*step)(Installer*), Installer* installer);
  // Settings of an uninstall of the installation at the install folder,
  // which an uninstaller finds as the one it runs from: the executable's
  // folder becomes the install folder for the rest of the test.
  std::unique_ptr<Settings> MakeUninstallSettings(bool silent = false);
  // A step that ends the run successfully.
  static base::OnceClosure EndStep(Installer* installer);

  // A log of an installation at the install folder in the version
  // subfolder "57.0", of the files kelvo.exe and |files|, app id "1234".
  InstallLog MakeLog(const std::vector<std::string>& files = {});
  // Lays out the installation |log| describes: launcher.exe, its files
  // with some content, and the log as installation_status.xml.
  void MakeInstallation(const InstallLog& log);
  // A shortcut at |path| to |target|.
  static void MakeShortcut(const base::FilePath& path,
                           const base::FilePath& target);
  // Writes |text| to |path|, creating its folder.
  static void WriteFile(const base::FilePath& path, const std::string& text);

  const base::FilePath& desktop() const { return desktop_; }
  const base::FilePath& start_menu() const { return start_menu_; }
  base::FilePath launcher() const;

  FakeShellPlatform platform_;
  FakeTaskbarPinVerbs pin_verbs_;
  FakeTaskScheduler::Record tasks_;
  FakeFirewallManager::Record firewall_;
  // The command lines the survey was opened with.
  std::vector<std::wstring> surveys_;

 private:
  std::vector<std::unique_ptr<base::ScopedPathOverride>> overrides_;
  std::unique_ptr<ScopedTaskSchedulerFactoryForTesting> task_factory_;
  std::unique_ptr<FirewallManager::ScopedFactoryForTesting> firewall_factory_;
  std::unique_ptr<ScopedSurveyLauncherForTesting> survey_launcher_;
  base::FilePath desktop_;
  base::FilePath start_menu_;
};

}  // namespace test
}  // namespace installer

#endif  // DESKTOP_WINDOWS_INSTALLER_TEST_STEPS_TEST_H_
