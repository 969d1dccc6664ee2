#include "desktop/windows/installer/test/steps_test.h"

#include <utility>

#include "base/base_paths.h"
#include "base/bind.h"
#include "base/files/file_util.h"
#include "base/path_service.h"
#include "base/win/shortcut.h"
#include "desktop/windows/installer/install_log_writer.h"
#include "desktop/windows/installer/installation.h"
#include "desktop/windows/installer/service/utils.h"

namespace installer {
namespace test {

FakeShellPlatform::FakeShellPlatform() : override_(this) {}

FakeShellPlatform::~FakeShellPlatform() = default;

bool FakeShellPlatform::ShowOpenWithDialog(const std::wstring& association) {
  calls.push_back(L"open-with " + association);
  return true;
}

bool FakeShellPlatform::OpenDefaultAppsSettings(const std::wstring& target) {
  calls.push_back(L"settings " + target);
  return true;
}

FakeTaskbarPinVerbs::FakeTaskbarPinVerbs() : override_(this) {}

FakeTaskbarPinVerbs::~FakeTaskbarPinVerbs() = default;

bool FakeTaskbarPinVerbs::Pin(const base::FilePath& shortcut) {
  calls.push_back(L"pin " + shortcut.value());
  return true;
}

bool FakeTaskbarPinVerbs::Unpin(const base::FilePath& shortcut) {
  calls.push_back(L"unpin " + shortcut.value());
  return true;
}

StepsTest::StepsTest() = default;

StepsTest::~StepsTest() = default;

void StepsTest::SetUp() {
  EngineTest::SetUp();
  desktop_ = root().Append(L"Desktop");
  start_menu_ = root().Append(L"Start Menu");
  overrides_.push_back(std::make_unique<base::ScopedPathOverride>(
      base::DIR_LOCAL_APP_DATA, root().Append(L"Local")));
  task_factory_ = std::make_unique<ScopedTaskSchedulerFactoryForTesting>(
      FakeTaskScheduler::Factory(&tasks_));
  firewall_factory_ =
      std::make_unique<FirewallManager::ScopedFactoryForTesting>(
          FakeFirewallManager::Factory(&firewall_));
  survey_launcher_ =
      std::make_unique<ScopedSurveyLauncherForTesting>(base::BindRepeating(
          [](std::vector<std::wstring>* surveys,
             const std::wstring& command_line) {
            surveys->push_back(command_line);
            return true;
          },
          &surveys_));
  WriteFilesList({"a.pak"});
  WriteFile(package_dir().AppendASCII("a.pak"), "a");
}

void StepsTest::RunSteps(Installer* installer,
                         Settings* settings,
                         std::vector<base::OnceClosure> steps) {
  installer->SetStepListForTesting(std::move(steps));
  RunToOutcome(installer, settings);
}

// static
base::OnceClosure StepsTest::Step(void (*step)(Installer*),
                                  Installer* installer) {
  return base::BindOnce(step, installer);
}

std::unique_ptr<Settings> StepsTest::MakeUninstallSettings(bool silent) {
  // Replaces EngineTest's override, which removes it at the end.
  EXPECT_TRUE(base::PathService::Override(base::DIR_EXE, install_folder()));
  return MakeSettings(true, silent);
}

// static
base::OnceClosure StepsTest::EndStep(Installer* installer) {
  return base::BindOnce(
      [](Installer* installer) {
        installer->NotifyStep();
        installer->OnSuccess();
      },
      installer);
}

InstallLog StepsTest::MakeLog(const std::vector<std::string>& files) {
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

void StepsTest::MakeInstallation(const InstallLog& log) {
  WriteFile(launcher(), "launcher");
  const base::FilePath version = install_folder().Append(log.subfolder);
  for (const base::FilePath& file : log.files)
    WriteFile(version.Append(file), file.AsUTF8Unsafe());
  for (const base::FilePath& file : log.root_files)
    WriteFile(install_folder().Append(file), file.AsUTF8Unsafe());
  ASSERT_TRUE(InstallLogWriter().WriteToFile(
      log, install_folder().AppendASCII(kInstallLogFileName)));
}

// static
void StepsTest::MakeShortcut(const base::FilePath& path,
                             const base::FilePath& target) {
  ASSERT_TRUE(base::CreateDirectory(path.DirName()));
  base::win::ShortcutProperties properties;
  properties.set_target(target);
  ASSERT_TRUE(base::win::CreateOrUpdateShortcutLink(
      path, properties, base::win::SHORTCUT_CREATE_ALWAYS));
}

// static
void StepsTest::WriteFile(const base::FilePath& path, const std::string& text) {
  ASSERT_TRUE(base::CreateDirectory(path.DirName()));
  ASSERT_EQ(static_cast<int>(text.size()),
            base::WriteFile(path, text.data(), static_cast<int>(text.size())));
}

base::FilePath StepsTest::launcher() const {
  return install_folder().AppendASCII(kLauncherExeName);
}

}  // namespace test
}  // namespace installer
