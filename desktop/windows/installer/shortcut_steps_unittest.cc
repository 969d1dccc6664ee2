#include "desktop/windows/installer/shortcut_steps.h"

#include <memory>
#include <string>

#include "base/bind.h"
#include "base/files/file_util.h"
#include "base/path_service.h"
#include "base/win/shortcut.h"
#include "desktop/windows/installer/installer.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/test/scoped_log_capture.h"
#include "desktop/windows/installer/test/steps_test.h"
#include "desktop/windows/rc_l10n_handler/installer_string_ids.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using base::FilePath;

class ShortcutStepsTest : public test::StepsTest {
 protected:
  // A step that copies the installer's log to |log|, then ends the run
  // with an error (rolled back) or successfully.
  static base::OnceClosure CaptureAndEnd(Installer* installer,
                                         InstallLog* log,
                                         bool fail) {
    return base::BindOnce(
        [](Installer* installer, InstallLog* log, bool fail) {
          *log = *installer->install_log();
          if (fail) {
            installer->NotifyError(IDS_ERROR_INSTALL, L"", "Later failure");
          } else {
            installer->NotifyStep();
            installer->OnSuccess();
          }
        },
        installer, log, fail);
  }

  static FilePath Target(const FilePath& shortcut) {
    FilePath target;
    base::win::ResolveShortcut(shortcut, &target, nullptr);
    return target;
  }
};

// A file of the plain name on the desktop gives every shortcut the
// versioned name; a later failure removes the copies but not the master;
// Windows 10 pins through the pin program.
TEST_F(ShortcutStepsTest, InstallCollisionPinAndRollback) {
  const FilePath plain = desktop().Append(GetShortcutFileName(false));
  WriteFile(plain, "the user's own");
  MakeStandIn(package_dir(), kPinProgram64Name, 0);
  SetCommandLine(
      L"--allusers=0 --desktopshortcut=1 --startmenushortcut=1 "
      L"--quicklaunchshortcut=0 --pintotaskbar=1");
  std::unique_ptr<Settings> settings = MakeSettings();
  Installer installer;
  InstallLog log;
  bool copies_existed = false;
  const std::wstring name = GetShortcutFileName(true);
  RunSteps(
      &installer, settings.get(),
      MakeSteps(
          Step(&StepInstallShortcuts, &installer),
          base::BindOnce(
              [](Installer* installer, const FilePath& copy, bool* existed) {
                *existed = base::PathExists(copy);
                installer->ScheduleNextStep();
              },
              &installer, start_menu().Append(name), &copies_existed),
          CaptureAndEnd(&installer, &log, true)));

  EXPECT_TRUE(copies_existed);
  EXPECT_EQ(desktop().Append(name), log.desktop_shortcut);
  EXPECT_EQ(start_menu().Append(name), log.start_menu_shortcut);
  EXPECT_TRUE(log.quick_launch_shortcut.empty());
  EXPECT_FALSE(base::PathExists(desktop().Append(name)));
  EXPECT_FALSE(base::PathExists(start_menu().Append(name)));
  EXPECT_TRUE(base::PathExists(plain));
  const FilePath master = package_dir().Append(name);
  EXPECT_EQ(launcher(), Target(master));

  EXPECT_TRUE(log.pinned);
  EXPECT_TRUE(pin_verbs_.calls.empty());
  const std::vector<std::string> runs =
      StandInRuns(package_dir().Append(kPinProgramRunName));
  ASSERT_EQ(1u, runs.size());
  EXPECT_NE(std::string::npos, runs[0].find(master.AsUTF8Unsafe()));
  EXPECT_FALSE(base::PathExists(package_dir().Append(kPinProgramRunName)));
}

TEST_F(ShortcutStepsTest, PinProgramFailures) {
  const FilePath shortcut = package_dir().Append(L"Kelvo.lnk");
  const FilePath program = package_dir().Append(kPinProgramRunName);
  {
    ScopedLogCapture log;
    EXPECT_FALSE(RunInstallerHelper(package_dir(), shortcut));
    EXPECT_TRUE(log.ContainsError("Could not copy the new helper"));
  }
  MakeStandIn(package_dir(), kPinProgram64Name, 0);
  // What an earlier run left is replaced; a refusal is reported.
  WriteFile(program, "stale");
  WriteFile(package_dir().Append(L"explorer.exe.exit_code"), "3");
  ScopedLogCapture log;
  EXPECT_FALSE(RunInstallerHelper(package_dir(), shortcut));
  EXPECT_TRUE(log.ContainsError("The helper returned status 3"));
  EXPECT_EQ(1u, StandInRuns(program).size());
  EXPECT_FALSE(base::PathExists(program));
}

// An upgrade recreates a shortcut to an old target, removes one whose
// option is off, renames the versioned form to the new version, and
// unpins when no pin is wanted.
TEST_F(ShortcutStepsTest, UpgradeRecreatesRemovesRenamesAndUnpins) {
  FilePath quick_launch;
  FilePath pins;
  ASSERT_TRUE(
      base::PathService::Get(base::DIR_USER_QUICK_LAUNCH, &quick_launch));
  ASSERT_TRUE(base::PathService::Get(base::DIR_TASKBAR_PINS, &pins));
  InstallLog old_log = MakeLog();
  old_log.desktop_shortcut = desktop().Append(L"Kelvo.lnk");
  old_log.start_menu_shortcut = start_menu().Append(L"Kelvo.lnk");
  old_log.quick_launch_shortcut = quick_launch.Append(L"Kelvo 44.lnk");
  MakeInstallation(old_log);
  MakeShortcut(old_log.desktop_shortcut,
               install_folder().Append(L"57.0\\kelvo.exe"));
  MakeShortcut(old_log.start_menu_shortcut, launcher());
  MakeShortcut(old_log.quick_launch_shortcut, launcher());
  const FilePath pin = pins.Append(L"Kelvo.lnk");
  MakeShortcut(pin, launcher());
  SetCommandLine(
      L"--allusers=0 --desktopshortcut=1 --startmenushortcut=0 "
      L"--quicklaunchshortcut=1 --pintotaskbar=0");
  std::unique_ptr<Settings> settings = MakeSettings();
  ASSERT_EQ(OPERATION_UPGRADING, settings->operation());
  Installer installer;
  InstallLog log;
  RunSteps(&installer, settings.get(),
           MakeSteps(Step(&StepUpdateShortcuts, &installer),
                     CaptureAndEnd(&installer, &log, false)));

  const std::wstring name = GetShortcutFileName(true);
  EXPECT_EQ(desktop().Append(name), log.desktop_shortcut);
  EXPECT_EQ(launcher(), Target(log.desktop_shortcut));
  EXPECT_FALSE(base::PathExists(old_log.desktop_shortcut));
  EXPECT_TRUE(log.start_menu_shortcut.empty());
  EXPECT_FALSE(base::PathExists(old_log.start_menu_shortcut));
  EXPECT_EQ(quick_launch.Append(name), log.quick_launch_shortcut);
  EXPECT_TRUE(base::PathExists(log.quick_launch_shortcut));
  EXPECT_FALSE(base::PathExists(old_log.quick_launch_shortcut));
  EXPECT_EQ(std::vector<std::wstring>{L"unpin " + pin.value()},
            pin_verbs_.calls);
  EXPECT_FALSE(base::PathExists(pin));
  EXPECT_FALSE(log.pinned);
}

}  // namespace
}  // namespace installer
