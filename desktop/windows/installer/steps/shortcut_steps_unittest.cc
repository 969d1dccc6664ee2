#include "desktop/windows/installer/steps/shortcut_steps.h"

#include <memory>
#include <string>

#include "base/base_paths.h"
#include "base/bind.h"
#include "base/files/file_util.h"
#include "base/path_service.h"
#include "base/win/shortcut.h"
#include "desktop/windows/installer/engine/installer.h"
#include "desktop/windows/installer/settings.h"
#include "desktop/windows/installer/taskbar_pin_verbs.h"
#include "desktop/windows/installer/test/steps_test.h"
#include "desktop/windows/rc_l10n_handler/installer_string_ids.h"
#include "gtest/gtest.h"

namespace installer {
namespace {

using base::FilePath;
using test::MakeStandIn;
using test::StandInRuns;

// The shell's pin verbs, recorded: "pin PATH", "unpin PATH".
class RecordingPinVerbs : public TaskbarPinVerbs {
 public:
  bool Pin(const FilePath& shortcut) override {
    calls.push_back(L"pin " + shortcut.value());
    return true;
  }
  bool Unpin(const FilePath& shortcut) override {
    calls.push_back(L"unpin " + shortcut.value());
    return true;
  }

  std::vector<std::wstring> calls;
};

class ShortcutStepsTest : public test::StepsTest {
 protected:
  void SetUp() override {
    StepsTest::SetUp();
    ASSERT_TRUE(
        base::PathService::Get(base::DIR_USER_QUICK_LAUNCH, &quick_launch_));
    ASSERT_TRUE(base::PathService::Get(base::DIR_TASKBAR_PINS, &pins_));
    old_target_ = install_folder().Append(L"57.0\\kelvo.exe");
  }

  static void MakeShortcut(const FilePath& path, const FilePath& target) {
    ASSERT_TRUE(base::CreateDirectory(path.DirName()));
    base::win::ShortcutProperties properties;
    properties.set_target(target);
    ASSERT_TRUE(base::win::CreateOrUpdateShortcutLink(
        path, properties, base::win::SHORTCUT_CREATE_ALWAYS));
  }
  static FilePath TargetOf(const FilePath& shortcut) {
    FilePath target;
    base::win::ResolveShortcut(shortcut, &target, nullptr);
    return target;
  }

  // Runs |step| for the current command line and returns the install log
  // that the run holds afterwards; the run succeeds.
  InstallLog RunShortcutStep(InstallStep::Function step,
                             bool uninstall = false) {
    std::unique_ptr<Settings> settings =
        uninstall ? MakeUninstallSettings() : MakeSettings();
    Installer installer;
    InstallLog log;
    RunSteps(&installer, settings.get(),
             MakeSteps(Step(step), Step(base::BindRepeating(
                                       [](InstallLog* log, InstallRun* run) {
                                         *log = *run->install_log();
                                         return StepResult::Succeeded();
                                       },
                                       &log))));
    EXPECT_TRUE(installer.succeeded());
    return log;
  }

  RecordingPinVerbs verbs_;
  TaskbarPinVerbs::ScopedOverrideForTesting verbs_override_{&verbs_};
  FilePath quick_launch_;
  FilePath pins_;
  FilePath old_target_;
};

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

// Shortcuts of an older major version take this one's name; one that
// points at the old browser executable is made anew; one the user no longer
// wants goes; a pin that the rename keeps stays and is recorded.
TEST_F(ShortcutStepsTest, UpgradeRenamesRecreatesAndRemoves) {
  const std::wstring old_name = L"Kelvo 44.lnk";
  const std::wstring new_name = GetShortcutFileName(true);
  InstallLog log = MakeLog();
  log.desktop_shortcut = desktop().Append(old_name);
  log.start_menu_shortcut = start_menu().Append(old_name);
  log.quick_launch_shortcut = quick_launch_.Append(old_name);
  MakeInstallation(log);
  MakeShortcut(log.desktop_shortcut, launcher());
  MakeShortcut(log.start_menu_shortcut, old_target_);
  MakeShortcut(log.quick_launch_shortcut, launcher());
  const FilePath pin = pins_.Append(L"Kelvo.lnk");
  MakeShortcut(pin, launcher());
  SetCommandLine(
      L"--allusers=0 --desktopshortcut=1 --startmenushortcut=1 "
      L"--quicklaunchshortcut=0 --pintotaskbar=1");

  const InstallLog updated = RunShortcutStep(&StepUpdateShortcuts);

  EXPECT_EQ(desktop().Append(new_name), updated.desktop_shortcut);
  EXPECT_FALSE(base::PathExists(log.desktop_shortcut));
  EXPECT_EQ(launcher(), TargetOf(updated.desktop_shortcut));
  EXPECT_EQ(start_menu().Append(new_name), updated.start_menu_shortcut);
  EXPECT_FALSE(base::PathExists(log.start_menu_shortcut));
  EXPECT_EQ(launcher(), TargetOf(updated.start_menu_shortcut));
  EXPECT_TRUE(updated.quick_launch_shortcut.empty());
  EXPECT_FALSE(base::PathExists(log.quick_launch_shortcut));
  EXPECT_TRUE(base::PathExists(pin));
  EXPECT_TRUE(updated.pinned);
  EXPECT_TRUE(verbs_.calls.empty());
}

// A pin of the old browser executable is unpinned and the master shortcut
// pinned instead; a pin the user no longer wants is unpinned only.
TEST_F(ShortcutStepsTest, UpgradeUnpinsAndRepins) {
  MakeStandIn(package_dir(), kPinProgram64Name, 0);
  MakeInstallation(MakeLog());
  const FilePath pin = pins_.Append(L"Kelvo.lnk");
  for (bool wanted : {true, false}) {
    SCOPED_TRACE(wanted);
    verbs_.calls.clear();
    MakeShortcut(pin, wanted ? old_target_ : launcher());
    SetCommandLine(std::wstring(L"--allusers=0 --desktopshortcut=0 ") +
                   L"--startmenushortcut=0 --quicklaunchshortcut=0 " +
                   (wanted ? L"--pintotaskbar=1" : L"--pintotaskbar=0"));
    const FilePath pin_program = package_dir().Append(kPinProgramRunName);
    const size_t pinned_before = StandInRuns(pin_program).size();
    const InstallLog updated = RunShortcutStep(&StepUpdateShortcuts);
    EXPECT_EQ(std::vector<std::wstring>{L"unpin " + pin.value()}, verbs_.calls);
    EXPECT_FALSE(base::PathExists(pin));
    EXPECT_EQ(wanted, updated.pinned);
    EXPECT_EQ(pinned_before + (wanted ? 1u : 0u),
              StandInRuns(pin_program).size());
  }
}

// An uninstall unpins, and removes the shortcuts that are the
// installation's and the former product's shortcut folder; a recorded
// shortcut that now points elsewhere is the user's.
TEST_F(ShortcutStepsTest, UninstallRemovesOnlyItsOwnShortcuts) {
  InstallLog log = MakeLog();
  log.desktop_shortcut = desktop().Append(GetShortcutFileName(false));
  log.start_menu_shortcut = start_menu().Append(GetShortcutFileName(false));
  MakeInstallation(log);
  MakeShortcut(log.desktop_shortcut, launcher());
  MakeShortcut(log.start_menu_shortcut, root().Append(L"other.exe"));
  WriteFile(root().Append(L"other.exe"), "MZ");
  const FilePath pin = pins_.Append(L"Kelvo.lnk");
  MakeShortcut(pin, launcher());
  const FilePath former = start_menu().Append(L"Kelvo Software");
  MakeShortcut(former.Append(L"Kelvo.lnk"), launcher());
  SetCommandLine(L"--uninstall");

  RunShortcutStep(&StepRemoveShortcuts, /*uninstall=*/true);

  EXPECT_EQ(std::vector<std::wstring>{L"unpin " + pin.value()}, verbs_.calls);
  EXPECT_FALSE(base::PathExists(pin));
  EXPECT_FALSE(base::PathExists(log.desktop_shortcut));
  EXPECT_FALSE(base::PathExists(former));
  EXPECT_TRUE(base::PathExists(log.start_menu_shortcut));
}

}  // namespace
}  // namespace installer
