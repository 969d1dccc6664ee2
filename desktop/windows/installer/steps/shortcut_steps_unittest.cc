#include "desktop/windows/installer/steps/shortcut_steps.h"

#include <memory>
#include <string>

#include "base/bind.h"
#include "base/files/file_util.h"
#include "base/win/shortcut.h"
#include "desktop/windows/installer/engine/installer.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/test/steps_test.h"
#include "desktop/windows/rc_l10n_handler/installer_string_ids.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using base::FilePath;
using test::MakeStandIn;
using test::StandInRuns;

using ShortcutStepsTest = test::StepsTest;

// A file of the plain name on the desktop gives every shortcut the
// versioned name; Windows 10 pins through the pin program run as
// explorer.exe; a later failure removes the copies but not the master.
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
  bool copy_existed = false;
  const std::wstring name = GetShortcutFileName(true);
  RunSteps(&installer, settings.get(),
           MakeSteps(Step(&StepInstallShortcuts),
                     Step(base::BindRepeating(
                         [](InstallLog* log, const FilePath& copy,
                            bool* copy_existed, InstallRun* run) {
                           *log = *run->install_log();
                           *copy_existed = base::PathExists(copy);
                           return StepResult::Error(IDS_ERROR_INSTALL,
                                                    "Later failure");
                         },
                         &log, start_menu().Append(name), &copy_existed))));

  EXPECT_TRUE(copy_existed);
  EXPECT_EQ(desktop().Append(name), log.desktop_shortcut);
  EXPECT_EQ(start_menu().Append(name), log.start_menu_shortcut);
  EXPECT_TRUE(log.quick_launch_shortcut.empty());
  EXPECT_FALSE(base::PathExists(desktop().Append(name)));
  EXPECT_FALSE(base::PathExists(start_menu().Append(name)));
  EXPECT_TRUE(base::PathExists(plain));
  const FilePath master = package_dir().Append(name);
  FilePath target;
  ASSERT_TRUE(base::win::ResolveShortcut(master, &target, nullptr));
  EXPECT_EQ(launcher(), target);

  EXPECT_TRUE(log.pinned);
  const std::vector<std::string> runs =
      StandInRuns(package_dir().Append(kPinProgramRunName));
  ASSERT_EQ(1u, runs.size());
  EXPECT_NE(std::string::npos, runs[0].find(master.AsUTF8Unsafe()));
  EXPECT_FALSE(base::PathExists(package_dir().Append(kPinProgramRunName)));
}

}  // namespace
}  // namespace installer
